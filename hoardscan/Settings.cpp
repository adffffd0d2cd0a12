// init: the first phase of the program. Starts logging, reads the configuration file and the
// program's settings, creates the result directories and loads the rules files.
#include <algorithm>
#include <cstdio>
#include <thread>

#include "config/ConfReader.h"
#include "config/Resources.h"
#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "hoardscan/AnchoredPaths.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/Hoardscan.h"
#include "hoardscan/MessageNumbers.h"
#include "hoardscan/RulesFiles.h"
#include "hoardscan/SettingFailure.h"
#include "hoardscan/Temperatures.h"
#include "hoardscan/Walk.h"
#include "logger/ConfigurationLog.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerAgentFile.h"
#include "logger/LoggerUnit.h"
#include "logger/LoggingConfiguration.h"
#include "logger/RotationSettings.h"
#include "platform/Platform.h"
#include "system/SystemInfo.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

constexpr int32_t applicationNumber = Application::Hoardscan;  // 17
constexpr int32_t moduleNumber = Module::Storage;              // 17
constexpr int64_t bytesPerMebibyte = 1048576;
// A warning met at every file (a placeholder deeper than the paths, say) is logged this often per
// run and then counted, so that a tree of millions of files cannot fill the log directory.
constexpr int32_t repeatedMessagesLogged = 100;

// An existing directory (a file of that name will not hold result files).
bool isDirectory(const std::string& path) {
    std::string bare = path;
    FileUtils::stripSeparators(bare);
    // A root ("/", "C:") has no status of its own to ask for.
    if (bare.size() <= 1 || bare.back() == ':') return FileOps::exists(path);
    FileStatus status;
    return FileOps::fileStatus(bare, status) && status.isDirectory();
}

// Why the runtime directory cannot be used; empty when it can. The named locks of the log and
// the mailslot live there: without it the program cannot log.
std::string runtimeDirectoryRefusal() {
    std::string path, refusal;
    return platform().runtimeDirectory(path, refusal) ? std::string() : refusal + ".";
}

// A debug log the platform refuses to write, or whose lock is refused, is said on standard
// error: the log cannot say it.
void reportRefusedLog(const LoggingSetup& logging) {
    const std::string path = logging.directory + logging.fileName;
    std::string refusal = platform().writeRefusal(path);
    if (refusal.empty()) {
        refusal = LoggerAgentFile::guardRefusal(path);
        if (!refusal.empty()) refusal = "its lock cannot be taken: " + refusal;
    }
    if (refusal.empty()) return;
    std::fprintf(stderr, "hoardscan: the debug log is not written: %s.\n", refusal.c_str());
    std::fflush(stderr);
}

}  // namespace

bool Hoardscan::init() {
    getSystemInfo(identity_.domain, identity_.hostName, architecture_, osName_);
    StringUtils::toUpper(identity_.hostName);
    // Nothing is written (no log, no resource) before the installation is found.
    if (!findConfiguration()) return false;
    // A runtime directory that another user controls ends the run before anything is written.
    failure_ = runtimeDirectoryRefusal();
    if (!failure_.empty()) return false;
    if (!startLogging()) {
        failure_ = "logging could not be started.";
        return false;
    }
    if (!openConfiguration()) return false;
    reportRefusedLog(logging_);
    makeEngine();
    readDebugLevel();
    if (!readSwitches() || !readTemperatureMonitor()) return false;
    if (!readDirectory("hoardscan.working-dir", "No log directory configured.", "Log directory \"%s\" does not exist.",
                       settings_.workingDirectory) ||
        !readDirectory("hoardscan.temp-dir", "No temp directory configured.", "Temp directory \"%s\" does not exist.",
                       settings_.tempDirectory))
        return false;
    if (!loadRulesFile("hoardscan.filesystems", "No file systems file configured.",
                       "File systems file \"%s\" does not exist.", false) ||
        !loadRulesFile("hoardscan.hoardscan", "No accounts/hoardscan file configured.",
                       "Account/hoardscan file \"%s\" does not exist.", true))
        return false;
    readUserDirectories();
    if (!readFileTypeScheme()) return false;
    if (settings_.fileTypeScheme == FileTypes::Mapping && !fileTypes_->loadFileTypeMapping()) return false;
    if (!temperatures_->loadTemperatures() || !findMonitoredBand()) return false;
    readBufferSize();
    return readReadAhead();
}

bool Hoardscan::startLogging() {
    if (readResource("HoardscanDebugLog", logging_.fileName) != ResourceResult::Ok)
        logging_.fileName = "HoardscanDebug.log";
    logging_.application = applicationNumber;
    logging_.module = moduleNumber;
    // The walk moves the current directory: a relative log directory is pinned first.
    std::string startupDirectory;
    if (readResource("StartupLogDir", startupDirectory) == ResourceResult::Ok)
        logging_.directory = AnchoredPaths::anchored(startupDirectory);
    if (logging_.directory.empty()) logging_.directory = FileOps::currentDirectory();
    return setupLogging(logging_);
}

