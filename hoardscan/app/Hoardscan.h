#pragma once
// The application object: one per process. A run has two phases: init starts logging, reads the
// configuration and the settings and makes the scan engine with its rules (Startup.cpp); scan
// walks every file system and finishes the result files (RunLoop.cpp). Then the run closes
// (RunOutcome.cpp): the exit code, the closing record, a line on standard error if it failed.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hoardscan/app/CommandLine.h"
#include "hoardscan/app/ScanIdentity.h"
#include "hoardscan/app/ScanSettings.h"
#include "logger/LogCommons.h"
#include "logger/LoggingSetup.h"
#include "platform/NamedLock.h"
#include "platform/Platform.h"

namespace Quilna {

class LoggerUnit;
class OpenDirectory;
class PathRules;
struct AccountEntry;
struct FileFacts;
struct FileInfo;
class ScanEngine;
struct ResultFileName;

class Hoardscan {
public:
    // The command text: "dummy" followed by the command line.
    Hoardscan(Platform& system, const std::string& commandText);
    ~Hoardscan();
    Hoardscan(const Hoardscan&) = delete;
    Hoardscan& operator=(const Hoardscan&) = delete;

    // Both phases and the close; the exit code (hoardscan/app/ExitCode.h). The quit flag (session
    // end) only chooses the closing debug line; a stop request (SIGINT, SIGTERM) ends the walk
    // at the next file, and what was counted is written under the unfinished names.
    int run(const std::atomic<bool>& quitFlag, const std::atomic<int>& stopRequest);

    // CheckRun.cpp: reads the configuration, its rules files and the drives as init and scan
    // do, prints every problem and what a run would walk on standard output, and writes
    // nothing. ExitCode::Success when nothing was wrong, else ExitCode::SetupFailed.
    int check();
    // ExplainRun.cpp: set up as check does; for each path, every decision a run takes on it
    // with the rules line that took it, on standard output. ExitCode::Success, or
    // ExitCode::SetupFailed when a path is missing or the installation cannot be set up.
    int explain(const std::vector<std::string>& paths);

private:
    // A phase that throws has failed: the exception is the reason the run gives.
    template <typename Phase>
    bool phaseSucceeded(Phase phase);

    // Startup.cpp: false when the scan cannot be set up (reported).
    bool init();
    bool findConfiguration();
    // One scan of an installation at a time; false, with the running one named, when another has it.
    bool takeInstallation();
    bool startLogging();
    bool openConfiguration();
    void loadMessageCatalogue();
    void pinLogDirectory();
    void readDebugLevel();
    // Entries of the known blocks that nothing reads: a WARNING each, with file, line and the
    // nearest known key.
    void reportUnknownSettings();
    // Log values that the logging set-up would take or leave without a word: false (FATAL) for
    // one that must not fall back to a default.
    bool checkLogValues();

    // RunLoop.cpp: false only when the scan cannot start.
    bool scan(const std::atomic<bool>& quitFlag, const std::atomic<int>& stopRequest);
    bool collectDrives();
    bool reportParallelism();
    void chooseFileSystems();
    void readFileSystem(const std::string& root, const std::string& fileSystem);
    void finishResultFiles(const std::atomic<bool>& quitFlag);
    bool isListedDrive(const std::string& root, size_t before) const;
    // A directory named in part 1 of the file systems file that is not there (reported).
    bool isMissingRoot(const std::string& root, size_t index);
    // CheckRun.cpp.
    void startCheckLogging();
    bool checkSetUp(bool printDirectories = true);
    void printResultDirectory(const char* what, const std::string& directory) const;
    void printWalkPlan();
    // ExplainRun.cpp.
    int fileSystemOf(const std::string& path) const;
    bool explainPath(const std::string& path);
    bool explainEntry(const PathRules& rules, const std::string& root, const std::string& directory,
                      const std::string& name, const std::vector<uint64_t>& probe, const FileInfo& info);
    void explainDirectoryWalk(const PathRules& rules, const std::vector<uint64_t>& parent, const std::string& name);
    void explainAccount(const AccountEntry* entry, const FileFacts* facts);
    void explainFacts(FileFacts& facts, bool isDirectory);
    // OldResultFiles.cpp: unfinished files of runs that died, finished ones past their days.
    struct OldResultSweep;
    void removeOldResultFiles();
    void removeOldResultFilesIn(OldResultSweep& sweep);
    void removeOldResultFile(OpenDirectory& directory, const std::string& entryName, const ResultFileName& name,
                             OldResultSweep& sweep);

    // RunOutcome.cpp: the exit code of a run whose init succeeded, given what scan answered; the
    // closing record (NOTICE 33, also when init failed once logging is up) and, for any exit
    // code but 0, one line on standard error: why, and where the log is.
    int exitCodeOfRun(bool ran) const;
    void closeRun(int exitCode);
    std::string outcomeText(int exitCode) const;
    std::string partsNotWalked() const;
    std::string failureReason() const;
    static const char* stopSignalName(int stopRequest);

    LoggerUnit& log() { return *logging_.unit; }

    Platform& system_;
    // The catalogue is declared first so that it outlives every logger that may consult it.
    LogCommons catalogue_;
    LoggingSetup logging_;
    CommandLine::Options options_;
    std::string configurationFile_;
    ScanIdentity identity_;
    ScanSettings settings_;
    std::vector<std::string> fileSystemRoots_;
    std::vector<std::string> fileSystemNames_;
    size_t listedDrives_ = 0;                      // the first drives: part 1 of the file systems file
    size_t missingRoots_ = 0;                      // of those, how many are not there
    std::string failure_;                          // why the run failed, where no FATAL record says it
    std::unique_ptr<NamedLock> installationLock_;  // held for the whole run
    int stopRequest_ = 0;                          // the StopRequest that ended the walk
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    // Logs through the unit of logging_, so it is made once that exists and goes before it.
    std::unique_ptr<ScanEngine> engine_;
};

}  // namespace Quilna
