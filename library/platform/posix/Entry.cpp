// POSIX entry point: builds the command text and the quit flag, then runs the program.
#include <atomic>
#include <string>

#include "platform/ApplicationMain.h"
#include "platform/Platform.h"

namespace {

bool isOption(const std::string& argument) { return !argument.empty() && argument[0] == '-'; }

// An argument that the command-line splitter would cut (blank, '-' or a quote) is quoted so
// that it comes back whole.
std::string quoted(const std::string& argument) {
    if (isOption(argument) || argument.find_first_of(" \t\r\n-\"'") == std::string::npos) return argument;
    const char quote = argument.find('"') == std::string::npos ? '"' : '\'';
    std::string text(1, quote);
    text.append(argument).push_back(quote);
    return text;
}

std::atomic<bool> quitFlag{false};

}  // namespace

int main(int argc, char** argv) try {
    std::string commandText = "dummy";
    for (int i = 1; i < argc; ++i) commandText.append(" ").append(quoted(argv[i]));
    Quilna::platform().watchStopSignals(&quitFlag, false);
    return Quilna::applicationMain(commandText, quitFlag);
} catch (...) {
    // No memory for the command text: the program has not started.
    return 1;
}
