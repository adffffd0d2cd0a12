#include "hoardscan/Hoardscan.h"

#include "config/ConfReader.h"
#include "files/FileOps.h"
#include "hoardscan/DriveCheck.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/Owners.h"
#include "hoardscan/ResultFiles.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"
#include "hoardscan/Temperatures.h"
#include "hoardscan/Walk.h"
#include "logger/LogState.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna {

Hoardscan::Hoardscan(const std::string& commandText) : options_(CommandLine::split(commandText)) {
    // The first pair is the one of the leading "dummy".
    if (!options_.empty()) options_.erase(options_.begin());
}

Hoardscan::~Hoardscan() {
    if (logging_.unit) log().debug(1, "Hoardscan has ended.");
    // The parts that log go before the logger chain; the catalogue goes last of all.
    walk_.reset();
    resultFiles_.reset();
    driveCheck_.reset();
    owners_.reset();
    temperatures_.reset();
    fileTypes_.reset();
    decisions_.reset();
    rulesFiles_.reset();
    logging_ = LoggingSetup();
    if (catalogue() == &catalogue_) setCatalogue(nullptr);
}

void Hoardscan::makeEngine() {
    LoggerUnit& unit = log();
    rulesFiles_ = std::make_unique<RulesFiles>(unit, identity_, tables_);
    decisions_ = std::make_unique<RuleDecisions>(unit, identity_, tables_);
    fileTypes_ = std::make_unique<FileTypes>(unit, *logging_.configuration, tallies_);
    temperatures_ = std::make_unique<Temperatures>(unit, *logging_.configuration);
    owners_ = std::make_unique<Owners>();
    driveCheck_ = std::make_unique<DriveCheck>(unit);
    resultFiles_ = std::make_unique<ResultFiles>(unit, settings_, platform().processId());
    walk_ = std::make_unique<Walk>(unit, settings_, identity_,
                                   ScanEngine{*decisions_, *fileTypes_, *owners_, *temperatures_, *driveCheck_,
                                              attributeNames_, tallies_, *resultFiles_});
}

void Hoardscan::walk(const std::string& root, const std::string& fileSystem) { walk_->walk(root, fileSystem); }

std::string Hoardscan::driveType(const std::string& root) { return driveCheck_->driveType(root); }

std::string Hoardscan::pathRoot(const std::string& path) { return DriveCheck::pathRoot(path); }

void Hoardscan::flushAccountRecords() { resultFiles_->flushAccountRecords(tallies_); }

void Hoardscan::flushTemperatureRows() { resultFiles_->flushTemperatureRows(tallies_); }

void Hoardscan::writeExtensionLog() { resultFiles_->writeExtensionLog(tallies_); }

void Hoardscan::flushInactiveRows() { resultFiles_->flushInactiveRows(tallies_); }

}  // namespace Quilna
