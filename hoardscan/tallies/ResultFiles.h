#pragma once
// The result files of a run and how the tallies are written into them: the account record
// file (always), the extension log, the temperature log, the inactive-file table and the
// directory totals.
// A flush empties its buffer only when all of it reached the file; otherwise the buffer stays
// whole for the next flush. What a line holds is the formats' (library/results).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hoardscan/tallies/ResultFile.h"
#include "hoardscan/app/ScanSettings.h"
#include "platform/SystemServices.h"
#include "time/DateTime.h"

namespace Quilna {

class DirectoryTotals;
class LoggerUnit;
class Tallies;

class ResultFiles {
public:
    ResultFiles(FileSystem& files, SystemServices& services, LoggerUnit& logger, const ScanSettings& settings,
                uint32_t processId);

    // The nearest local midnight of the moment (noon counts towards the next one), in seconds
    // since 1970.
    static int32_t dayStamp(const DateTime& moment);

    // Each true when the whole buffer reached its file and was emptied.
    bool flushAccountRecords(Tallies& tallies);
    bool flushTemperatureRows(Tallies& tallies);
    bool writeExtensionLog(Tallies& tallies);
    bool flushInactiveRows(Tallies& tallies);
    bool flushDirectoryTotals(DirectoryTotals& totals);

    // A new run writes the inactive-file table's header again before its first row.
    void startRun() { inactiveHeaderWritten_ = false; }

    // Closing at the end of the run. The account record file and the inactive-file table get
    // their final names (".data", ".csv") only when complete: flushed to stable storage and
    // holding everything the run found; otherwise they keep their unfinished ".make" names.
    // complete: the last flush wrote everything that was left and no record was lost.
    void finishAccountRecords(bool complete);
    // Says how many rows the table's limit left out and how many were cut.
    void finishInactiveRows(bool complete, const Tallies& tallies);
    void finishExtensionLog(bool complete);
    void finishTemperatureLog(bool complete);
    // Says in the debug log how many directories had paths too long for a row.
    void finishDirectoryTotals(bool complete, const DirectoryTotals& totals);
    // A run stopped early keeps the unfinished names whatever the files hold.
    void keepUnfinishedNames() { keepUnfinished_ = true; }

    // After finishing: how many of the enabled files are finished, and the names of the others.
    int enabledFiles() const { return enabled_; }
    int finishedFiles() const { return enabled_ - static_cast<int>(unfinished_.size()); }
    const std::vector<std::string>& unfinishedFiles() const { return unfinished_; }

    const ResultFile& accountFile() const { return accountFile_; }
    const ResultFile& inactiveFile() const { return inactiveFile_; }

private:
    void finish(ResultFile& file, bool complete);
    bool putLines(ResultFile& file, std::string_view lines);

    FileSystem& files_;
    SystemServices& services_;  // paces the retries of a rename
    LoggerUnit& logger_;
    const ScanSettings& settings_;
    ResultFile accountFile_;
    ResultFile extensionFile_;
    ResultFile inactiveFile_;
    ResultFile temperatureFile_;
    ResultFile totalsFile_;
    bool inactiveHeaderWritten_ = false;
    bool keepUnfinished_ = false;
    int enabled_ = 0;
    std::vector<std::string> unfinished_;
    std::string text_;  // reused per element
};

}  // namespace Quilna
