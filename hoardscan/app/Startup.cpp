// init: the first phase of the program. Starts logging, opens the configuration file, reads
// the settings (Settings.cpp) and makes the scan engine with its rules (ScanEngine.cpp).
#include <charconv>
#include <cstdio>

#include "config/ConfReader.h"
#include "config/DOMNode.h"
#include "config/Resources.h"
#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "hoardscan/rules/AnchoredPaths.h"
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/app/ScanEngine.h"
#include "hoardscan/app/SettingFailure.h"
#include "hoardscan/app/SettingKeys.h"
#include "logger/ConfigurationLog.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerAgentFile.h"
#include "logger/LoggerUnit.h"
#include "logger/LoggingConfiguration.h"
#include "logger/RotationSettings.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

constexpr int32_t applicationNumber = Application::Hoardscan;  // 17
constexpr int32_t moduleNumber = Module::Storage;              // 17
// A warning met at every file (a placeholder deeper than the paths, say) is logged this often per
// run and then counted, so that a tree of millions of files cannot fill the log directory.
constexpr int32_t repeatedMessagesLogged = 100;

// Why the runtime directory cannot be used; empty when it can. The named locks of the log and
// the mailslot live there: without it the program cannot log.
std::string runtimeDirectoryRefusal(Locks& locks) {
    std::string path;
    SystemError error;
    return locks.runtimeDirectory(path, error) ? std::string() : error.detail + ".";
}

// A debug log the platform refuses to write, or whose lock is refused, is said on standard
// error: the log cannot say it.
void reportRefusedLog(Platform& system, const LoggingSetup& logging) {
    const std::string path = logging.directory + logging.fileName;
    std::string refusal = system.writeRefusal(path);
    if (refusal.empty()) {
        refusal = LoggerAgentFile::guardRefusal(system, path);
        if (!refusal.empty()) refusal = "its lock cannot be taken: " + refusal;
    }
    if (refusal.empty()) return;
    std::fprintf(stderr, "hoardscan: the debug log is not written: %s.\n", refusal.c_str());
    std::fflush(stderr);
}

}  // namespace

bool Hoardscan::init() {
    identity_ = ScanIdentity::ofThisComputer(system_);
    // Nothing is written (no log, no resource) before the installation is found.
    if (!findConfiguration()) return false;
    // A runtime directory that another user controls ends the run before anything is written.
    failure_ = runtimeDirectoryRefusal(system_);
    if (!failure_.empty() || !takeInstallation()) return false;
    if (!startLogging()) {
        failure_ = "logging could not be started.";
        return false;
    }
    if (!openConfiguration()) return false;
    reportRefusedLog(system_, logging_);
    readDebugLevel();
    reportUnknownSettings();
    if (!checkLogValues()) return false;
    std::optional<ScanSettings> settings = readSettings(system_, system_, *logging_.configuration, log());
    if (!settings) return false;
    settings_ = std::move(*settings);
    engine_ = std::make_unique<ScanEngine>(system_, log(), settings_, identity_, system_.processId());
    return engine_->loadRules();
}

// A second scan of the installation would double the load and write beside the first: it stops
// before it writes anything, the log included. The lock goes with its process, so a scan that
// died holds nothing.
bool Hoardscan::takeInstallation() {
    // The installation is its configuration file, wherever it was named from; a name of bounded
    // length (an FNV-1a hash of its path) stands for it.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : AnchoredPaths::anchored(system_, configurationFile_))
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char digits[16];
    const std::string name = "hoardscan-run-" + std::string(digits, std::to_chars(digits, digits + 16, hash, 16).ptr);
    SystemError refused;
    installationLock_ = system_.tryNamedLock(name, refused);
    if (installationLock_) return true;
    if (refused.failed()) {
        failure_ = "this installation's lock cannot be taken: " + refused.detail + ".";
        return false;
    }
    const std::string holders = system_.namedLockHolders(name);
    failure_ = "another scan of this installation (" + configurationFile_ + ") is running" +
               (holders.empty() ? std::string() : ": " + holders) + "; this one stops.";
    return false;
}

bool Hoardscan::startLogging() {
    if (readResource(system_, system_, "HoardscanDebugLog", logging_.fileName) != ResourceResult::Ok)
        logging_.fileName = "HoardscanDebug.log";
    logging_.application = applicationNumber;
    logging_.module = moduleNumber;
    // A relative log directory is taken from where the program starts, pinned once as a full path.
    std::string startupDirectory;
    if (readResource(system_, system_, "StartupLogDir", startupDirectory) == ResourceResult::Ok)
        logging_.directory = AnchoredPaths::anchored(system_, startupDirectory);
    if (logging_.directory.empty()) logging_.directory = FileOps::currentDirectory(system_);
    return setupLogging(system_, logging_);
}

