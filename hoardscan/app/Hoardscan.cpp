#include "hoardscan/app/Hoardscan.h"

#include <exception>

#include "config/ConfReader.h"
#include "hoardscan/app/ExitCode.h"
#include "hoardscan/app/ScanEngine.h"
#include "logger/LogState.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

Hoardscan::Hoardscan(Platform& system, const std::string& commandText)
    : system_(system), options_(CommandLine::split(commandText)) {
    // The first pair is the one of the leading "dummy".
    if (!options_.empty()) options_.erase(options_.begin());
}

Hoardscan::~Hoardscan() {
    if (logging_.unit) log().debug(1, "Hoardscan has ended.");
    // The engine goes before the logger chain; the catalogue goes last of all.
    engine_.reset();
    logging_ = LoggingSetup();
    if (catalogue() == &catalogue_) setCatalogue(nullptr);
}

// The run still closes after a phase that threw: closing record, line on standard error.
template <typename Phase>
bool Hoardscan::phaseSucceeded(Phase phase) {
    try {
        return phase();
    } catch (const std::exception& failure) {
        failure_ = failure.what();
    } catch (...) {
        failure_ = "an exception of unknown type";
    }
    return false;
}

int Hoardscan::run(const std::atomic<bool>& quitFlag, const std::atomic<int>& stopRequest) {
    int exitCode = ExitCode::SetupFailed;
    if (phaseSucceeded([&] { return init(); }))
        exitCode = exitCodeOfRun(phaseSucceeded([&] { return scan(quitFlag, stopRequest); }));
    closeRun(exitCode);
    return exitCode;
}

}  // namespace Quilna