// The configuration file named by the "c" option, else hoardscan.conf in the installation's
// configuration directory. It must be there: a run without one leaves nothing behind.
bool Hoardscan::findConfiguration() {
    if (!options_.empty() && options_.front().first == "c") {
        configurationFile_ = options_.front().second;
        options_.erase(options_.begin());
    } else {
        std::string why;
        if (const int result = readResource("ConfigurationDir", configurationFile_, &why);
            result != ResourceResult::Ok) {
            failure_ = result == ResourceResult::TooLong
                           ? "no configuration file: " + why + "."
                           : "no configuration file: neither the option -c nor the installation's resource "
                             "ConfigurationDir names one.";
            return false;
        }
        FileUtils::normaliseSeparators(configurationFile_);
        FileUtils::addSeparator(configurationFile_);
        configurationFile_ += "hoardscan.conf";
    }
    FileStatus status;
    if (!FileOps::fileStatus(configurationFile_, status) || status.isDirectory()) {
        failure_ = "the configuration file " + configurationFile_ + " cannot be found.";
        return false;
    }
    return true;
}

// The configuration file, its catalogue and its "log." settings. The errors of reading the file
// wait until the catalogue, whose directory the file names, has been loaded.
bool Hoardscan::openConfiguration() {
    logging_.configuration = makeSmart<ConfReader>(makeSmart<ConfigurationLog>(logging_.centre));
    if (!logging_.configuration) return false;
    logging_.configuration->holdReports();
    logging_.configuration->buildTree(configurationFile_);
    loadMessageCatalogue();
    logging_.configuration->releaseReports();
    applyLogConfiguration(logging_);
    pinLogDirectory();
    return true;
}