// The configuration file named by the "c" option, else hoardscan.conf in the installation's
// configuration directory. It must be there: a run without one leaves nothing behind.
bool Hoardscan::findConfiguration() {
    if (!options_.empty() && options_.front().first == "c") {
        configurationFile_ = options_.front().second;
        options_.erase(options_.begin());
    } else {
        std::string why;
        if (const int result = readResource(system_, system_, "ConfigurationDir", configurationFile_, &why);
            result != ResourceResult::Ok) {
            failure_ = !why.empty() ? "no configuration file: " + why + "."
                                    : "no configuration file: neither the option -c nor the installation's resource "
                                      "ConfigurationDir names one.";
            return false;
        }
        FileUtils::normaliseSeparators(system_.pathSyntax(), configurationFile_);
        FileUtils::addSeparator(system_.pathSyntax(), configurationFile_);
        configurationFile_ += "hoardscan.conf";
    }
    FileStatus status;
    if (!FileOps::fileStatus(system_, configurationFile_, status) || status.isDirectory()) {
        failure_ = "the configuration file " + configurationFile_ + " cannot be found.";
        return false;
    }
    return true;
}

// The configuration file, its catalogue and its "log." settings. The errors of reading the file
// wait until the catalogue, whose directory the file names, has been loaded.
bool Hoardscan::openConfiguration() {
    logging_.configuration = makeSmart<ConfReader>(system_, makeSmart<ConfigurationLog>(system_, logging_.centre));
    if (!logging_.configuration) return false;
    logging_.configuration->holdReports();
    logging_.configuration->buildTree(configurationFile_);
    loadMessageCatalogue();
    logging_.configuration->releaseReports();
    applyLogConfiguration(system_, logging_);
    pinLogDirectory();
    // Every setting after a syntax error would follow from it: the run stops at the first cause.
    if (const std::string& broken = logging_.configuration->failure(); !broken.empty()) {
        failure_ = "the configuration file " + broken;
        return false;
    }
    return true;
}

void Hoardscan::loadMessageCatalogue() {
    log().debug(1, "Loading log messages...");
    std::string directory;
    if (logging_.configuration->getDirName("Quilna.directories.conf", directory) != ConfResult::Found) {
        log().error(Message::NoCatalogueDirectory, ParamStream() << "Quilna.directories.conf");
    } else {
        const LoadResult result = catalogue_.loadMessages(system_, directory, "storage,configuration");
        if (result.status) {
            if (LoggerUnit::isDebugOn(2)) {
                for (size_t i = 0; i < result.loaded.size(); ++i)
                    log().debug(2, "Loaded %i messages for module \"%s\".",
                                ParamStream() << result.counts[i] << result.loaded[i]);
            }
            if (result.loaded.empty()) log().debug(1, "No log messages were loaded.");
            if (LoggerUnit::isDebugOn(2)) {
                for (const std::string& rejected : result.rejected)
                    log().debug(2, "Messages for module \"%s\" were rejected.", ParamStream() << rejected);
            }
        } else {
            log().error(Message::CatalogueNotLoaded, ParamStream() << result.message);
        }
    }
    setCatalogue(&catalogue_);
}

// A log directory taken from the configuration may be relative as well.
void Hoardscan::pinLogDirectory() {
    if (logging_.directory.empty() || AnchoredPaths::isAbsolute(system_.pathSyntax(), logging_.directory)) return;
    logging_.directory = AnchoredPaths::anchored(system_, logging_.directory);
    if (logging_.messenger) logging_.messenger->setLogFile(logging_.directory + logging_.fileName);
}

void Hoardscan::reportUnknownSettings() {
    const DOMNode* root = logging_.configuration->root();
    if (!root) return;
    for (const SettingKeys::UnknownKey& unknown : SettingKeys::unknownKeys(*root))
        log().warning(Message::UnknownSetting,
                      ParamStream() << configurationFile_ << static_cast<unsigned long long>(unknown.line)
                                    << unknown.key
                                    << (unknown.suggestion.empty() ? std::string()
                                                                   : "; did you mean " + unknown.suggestion + "?"));
}

// The system log stays on for a value that is neither true nor false: said, and the run stops,
// as for the program's own switches. A severity that names none leaves the filter as it was.
bool Hoardscan::checkLogValues() {
    const ConfReader& configuration = *logging_.configuration;
    bool toSystemLog = true;
    if (const int result = configuration.getBool("log.syslog", toSystemLog);
        result != ConfResult::Found && result != ConfResult::NotFound)
        return SettingFailure::report(log(), configuration, "log.syslog", "Bool", result);
    std::string name;
    if (configuration.getString("log.global.severity", name, true) == ConfResult::Found &&
        severityNamed(name) == Severity::Invalid)
        log().warning(Message::SettingInvalid,
                      ParamStream() << "log.global.severity" << name
                                    << "NOTICE, WARNING, ERROR, CRITICAL, FATAL or NONE expected; the lowest severity "
                                       "logged is left as it was");
    return true;
}

void Hoardscan::readDebugLevel() {
    int32_t level = 0;
    if (logging_.configuration->getInteger("hoardscan.log.debug-level", level) == ConfResult::Found)
        setDebugLevel(level);
    // A log without debugging carries no opening, closing or rotation lines.
    if (debugLevel() == 0) setAgentMessages(false);
    int32_t repeats = repeatedMessagesLogged;
    if (logging_.configuration->getInteger("hoardscan.log.repeated-messages", repeats) != ConfResult::Found ||
        repeats < 0)
        repeats = repeatedMessagesLogged;
    log().limitRepeats(static_cast<uint64_t>(repeats));
}

}  // namespace Quilna
