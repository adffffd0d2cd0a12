#pragma once
// A scan of paths at the terminal, without an installation: the scan engine with built-in rules
// (every file counted, an account per directory at the first level below each path, the shipped
// type mapping and temperatures), no log, lock or mailslot, nothing written unless a directory is
// named for the result files; then a summary on standard output, and a progress line on standard
// error while it is a terminal.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/SmartPointer.h"
#include "hoardscan/app/CommandLine.h"
#include "hoardscan/app/ScanIdentity.h"
#include "hoardscan/app/ScanSettings.h"
#include "platform/Platform.h"

namespace Quilna {

class LoggerUnit;
class ScanEngine;
struct AccountEntry;

class PathScan {
public:
    PathScan(Platform& system, CommandLine::Request request);
    ~PathScan();
    PathScan(const PathScan&) = delete;
    PathScan& operator=(const PathScan&) = delete;

    // The exit code (hoardscan/app/ExitCode.h), as a run of an installation gives it.
    int run(const std::atomic<int>& stopRequest);

private:
    // False, said on standard error, for a path that is no directory or an unusable -o.
    bool preparePaths();
    bool prepareSettings();
    bool loadBuiltInRules();
    void addAccountEntries(const std::string& root, std::vector<AccountEntry>& entries) const;
    // The file-system type of the drive a path lies on; "fixed" when none is found.
    std::string fileSystemOf(const std::string& path);
    int exitCode(int stopRequest) const;

    Platform& system_;
    CommandLine::Request request_;
    ScanIdentity identity_;
    ScanSettings settings_;
    std::vector<std::string> roots_;
    SmartPointer<LoggerUnit> log_;  // logs nowhere: the summary and the exit code speak
    std::unique_ptr<ScanEngine> engine_;
};

}  // namespace Quilna