void Hoardscan::loadMessageCatalogue() {
    log().debug(1, "Loading log messages...");
    std::string directory;
    if (logging_.configuration->getDirName("Quilna.directories.conf", directory) != ConfResult::Found) {
        log().error(Message::NoCatalogueDirectory, ParamStream() << "Quilna.directories.conf");
    } else {
        const LoadResult result = catalogue_.loadMessages(directory, "storage,configuration");
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
    if (logging_.directory.empty() || AnchoredPaths::isAbsolute(logging_.directory)) return;
    logging_.directory = AnchoredPaths::anchored(logging_.directory);
    if (logging_.messenger) logging_.messenger->setLogFile(logging_.directory + logging_.fileName);
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

bool Hoardscan::unusable(const char* key, const char* type, int result, const char* debugLine) {
    SettingFailure::report(log(), *logging_.configuration, key, type, result);
    log().debug(1, debugLine);
    return false;
}

bool Hoardscan::readSwitches() {
    const ConfReader& configuration = *logging_.configuration;
    if (int result = configuration.getBool("hoardscan.extension", settings_.extensionLog); result != ConfResult::Found)
        return unusable("hoardscan.extension", "Bool", result, "No extension configured.");
    if (int result = configuration.getBool("hoardscan.inactive-log", settings_.inactiveLog);
        result != ConfResult::Found)
        return unusable("hoardscan.inactive-log", "Bool", result, "No inactive log configured.");
    if (int result = configuration.getBool("hoardscan.temperature-log", settings_.temperatureLog);
        result != ConfResult::Found)
        return unusable("hoardscan.temperature-log", "Bool", result, "No temperature log configured.");
    fileTypes_->setCollectExtensions(settings_.extensionLog);
    return true;
}

bool Hoardscan::readTemperatureMonitor() {
    if (!settings_.temperatureLog) return true;
    const ConfReader& configuration = *logging_.configuration;
    if (int result = configuration.getString("hoardscan.temperature-monitor", settings_.temperatureMonitor, true);
        result != ConfResult::Found)
        return unusable("hoardscan.temperature-monitor", "String", result, "No temperature to monitor.");
    int32_t mebibytes = 0;
    if (int result = configuration.getInteger("hoardscan.temperature-monitor-size", mebibytes);
        result != ConfResult::Found) {
        SettingFailure::report(log(), configuration, "hoardscan.temperature-monitor-size", "Integer", result);
        if (LoggerUnit::isDebugOn(1))
            log().debug(1, "No %s monitor size configured.", ParamStream() << settings_.temperatureMonitor);
        return false;
    }
    settings_.temperatureMonitorSize = static_cast<int64_t>(mebibytes) * bytesPerMebibyte;
    if (LoggerUnit::isDebugOn(2))
        log().debug(
            2, "Limits of %s directory size: %i",
            ParamStream() << settings_.temperatureMonitor << static_cast<long long>(settings_.temperatureMonitorSize));
    return true;
}

// The monitored temperature is one of the bands, whatever its letter case: a name that no band
// has would leave the temperature log empty without a word.
bool Hoardscan::findMonitoredBand() {
    settings_.monitoredBand = settings_.temperatureMonitor;
    if (!settings_.temperatureLog || temperatures_->accessBands().empty()) return true;
    if (const TemperatureBand* band = temperatures_->bandNamed(settings_.temperatureMonitor)) {
        settings_.monitoredBand = band->name;
        return true;
    }
    std::string names;
    for (const TemperatureBand& band : temperatures_->accessBands()) names += (names.empty() ? "" : ", ") + band.name;
    log().fatal(Message::SettingInvalid, ParamStream()
                                             << "hoardscan.temperature-monitor" << settings_.temperatureMonitor
                                             << "one of the temperatures " + names + " expected");
    return false;
}

// A result directory, created with its missing parents and pinned to an absolute path.
bool Hoardscan::readDirectory(const char* key, const char* missingLine, const char* absentLine,
                              std::string& directory) {
    std::string value;
    const int result = logging_.configuration->getDirName(key, value);
    if (result != ConfResult::Found || value.empty())
        return unusable(key, "DirName", result == ConfResult::Found ? ConfResult::NotFound : result, missingLine);
    FileUtils::normaliseSeparators(value);
    FileUtils::addSeparator(value);
    value = AnchoredPaths::anchored(value);
    // Nothing is made in, or written to, a place that another user controls.
    const std::string refusal = platform().writeRefusal(value);
    if (!refusal.empty()) {
        log().fatal(Message::SettingInvalid, ParamStream() << key << value << refusal);
        return false;
    }
    if (!FileUtils::makeDirectories(value) || !isDirectory(value)) {
        log().fatal(Message::SettingUnusable, ParamStream() << key << value);
        if (LoggerUnit::isDebugOn(1)) log().debug(1, absentLine, ParamStream() << value);
        return false;
    }
    directory = value;
    return true;
}

bool Hoardscan::loadRulesFile(const char* key, const char* missingLine, const char* absentLine, bool accounts) {
    std::string path;
    if (int result = logging_.configuration->getFileName(key, path); result != ConfResult::Found)
        return unusable(key, "FileName", result, missingLine);
    if (!FileOps::exists(path)) {
        log().fatal(Message::SettingUnusable, ParamStream() << key << path);
        if (LoggerUnit::isDebugOn(1)) log().debug(1, absentLine, ParamStream() << path);
        return false;
    }
    return accounts ? rulesFiles_->loadAccounts(path) : rulesFiles_->loadFileSystems(path);
}

void Hoardscan::readUserDirectories() {
    std::string value;
    if (logging_.configuration->getString("hoardscan.user-dirs", value, true) != ConfResult::Found) {
        settings_.userDirectories.push_back("documents and settings");
        return;
    }
    for (std::string piece : StringUtils::split(value, ','))
        settings_.userDirectories.push_back(StringUtils::toLower(StringUtils::trim(piece)));
}

bool Hoardscan::readFileTypeScheme() {
    settings_.fileTypeScheme = FileTypes::Extension;
    int32_t scheme = 0;
    if (int result = logging_.configuration->getInteger("hoardscan.filetype", scheme); result != ConfResult::Found)
        return unusable("hoardscan.filetype", "Integer", result, "No filetype scheme configured.");
    settings_.fileTypeScheme = scheme;
    switch (scheme) {
        case FileTypes::Extension: log().debug(1, "Will be using the extension file type scheme."); break;
        case FileTypes::Mapping: log().debug(1, "Will be using the file type mapping scheme."); break;
        case FileTypes::FileName: log().debug(1, "Will be using the file name file type scheme."); break;
        case 2: log().fatal(Message::SchemeRefused, ParamStream() << scheme << "hoardscan.filetype"); return false;
        default:
            log().error(Message::UnknownScheme, ParamStream() << scheme);
            log().fatal(Message::SettingMissing, ParamStream() << "hoardscan.filetype");
            return false;
    }
    fileTypes_->setScheme(scheme);
    return true;
}

// Helper threads of the walk: by default one per processor, at most four (the kernel's side of
// a scan gains little from more); 0 turns the read-ahead off.
bool Hoardscan::readReadAhead() {
    constexpr int32_t most = 16;
    int32_t helpers = static_cast<int32_t>(std::min(4u, std::max(1u, std::thread::hardware_concurrency())));
    const int result = logging_.configuration->getInteger("hoardscan.read-ahead", helpers);
    if (result != ConfResult::Found && result != ConfResult::NotFound)
        return unusable("hoardscan.read-ahead", "Integer", result, "No read-ahead configured.");
    if (helpers < 0 || helpers > most) {
        log().fatal(Message::SettingInvalid, ParamStream()
                                                 << "hoardscan.read-ahead" << std::to_string(helpers)
                                                 << "a number of helper threads from 0 (none) to 16 expected");
        return false;
    }
    walk_->readAheadWith(static_cast<unsigned>(helpers));
    return true;
}

void Hoardscan::readBufferSize() {
    int32_t buffer = 1000;
    if (logging_.configuration->getInteger("hoardscan.buffer", buffer) != ConfResult::Found) buffer = 1000;
    settings_.bufferSize = buffer;
    tallies_.setBufferSize(buffer);
}

}  // namespace Quilna
