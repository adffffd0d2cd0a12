#include "collector/CollectorOptions.h"

namespace Quilna {

bool CollectorOptions::parse(int argc, const char* const* argv, CollectorOptions& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            out.help = true;
            continue;
        }
        if (argument == "--version") {
            out.version = true;
            continue;
        }
        std::string* target = argument == "-o"   ? &out.output
                              : argument == "-m" ? &out.messages
                              : argument == "-n" ? &out.mailslot
                                                 : nullptr;
        if (!target) {
            error = "unknown argument \"" + argument + "\"";
            return false;
        }
        if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
            error = "option " + argument + " needs a value";
            return false;
        }
        *target = argv[++i];
    }
    return true;
}

const char* CollectorOptions::usage() {
    return "Usage: hoardscan-collector [-o FILE] [-m DIR] [-n NAME]\n"
           "Receives the log records that the programs of this computer forward to the mailslot\n"
           "\"Quilna_Core\" and writes each as one log line that starts with this computer's name,\n"
           "until interrupted (SIGINT, SIGTERM). SIGHUP reopens FILE, as after a rotation.\n"
           "\n"
           "  -o FILE    append the lines to FILE instead of writing them to standard output\n"
           "  -m DIR     expand the messages with the catalogue of DIR (a LogMessages directory,\n"
           "             or the configuration directory holding one) instead of the one that\n"
           "             the installation's hoardscan.conf names\n"
           "  -n NAME    receive on the mailslot NAME instead\n"
           "  --help     show this text\n"
           "  --version  show the version\n"
           "\n"
           "Messages that are not log records are reported on standard error and skipped.\n"
           "The mailslot lives in the runtime directory's mailslot/, which only this user (and\n"
           "root) may reach: $QUILNA_RUNTIME_DIR, by default /run/quilna for root, else\n"
           "$XDG_RUNTIME_DIR/quilna or /tmp/quilna-<uid>.\n";
}

}  // namespace Quilna
