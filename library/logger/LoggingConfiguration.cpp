#include "logger/LoggingConfiguration.h"

#include "config/ConfReader.h"
#include "config/Resources.h"
#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LogState.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "logger/RotationSettings.h"
#include "platform/Platform.h"
#include "text/StringUtils.h"
#include "time/TimeSpan.h"

namespace Quilna {

namespace {

// Directory texts are compared and kept in lower case where paths ignore case; elsewhere
// lower-casing would name another directory.
void foldCase(FileSystem& files, std::string& directory) {
    if (files.pathSyntax().caseInsensitive) StringUtils::toLower(directory);
}

int32_t startupDebugLevel(Platform& system) {
    uint32_t number = 0;
    if (readResourceDword(system, system, "StartupDebugLevel", number) == ResourceResult::Ok)
        return number > 5 ? -1 : static_cast<int32_t>(number);
    // An installer may have written the number as text.
    std::string text;
    if (readResource(system, system, "StartupDebugLevel", text) == ResourceResult::Ok)
        return StringUtils::toInt32(text);
    return 0;
}

void moveLog(const PathSyntax& syntax, LoggingSetup& setup, const std::string& directory) {
    setup.directory = directory;
    setup.fileName = FileUtils::fileName(syntax, setup.fileName);
    if (setup.messenger) setup.messenger->setLogFile(setup.directory + setup.fileName);
}

void applyLogDirectory(FileSystem& files, LoggingSetup& setup, const ConfReader& configuration) {
    std::string directory;
    if (configuration.getDirName("Quilna.directories.log", directory) != ConfResult::Found) return;
    foldCase(files, directory);
    std::string bare = directory;
    FileUtils::stripSeparators(files.pathSyntax(), bare);
    FileStatus status;
    if (!FileOps::fileStatus(files, bare, status) || !status.isDirectory()) return;
    if (directory != setup.directory) moveLog(files.pathSyntax(), setup, directory);
}

int32_t timeModeOf(const std::string& word) {
    if (word == "local") return TimeMode::Local;
    if (word == "zulu") return TimeMode::Zulu;
    return TimeMode::Default;
}

void applyRotation(LoggingSetup& setup, const ConfReader& configuration) {
    const bool initBefore = (rotationScheme() & Rotation::Init) != 0;
    std::string words;
    if (configuration.getString("log.rotation.scheme", words, true, true) == ConfResult::Found) {
        setRotationScheme(0);
        applyRotationWords(words);
    }
    TimeSpanParts interval;
    if (configuration.getTimeSpan("log.rotation.time", interval) != ConfResult::Found) interval = TimeSpanParts{};
    setRotationInterval(TimeSpan(interval));
    int32_t megabytes = 0;
    if (configuration.getInteger("log.rotation.size", megabytes) != ConfResult::Found) megabytes = 0;
    setRotationSize(megabytes);
    int32_t copies = defaultRotationKeep;
    if (configuration.getInteger("log.rotation.keep", copies) != ConfResult::Found || copies < 0)
        copies = defaultRotationKeep;
    if (setup.messenger) setup.messenger->setRotationKeep(copies);
    if ((rotationScheme() & Rotation::Init) != 0 && !initBefore) armInitRotation();
}

void applyFilters(const ConfReader& configuration) {
    std::string name;
    if (configuration.getString("log.global.severity", name, true) != ConfResult::Found) {
        setSeverityFilter(Severity::Notice);
    } else if (int32_t severity = severityNamed(name); severity <= Severity::None) {
        setSeverityFilter(severity);
    }
    int32_t level = 0;
    if (configuration.getInteger("log.global.debug-level", level) != ConfResult::Found) level = 0;
    if (level >= 0 && level <= 5) setDebugLevel(level);
}

}  // namespace

// Administrators write "warning" as often as "WARNING": the name is taken whatever its case.
int32_t severityNamed(const std::string& value) { return LogCommons::severityFromName(StringUtils::upperCopy(value)); }

void applyRotationWords(const std::string& words) {
    for (const std::string& word : StringUtils::split(words, ',')) {
        if (word == "none") setRotationScheme(0);
        else if (word == "init") addRotationScheme(Rotation::Init);
        else if (word == "time") addRotationScheme(Rotation::Time);
        else if (word == "size") addRotationScheme(Rotation::Size);
    }
}

bool setupLogging(Platform& system, LoggingSetup& setup) {
    setApplicationName(LogCommons::applicationName(setup.application));
    if (setup.unit) {
        applyLogConfiguration(system, setup);
        return true;
    }
    if (setup.directory.empty()) {
        std::string directory;
        if (readResource(system, system, "StartupLogDir", directory) == ResourceResult::Ok) setup.directory = directory;
    }
    FileUtils::normaliseSeparators(system.pathSyntax(), setup.directory);
    FileUtils::addSeparator(system.pathSyntax(), setup.directory);
    foldCase(system, setup.directory);
    setDebugLevel(startupDebugLevel(system));
    std::string words;
    if (readResource(system, system, "LogFileRotationScheme", words) == ResourceResult::Ok) applyRotationWords(words);

    setRotationSize(initialRotationSize);  // the limit of a new log file agent
    setup.messenger = makeSmart<LogMessengerIPC>(system);
    if (setup.messenger) {
        // The program's records reach the system log from the start, so that a configuration
        // that cannot be read is seen there too.
        setup.messenger->setSystemLog(true);
        setup.messenger->setLogFile(setup.directory + setup.fileName);
    }
    setup.centre = makeSmart<LoggerCentre>(setup.application, setup.messenger);
    if (setup.centre) setup.unit = makeSmart<LoggerUnit>(system, setup.centre, setup.module);
    return static_cast<bool>(setup.unit);
}

void applyLogConfiguration(FileSystem& files, LoggingSetup& setup) {
    const ConfReader* configuration = setup.configuration.get();
    if (!configuration) return;
    applyLogDirectory(files, setup, *configuration);
    std::string word = "local";
    if (configuration->getString("log.time", word, true) != ConfResult::Found) word = "local";
    setTimeMode(timeModeOf(word));
    applyRotation(setup, *configuration);
    applyFilters(*configuration);
    bool toSystemLog = true;
    if (configuration->getBool("log.syslog", toSystemLog) != ConfResult::Found) toSystemLog = true;
    if (setup.messenger) setup.messenger->setSystemLog(toSystemLog);
}

}  // namespace Quilna
