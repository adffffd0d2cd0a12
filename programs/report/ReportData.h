#pragma once
// What the summary and the HTML page show, as read from the report database.

#include <cstdint>
#include <string>
#include <vector>

#include "results/AccountValues.h"

namespace Quilna {

// Counts and byte sums over many runs: each run's sums fit 64 bits (the import checks that),
// but a fleet's sum of them may not.
using WideInt = __int128;

using SizeTotals = BasicAccountValues<WideInt>;

// When a run was scanned, as seconds since 1970, and the day stamp it was filed under. A run
// whose file did not keep its time is known to the day only: then the two are equal.
struct ScanTime {
    int64_t at = 0;
    int64_t day = 0;

    bool known() const { return at != 0 || day != 0; }
    bool dayOnly() const { return at == day; }
};

// One line of a ranking: an account, a user, a group, a file type or a host. For a host,
// when its run was scanned.
struct NamedTotals {
    std::string name;
    SizeTotals totals;
    ScanTime scanned{};
};

// Bytes on disk by access temperature (rows) and modify temperature (columns).
struct TemperatureMatrix {
    std::vector<std::string> access;
    std::vector<std::string> modify;
    std::vector<std::vector<SizeTotals>> cells;  // [access][modify]
};

// Bytes on disk per account at the end of each local day on which a run was scanned: every
// host counts with its latest run up to that day.
struct AccountGrowth {
    std::vector<int64_t> days;  // as Formatting::scanDate gives them
    struct Series {
        std::string account;
        std::vector<WideInt> bytesOnDisk;  // one per day
    };
    std::vector<Series> accounts;  // largest at the last day first
};

// A directory of a temperature log: bytes on disk of its files of the monitored temperature.
struct MonitoredDirectory {
    std::string host;
    std::string monitor;
    ScanTime scanned{};  // of its run; of a log without one, its day stamp
    std::string directory;
    int64_t bytes = 0;
};

// A directory's cold and frozen files: of its whole subtree by the latest directory totals of
// its host where it has them, else of the directory itself by its latest inactive-file table.
struct ColdDirectory {
    std::string host;
    std::string directory;
    int64_t files = 0;
    WideInt bytesOnDisk = 0;  // the tables give KiB, rounded down
    int64_t lastAccess = 0;   // the latest of its files, local time read as UTC seconds; not in the totals
    bool subtree = false;     // from the directory totals
};

// What a summary is narrowed to: the records of one host, account or user, in any combination;
// an empty field narrows nothing.
struct SummaryFilter {
    std::string host;
    std::string account;
    std::string user;

    bool empty() const { return host.empty() && account.empty() && user.empty(); }
};

// A directory of a host's latest directory totals: the sums of its whole subtree, its
// subdirectories among the totals (largest first; name is the whole path) and its split by
// account and by access temperature. The totals carry no weighted size.
struct DirectoryPage {
    std::string host;
    std::string directory;
    std::string parent;  // empty for a root of the walk
    SizeTotals totals;
    std::vector<NamedTotals> subdirectories;
    std::vector<NamedTotals> accounts;
    std::vector<NamedTotals> temperatures;
    std::vector<NamedTotals> users;  // none for totals imported before they named the owner
};

// The views of the summary for the latest run of each host, of the whole database or of
// one host or one account.
struct Summary {
    int64_t runs = 0;  // runs summed: the latest of each host
    ScanTime firstScan;
    ScanTime lastScan;
    SizeTotals total;
    std::vector<NamedTotals> hosts;
    std::vector<NamedTotals> accounts;
    std::vector<NamedTotals> users;
    std::vector<NamedTotals> groups;  // a file counts in each of its groups
    std::vector<NamedTotals> fileTypes;
    TemperatureMatrix temperatures;
};

// A host's run and the one before it, or an account over the latest and the previous run of
// every host: what changed.
struct RunChange {
    std::string name;
    ScanTime previousScan;  // not known() when there is no previous run
    ScanTime latestScan;
    SizeTotals previous;
    SizeTotals latest;
};

// One run of a host, for its page.
struct HostRun {
    ScanTime scanned{};
    SizeTotals totals;
};

}  // namespace Quilna
