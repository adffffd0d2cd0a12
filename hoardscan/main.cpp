// The program: answers --help and --version, refuses a command line it does not know, builds
// the application object, runs its two phases and turns their outcome into the exit code
// (hoardscan/ExitCode.h).
#include <atomic>
#include <cstdio>
#include <exception>
#include <string>

#include "hoardscan/AnchoredPaths.h"
#include "hoardscan/CommandLine.h"
#include "hoardscan/ExitCode.h"
#include "hoardscan/Hoardscan.h"
#include "platform/ApplicationMain.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

// Set by SIGINT and SIGTERM, read by the walk at every file; lives as long as the process.
std::atomic<int> stopRequest{StopRequest::None};

}  // namespace

int applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag) {
    const CommandLine::Request request = CommandLine::interpret(commandText);
    switch (request.action) {
        case CommandLine::Request::Help: std::fputs(CommandLine::usage().c_str(), stdout); return ExitCode::Success;
        case CommandLine::Request::Version: std::puts("hoardscan " HOARDSCAN_VERSION); return ExitCode::Success;
        case CommandLine::Request::Refuse:
            std::fprintf(stderr, "hoardscan: %s\n%s", request.problem.c_str(), CommandLine::usage().c_str());
            return ExitCode::SetupFailed;
        case CommandLine::Request::Scan: break;
    }
    AnchoredPaths::anchorEnvironment();
    platform().watchStopRequests(&stopRequest);
    int exitCode = ExitCode::SetupFailed;
    try {
        Hoardscan hoardscan(commandText);
        if (hoardscan.init()) {
            exitCode = ExitCode::ScanNotStarted;
            exitCode = hoardscan.exitCodeOfRun(hoardscan.run(quitFlag, stopRequest));
        }
        hoardscan.closeRun(exitCode);
    } catch (const std::exception&) {
        // Out of memory or worse: the phase that was running decides the code.
    }
    return exitCode;
}

}  // namespace Quilna
