// The program: answers --help and --version, refuses a command line it does not know, builds the
// application object and runs it, or its check of the configuration (--check), for the exit code
// (hoardscan/app/ExitCode.h).
#include <atomic>
#include <cstdio>
#include <exception>
#include <string>

#include "hoardscan/app/CommandLine.h"
#include "hoardscan/app/ExitCode.h"
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/PathScan.h"
#include "platform/ApplicationMain.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

// Set by SIGINT and SIGTERM, read by the walk at every file; lives as long as the process.
std::atomic<int> stopRequest{StopRequest::None};

int scan(Platform& system, const std::string& commandText, std::atomic<bool>& quitFlag) {
    system.watchStopRequests(&stopRequest);
    return Hoardscan(system, commandText).run(quitFlag, stopRequest);
}

int scanPaths(Platform& system, const CommandLine::Request& request) {
    system.watchStopRequests(&stopRequest);
    return PathScan(system, request).run(stopRequest);
}

}  // namespace

int applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag) {
    try {
        // The one operating system: everything below receives it from here.
        Platform& system = platform();
        const CommandLine::Request request = CommandLine::interpret(commandText);
        switch (request.action) {
            case CommandLine::Request::Help: std::fputs(CommandLine::usage().c_str(), stdout); return ExitCode::Success;
            case CommandLine::Request::Version: std::puts("hoardscan " HOARDSCAN_VERSION); return ExitCode::Success;
            case CommandLine::Request::Refuse:
                std::fprintf(stderr, "hoardscan: %s\n%s", request.problem.c_str(), CommandLine::usage().c_str());
                return ExitCode::SetupFailed;
            case CommandLine::Request::Check: return Hoardscan(system, commandText).check();
            case CommandLine::Request::Explain: return Hoardscan(system, commandText).explain(request.paths);
            case CommandLine::Request::PathScan: return scanPaths(system, request);
            case CommandLine::Request::Scan: break;
        }
        return scan(system, commandText, quitFlag);
    } catch (const std::exception& failure) {
        // Out of memory, or a failure in making or closing the application object.
        std::fprintf(stderr, "hoardscan: %s\n", failure.what());
    } catch (...) {
        std::fputs("hoardscan: an exception of unknown type\n", stderr);
    }
    return ExitCode::SetupFailed;
}

}  // namespace Quilna
