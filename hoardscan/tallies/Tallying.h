#pragma once
// The third stage of the scan: each counted file's facts folded into the tallies (its account
// record by record key; its temperature row, inactive row and directory totals when those side
// files are on). A buffer
// that fills is flushed into the result files (ResultFiles) at once; at the end of the run the
// last flushes finish them.

#include <array>
#include <string>
#include <string_view>

#include "hoardscan/tallies/DirectoryTotals.h"
#include "platform/PathSyntax.h"
#include "results/RecordKey.h"

namespace Quilna {

class PathSummary;
class ResultFiles;
class Tallies;
struct FileFacts;
struct ScanIdentity;
struct ScanSettings;

class Tallying {
public:
    // The longest path the system names bounds the directory totals' paths.
    Tallying(const PathSyntax& syntax, const ScanSettings& settings, const ScanIdentity& identity, Tallies& tallies,
             ResultFiles& results);

    // The temperature whose bytes the temperature log counts, as the temperatures file names it.
    void monitor(const std::string& band) { monitoredBand_ = band; }
    // A scan of a path: every counted file also goes to the summary, every directory left to its
    // list of the largest; result files are written only when the settings name a directory.
    void summarizeInto(PathSummary& summary);
    // The file's temperatures are made fit for a record key on the way.
    void add(FileFacts& facts);
    // The record key the file would be counted under, as the account records write it (--explain).
    void recordKey(FileFacts& facts, std::string& key) const;
    // The walk's directories, for the directory totals: a walk begins, one is entered, one is left
    // (path: its text) after everything below it.
    void beginWalk();
    void enterDirectory();
    void leaveDirectory(std::string_view path);
    // The last flushes. A file gets its finished name only when its last flush wrote everything
    // left and nothing was lost on the way (and the run was not stopped, see ResultFiles).
    void finishResultFiles();

private:
    RecordKeyView keyOf(const FileFacts& facts) const;

    const ScanSettings& settings_;
    const ScanIdentity& identity_;
    Tallies& tallies_;
    ResultFiles& results_;
    std::string monitoredBand_;
    std::string key_;         // reused per file
    std::string lastAccess_;  // reused per inactive file
    // Site, host, file system and account, the same for the files of a directory: the start of
    // the key they make is made again only when one of them changes.
    static constexpr size_t sharedFields = 4;
    std::array<std::string, sharedFields> keyStartFields_;
    std::string keyStart_;
    bool hasKeyStart_ = false;
    DirectoryTotals directoryTotals_;
    PathSummary* summary_ = nullptr;
    bool writing_ = true;
    bool totalling_ = false;  // the directory totals' sums are kept: for the side file or the summary
};

}  // namespace Quilna
