#pragma once
#include <string>

namespace Quilna {

// The command line of hoardscan-collector.
struct CollectorOptions {
    std::string output;                    // -o FILE: append the lines there instead of standard output
    std::string messages;                  // -m DIR: a LogMessages directory to expand templates from
    std::string mailslot = "Quilna_Core";  // -n NAME
    bool help = false;
    bool version = false;

    // False with a message naming the offending argument.
    static bool parse(int argc, const char* const* argv, CollectorOptions& out, std::string& error);
    static const char* usage();
};

}  // namespace Quilna
