#pragma once
// The application object: one per process. init reads the settings and loads the rules
// (Settings.cpp), run walks every file system and writes the result files (RunLoop.cpp); the
// scan engine's parts (Walk, DriveCheck, ResultFiles, the rules classes and the tallies) are
// its members.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/FileStatus.h"
#include "hoardscan/AttributeNames.h"
#include "hoardscan/CommandLine.h"
#include "hoardscan/RuleTables.h"
#include "hoardscan/ScanIdentity.h"
#include "hoardscan/ScanSettings.h"
#include "hoardscan/Tallies.h"
#include "logger/LogCommons.h"
#include "logger/LoggingSetup.h"

namespace Quilna {

class DriveCheck;
class FileTypes;
class LoggerUnit;
class Owners;
class ResultFiles;
class RuleDecisions;
class RulesFiles;
class Temperatures;
class Walk;

class Hoardscan {
public:
    // The command text: "dummy" followed by the command line.
    explicit Hoardscan(const std::string& commandText);
    virtual ~Hoardscan();
    Hoardscan(const Hoardscan&) = delete;
    Hoardscan& operator=(const Hoardscan&) = delete;

    // Starts logging, reads the configuration and loads the rules; false when the scan
    // cannot be set up (reported).
    bool init();
    // Walks every file system and writes the result files; false only when the scan cannot
    // start. The quit flag (session end) only chooses the closing debug line; a stop request
    // (SIGINT, SIGTERM) ends the walk at the next file, and what was counted is written under
    // the unfinished names.
    bool run(const std::atomic<bool>& quitFlag, const std::atomic<int>& stopRequest);

    // RunOutcome.cpp: the exit code of a run whose init succeeded, given what run answered.
    int exitCodeOfRun(bool ran) const;
    // Logs the closing record (NOTICE 33, also when init failed once logging is up) and, for
    // any exit code but 0, writes one line to standard error: why, and where the log is.
    void closeRun(int exitCode);
    // A phase (init or run) ended by an exception: why, for the closing record.
    void phaseFailed(const std::string& why) { failure_ = why; }

    // The scan engine's operations.
    void walk(const std::string& root, const std::string& fileSystem);
    std::string driveType(const std::string& root);
    static std::string pathRoot(const std::string& path);
    void flushAccountRecords();
    void flushTemperatureRows();
    void writeExtensionLog();
    void flushInactiveRows();

    const ScanSettings& settings() const { return settings_; }
    const Tallies& tallies() const { return tallies_; }
    const RuleTables& ruleTables() const { return tables_; }
    const CommandLine::Options& options() const { return options_; }
    const std::vector<std::string>& fileSystemRoots() const { return fileSystemRoots_; }
    const std::vector<std::string>& fileSystemNames() const { return fileSystemNames_; }

private:
    // Settings.cpp: the steps of init.
    bool findConfiguration();
    bool startLogging();
    bool openConfiguration();
    void loadMessageCatalogue();
    void pinLogDirectory();
    void readDebugLevel();
    bool readSwitches();
    bool readTemperatureMonitor();
    bool findMonitoredBand();
    bool readDirectory(const char* key, const char* missingLine, const char* absentLine, std::string& directory);
    bool loadRulesFile(const char* key, const char* missingLine, const char* absentLine, bool accounts);
    void readUserDirectories();
    bool readFileTypeScheme();
    void readBufferSize();
    bool readReadAhead();
    void makeEngine();
    // A required setting that cannot be read: reported as missing or invalid, with its debug line.
    bool unusable(const char* key, const char* type, int result, const char* debugLine);

    // RunLoop.cpp: the steps of run.
    bool collectDrives();
    bool reportParallelism();
    void chooseFileSystems();
    void finishResultFiles(const std::atomic<bool>& quitFlag);
    bool isListedDrive(const std::string& root, size_t before) const;
    // StaleResultFiles.cpp.
    void removeStaleResultFiles();
    void removeStaleResultFilesIn(const std::string& directory);

    // RunOutcome.cpp.
    std::string outcomeText(int exitCode) const;
    std::string failureReason() const;
    static const char* stopSignalName(int stopRequest);

    LoggerUnit& log() { return *logging_.unit; }

    // The catalogue is declared first so that it outlives every logger that may consult it.
    LogCommons catalogue_;
    LoggingSetup logging_;
    CommandLine::Options options_;
    ScanSettings settings_;
    AttributeNames attributeNames_;
    ScanIdentity identity_;
    std::string architecture_;
    std::string osName_;
    RuleTables tables_;
    Tallies tallies_;
    std::vector<std::string> fileSystemRoots_;
    std::vector<std::string> fileSystemNames_;
    std::string configurationFile_;
    std::string failure_;  // why the run failed, where no FATAL record says it
    int stopRequest_ = 0;  // the StopRequest that ended the walk
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();

    // The engine's parts log through the unit of logging_, so they are made once it exists
    // and go before it.
    std::unique_ptr<RulesFiles> rulesFiles_;
    std::unique_ptr<RuleDecisions> decisions_;
    std::unique_ptr<FileTypes> fileTypes_;
    std::unique_ptr<Temperatures> temperatures_;
    std::unique_ptr<Owners> owners_;
    std::unique_ptr<DriveCheck> driveCheck_;
    std::unique_ptr<ResultFiles> resultFiles_;
    std::unique_ptr<Walk> walk_;
};

}  // namespace Quilna
