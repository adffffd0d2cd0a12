#pragma once
// The command-line splitter: turns the command text into (option name, value) pairs.

#include <string>
#include <utility>
#include <vector>

namespace Quilna::CommandLine {

using Options = std::vector<std::pair<std::string, std::string>>;

// Blanks are space, tab, line feed and carriage return; quotes are " and '; '-' starts a
// one-character option name, "--" a long one. A value that holds a '-' must be quoted.
Options split(const std::string& text);

// What the command line asks for.
struct Request {
    enum Action { Scan, Check, Help, Version, Refuse, PathScan, Explain };
    Action action = Scan;
    std::string problem;  // Refuse: what is wrong, for the user
    // PathScan and Explain: the paths; PathScan: where the result files go (none: nowhere), JSON instead of text.
    std::vector<std::string> paths;
    std::string outputDirectory;
    bool json = false;
};

// The command text ("dummy" followed by the command line): a scan (with or without -c FILE),
// a check of the configuration (--check, with or without -c FILE), -h or --help, --version,
// a scan of paths without an installation (PATH... with -o DIR and --json, not with -c or
// --check), why the scan decides as it does on paths (--explain PATH..., with or without
// -c FILE); anything else (an unknown option, -c twice or without a file) is refused.
Request interpret(const std::string& commandText);

// The usage text, lines ending in line feeds.
std::string usage();

}  // namespace Quilna::CommandLine
