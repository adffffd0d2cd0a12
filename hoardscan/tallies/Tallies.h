#pragma once
// The in-memory tallies of a scan: account records per record key, temperature rows per
// directory, inactive rows and unknown extensions. Each buffer is bounded by the record buffer
// size and by bufferBytes of text (a deep tree's paths are long): an update answers true when its
// buffer is due to be flushed. A buffer whose flush failed stays whole and is due again once as
// many more updates have come as it holds; an update that would add an entry to it meanwhile is
// lost (and counted), one that adds to an entry it holds is not.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "results/AccountValues.h"
#include "results/InactiveTableFormat.h"

namespace Quilna {

class Tallies {
public:
    // Per key text (results/AccountRecordFormat.h).
    using AccountRecords = std::map<std::string, AccountValues>;
    // A directory's total of the monitored temperature.
    using DirectoryTotal = std::pair<std::string_view, double>;

    // Text a buffer holds at most (keys, paths, rows), whatever the record buffer size.
    static constexpr size_t bufferBytes = 8 << 20;

    explicit Tallies(int32_t bufferSize = 1000) : bufferSize_(bufferSize) {}

    void setBufferSize(int32_t bufferSize) { bufferSize_ = bufferSize; }
    int32_t bufferSize() const { return bufferSize_; }

    bool addAccountRecord(const std::string& key, int64_t logicalSize, int64_t physicalSize);
    // A file of the monitored temperature in a directory. The files of a directory come one after
    // the other, and each directory the walk enters has its own number (visit): a file costs no
    // look-up by path, and a row keeps its path only once it reaches the limit, below which the
    // temperature log writes none (so a deep tree's many small rows copy no path).
    bool addTemperatureRow(uint64_t visit, std::string_view directory, int64_t physicalSize);
    void setTemperatureLimit(int64_t bytes) { temperatureLimit_ = static_cast<double>(bytes); }
    // A row of the inactive-file table; one already buffered is not added again (a cut one is). The table holds
    // at most tableBytes, its header included: from the first row that would pass them on, rows
    // are counted instead. A row naming a path longer than longestPath is cut (InactiveTableFormat).
    void setInactiveLimits(size_t tableBytes, size_t longestPath) {
        inactiveTableLimit_ = tableBytes;
        longestPath_ = longestPath;
    }
    bool addInactiveRow(std::string_view name, std::string_view directory, int64_t physicalSize,
                        std::string_view lastAccess, std::string_view temperature);
    // Appends a lower-cased extension unless it is listed already.
    void addExtension(const std::string& extension);
    bool hasExtension(const std::string& extension) const { return extensionSet_.count(extension) > 0; }

    const AccountRecords& accountRecords() const { return accountRecords_; }
    // The rows that reached the limit, in path order, one per path (a directory walked twice
    // within one buffer, below two roots, is summed).
    std::vector<DirectoryTotal> temperatureRows() const;
    const std::deque<std::string>& inactiveRows() const { return inactiveRows_; }
    const std::vector<std::string>& extensionLines() const { return extensionLines_; }

    void clearAccountRecords();
    void clearTemperatureRows();
    void clearInactiveRows();

    // Updates that found their buffer full after a failed flush.
    uint64_t lostAccountRecords() const { return accountPacing_.lost; }
    uint64_t lostTemperatureRows() const { return temperaturePacing_.lost; }
    uint64_t lostInactiveRows() const { return inactivePacing_.lost; }
    // Rows left out of the inactive-file table by its limit, and rows added with their path cut.
    uint64_t inactiveRowsOverLimit() const { return inactiveOverLimit_; }
    uint64_t inactiveRowsCut() const { return inactiveCut_; }
    uint64_t inactiveRowsAdded() const { return inactiveAdded_; }

    // Every file the scan counted, whether or not its record reached a file.
    uint64_t filesCounted() const { return filesCounted_; }
    double bytesCounted() const { return bytesCounted_; }
    double bytesOnDiskCounted() const { return bytesOnDiskCounted_; }

private:
    struct Pacing {
        uint64_t sinceFull = 0;  // updates since the buffer became full
        uint64_t lost = 0;
    };

    // The directory whose files are being added, and its row.
    struct CurrentDirectory {
        uint64_t visit = 0;
        bool held = false;  // it has a row in the buffer
        double bytes = 0;
        size_t kept = SIZE_MAX;  // its row among those that reached the limit
    };

    size_t capacity() const { return static_cast<size_t>(bufferSize_ < 1 ? 1 : bufferSize_); }
    bool hasRoom(size_t entries, size_t bytes) const { return entries < capacity() && bytes < bufferBytes; }
    // Due when the buffer has just become full, and again each capacity() updates while it stays full.
    bool due(Pacing& pacing, size_t entries, size_t bytes) const;
    bool fitsTable(const std::string& row, bool cut);

    int32_t bufferSize_;
    Pacing accountPacing_, temperaturePacing_, inactivePacing_;
    uint64_t filesCounted_ = 0;
    double bytesCounted_ = 0;
    double bytesOnDiskCounted_ = 0;
    AccountRecords accountRecords_;
    // The records by key, found with one hash instead of comparing keys that share long beginnings.
    std::unordered_map<std::string_view, AccountValues*> accountIndex_;
    size_t accountBytes_ = 0;
    double temperatureLimit_ = 0;
    size_t temperatureEntries_ = 0;  // rows in the buffer, those below the limit included
    std::vector<std::pair<std::string, double>> keptTemperatureRows_;  // in walk order
    size_t temperatureBytes_ = 0;
    CurrentDirectory temperatureDirectory_;
    std::deque<std::string> inactiveRows_;  // a deque: the set's views stay valid as it grows
    std::unordered_set<std::string_view> inactiveSet_;
    size_t inactiveBytes_ = 0;
    size_t inactiveTableLimit_ = SIZE_MAX;
    size_t inactiveTableBytes_ =
        InactiveTableFormat::header.size() + 1;  // the header and every row added in the run, with their line feeds
    size_t longestPath_ = SIZE_MAX;
    uint64_t inactiveOverLimit_ = 0;
    uint64_t inactiveCut_ = 0;
    uint64_t inactiveAdded_ = 0;
    std::vector<std::string> extensionLines_;
    std::unordered_set<std::string> extensionSet_;
    std::string rowScratch_;
};

}  // namespace Quilna
