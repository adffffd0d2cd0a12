#pragma once
// What the summary and the HTML page show, as read from the report database.

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

struct SizeTotals {
    int64_t files = 0;
    int64_t bytes = 0;
    int64_t bytesOnDisk = 0;
    double weightedSize = 0;

    SizeTotals& operator+=(const SizeTotals& other) {
        files += other.files;
        bytes += other.bytes;
        bytesOnDisk += other.bytesOnDisk;
        weightedSize += other.weightedSize;
        return *this;
    }
};

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
        std::vector<int64_t> bytesOnDisk;  // one per day
    };
    std::vector<Series> accounts;  // largest at the last day first
};

struct ColdDirectory {
    std::string host;
    std::string monitor;
    int64_t day = 0;
    std::string directory;
    int64_t bytes = 0;
};

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

}  // namespace Quilna
