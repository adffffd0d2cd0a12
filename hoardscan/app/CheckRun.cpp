// hoardscan --check: the set-up of a run (Startup.cpp) and its choice of file systems
// (RunLoop.cpp) taken step by step as a run takes them, with the records printed instead of
// logged, and nothing written: no log, no lock, no result directory. What a run would walk is
// printed at the end.
#include <algorithm>
#include <cstdio>

#include "config/ConfReader.h"
#include "files/FileOps.h"
#include "hoardscan/app/CheckMessenger.h"
#include "hoardscan/app/ExitCode.h"
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/ScanEngine.h"
#include "logger/LogCommons.h"
#include "logger/LogState.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna {

int Hoardscan::check() {
    std::erase_if(options_, [](const auto& option) { return option.first == "check"; });
    identity_ = ScanIdentity::ofThisComputer(system_);
    if (!findConfiguration()) {
        std::printf("FATAL: %s\nhoardscan --check: a run would fail.\n", failure_.c_str());
        return ExitCode::SetupFailed;
    }
    std::printf("configuration: %s\n", configurationFile_.c_str());
    startCheckLogging();
    const bool usable = checkSetUp();
    if (usable) printWalkPlan();
    const size_t problems = static_cast<const CheckMessenger&>(*logging_.messenger).problems() + missingRoots_;
    if (!usable) {
        std::printf("hoardscan --check: a run would fail: %s\n",
                    failure_.empty() ? "the lines above say why." : failure_.c_str());
        return ExitCode::SetupFailed;
    }
    if (problems > 0) {
        std::printf("hoardscan --check: %s problem(s).\n", std::to_string(problems).c_str());
        return ExitCode::SetupFailed;
    }
    std::puts("hoardscan --check: no problem found.");
    return ExitCode::Success;
}

// The logging chain of a run with the check's messenger in place of the file and collector.
void Hoardscan::startCheckLogging() {
    setDebugLevel(0);
    logging_.application = Application::Hoardscan;
    logging_.module = Module::Storage;
    logging_.messenger = makeSmart<CheckMessenger>(system_);
    logging_.centre = makeSmart<LoggerCentre>(logging_.application, logging_.messenger);
    logging_.unit = makeSmart<LoggerUnit>(system_, logging_.centre, logging_.module);
}

// init without what writes: the installation's lock, the log and the result directories.
bool Hoardscan::checkSetUp(bool printDirectories) {
    if (!openConfiguration()) return false;
    // The configuration's filters would hide what the check is for.
    setSeverityFilter(Severity::Notice);
    setDebugLevel(0);
    if (logging_.messenger) logging_.messenger->setSystemLog(false);
    reportUnknownSettings();
    const bool logValuesUsable = checkLogValues();
    std::optional<ScanSettings> settings = readSettings(system_, system_, *logging_.configuration, log(), true);
    if (!logValuesUsable || !settings) return false;
    settings_ = std::move(*settings);
    if (printDirectories) {
        printResultDirectory("results", settings_.workingDirectory);
        printResultDirectory("side files", settings_.tempDirectory);
    }
    engine_ = std::make_unique<ScanEngine>(system_, log(), settings_, identity_, system_.processId());
    return engine_->loadRules();
}

void Hoardscan::printResultDirectory(const char* what, const std::string& directory) const {
    std::printf("%s: %s (%s)\n", what, directory.c_str(),
                FileOps::exists(system_, system_, directory) ? "exists" : "missing: a run creates it");
}

// The drives as a run lists and chooses them, each with its type and whether it is walked.
void Hoardscan::printWalkPlan() {
    auto& messenger = static_cast<CheckMessenger&>(*logging_.messenger);
    if (!collectDrives()) return;
    messenger.countProblems(false);
    chooseFileSystems();
    messenger.countProblems(true);
    const std::vector<std::string>& drives = engine_->tables.drives;
    for (size_t i = 0; i < drives.size(); ++i) {
        const std::string& root = drives[i];
        const auto chosen = std::find(fileSystemRoots_.begin(), fileSystemRoots_.end(), root);
        const char* source = i < listedDrives_ ? "listed" : "drive";
        if (chosen == fileSystemRoots_.end()) {
            if (!isListedDrive(root, i))
                std::printf("not walked: %s (%s): %s\n", root.c_str(), source,
                            i < listedDrives_ && !FileOps::exists(system_, system_, root)
                                ? "it does not exist"
                                : "its drive type is not investigated");
            continue;
        }
        const std::string& type = fileSystemNames_[static_cast<size_t>(chosen - fileSystemRoots_.begin())];
        if (engine_->decisions.isExcludedTree(std::string(), root, type))
            std::printf("not walked: %s (%s, %s): excluded by the file systems rules\n", root.c_str(), source,
                        type.c_str());
        else std::printf("walked: %s (%s, %s)\n", root.c_str(), source, type.c_str());
    }
}

}  // namespace Quilna
