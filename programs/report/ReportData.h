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

// One line of a ranking: an account, a user, a group, a file type or a host. For a host,
// day is the day stamp of its run.
struct NamedTotals {
    std::string name;
    SizeTotals totals;
    int64_t day = 0;
};

// Bytes on disk by access temperature (rows) and modify temperature (columns).
struct TemperatureMatrix {
    std::vector<std::string> access;
    std::vector<std::string> modify;
    std::vector<std::vector<SizeTotals>> cells;  // [access][modify]
};

// Bytes on disk per account at each day stamp on which a run ended: every host counts with
// its latest run up to that day.
struct AccountGrowth {
    std::vector<int64_t> days;
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
    int64_t day = 0;
    std::string directory;
    int64_t bytes = 0;
};

// A directory of the inactive-file tables: its cold and frozen files of the latest table of
// its host.
struct ColdDirectory {
    std::string host;
    std::string directory;
    int64_t files = 0;
    WideInt bytesOnDisk = 0;  // the tables give KiB, rounded down
    int64_t lastAccess = 0;   // the latest of its files, local time read as UTC seconds
};

// The views of the summary for the latest run of each host, of the whole database or of
// one host or one account.
struct Summary {
    int64_t runs = 0;  // runs summed: the latest of each host
    int64_t firstDay = 0;
    int64_t lastDay = 0;
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
    int64_t previousDay = 0;  // 0 when there is no previous run
    int64_t latestDay = 0;
    SizeTotals previous;
    SizeTotals latest;
};

// One run of a host, for its page.
struct HostRun {
    int64_t day = 0;
    int64_t scannedAt = 0;
    SizeTotals totals;
};

}  // namespace Quilna
