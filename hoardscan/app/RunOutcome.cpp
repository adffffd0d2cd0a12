// The end of a run: its exit code, the closing record that says what the run did, and for a
// run that failed one line on standard error that says why and where the log is. A program
// without a console (Windows) has the same text in its log, in the closing record.
#include <cstdio>

#include "hoardscan/app/ExitCode.h"
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/app/ScanEngine.h"
#include "logger/LogMessenger.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace

int Hoardscan::exitCodeOfRun(bool ran) const {
    if (!ran) return ExitCode::ScanNotStarted;
    if (stopRequest_ == StopRequest::Interrupt) return ExitCode::Interrupted;
    if (stopRequest_ == StopRequest::Terminate) return ExitCode::Terminated;
    if (!engine_->resultFiles.unfinishedFiles().empty()) return ExitCode::ResultsUnfinished;
    return engine_->walk.unfinishedDirectories() == 0 && missingRoots_ == 0 ? ExitCode::Success
                                                                            : ExitCode::WalkUnfinished;
}

const char* Hoardscan::stopSignalName(int stopRequest) {
    return stopRequest == StopRequest::Interrupt ? "SIGINT" : "SIGTERM";
}

std::string Hoardscan::failureReason() const {
    if (!failure_.empty()) return failure_;
    if (logging_.messenger && !logging_.messenger->lastFatalText().empty()) return logging_.messenger->lastFatalText();
    return "the log says why";
}

std::string Hoardscan::partsNotWalked() const {
    std::string text;
    if (missingRoots_ > 0)
        text = std::to_string(missingRoots_) +
               " directories named in part 1 of the file systems file do not exist (WARNING 47 names each) and "
               "were not walked";
    if (const uint64_t unfinished = engine_->walk.unfinishedDirectories(); unfinished > 0)
        text += (text.empty() ? "" : "; ") + std::to_string(unfinished) +
                " directories could not be walked to their end (moved or removed while the scan was below them; "
                "ERROR 32 names each): what was left of them is not counted";
    return text + ".";
}

std::string Hoardscan::outcomeText(int exitCode) const {
    switch (exitCode) {
        case ExitCode::Success: return "Every result file was finished.";
        case ExitCode::SetupFailed: return "The scan could not be set up: " + failureReason();
        case ExitCode::ScanNotStarted: return "The scan could not start: " + failureReason();
        case ExitCode::WalkUnfinished: return "Every result file was finished, but " + partsNotWalked();
        case ExitCode::ResultsUnfinished:
            return "The scan ran, but these result files could not be written or finished: " +
                   joined(engine_->resultFiles.unfinishedFiles()) + ".";
        default:
            return std::string("The scan was stopped by ") + stopSignalName(stopRequest_) +
                   "; what it had counted keeps the unfinished names: " +
                   joined(engine_->resultFiles.unfinishedFiles()) + ".";
    }
}

void Hoardscan::closeRun(int exitCode) {
    const std::string outcome = outcomeText(exitCode);
    if (logging_.unit) {
        log().reportRepeats(Message::RepeatsLeftOut);
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_);
        // Without an engine (init failed before it was made) nothing was counted.
        const ScanEngine* engine = engine_.get();
        // Whatever the severity filter: it is how a scheduler's monitor learns how the run went.
        log().noticeAlways(
            Message::RunFinished,
            ParamStream() << exitCode << static_cast<long long>(seconds.count())
                          << static_cast<unsigned long long>(engine ? engine->tallies.filesCounted() : 0)
                          << static_cast<unsigned long long>(engine ? engine->tallies.bytesCounted() : 0)
                          << static_cast<unsigned long long>(engine ? engine->tallies.bytesOnDiskCounted() : 0)
                          << static_cast<unsigned long long>(engine ? engine->walk.unreadableDirectories() : 0)
                          << static_cast<unsigned long long>(engine ? engine->walk.unfinishedDirectories() : 0)
                          << (engine ? engine->resultFiles.finishedFiles() : 0)
                          << (engine ? engine->resultFiles.enabledFiles() : 0) << outcome);
    }
    if (exitCode == ExitCode::Success) return;
    const std::string where =
        logging_.unit ? " The log: " + logging_.directory + logging_.fileName : " Nothing was logged.";
    std::fprintf(stderr, "hoardscan: %s%s\n", outcome.c_str(), where.c_str());
    std::fflush(stderr);
}

}  // namespace Quilna
