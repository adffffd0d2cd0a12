#include "hoardscan/tallies/Tallies.h"

#include <algorithm>

namespace Quilna {

namespace {

constexpr double logicalWeight = 0.00001;
constexpr double physicalWeight = 0.0001;

}  // namespace

bool Tallies::due(Pacing& pacing, size_t entries, size_t bytes) const {
    if (hasRoom(entries, bytes)) {
        pacing.sinceFull = 0;
        return false;
    }
    return pacing.sinceFull++ % capacity() == 0;
}

bool Tallies::addAccountRecord(const std::string& key, int64_t logicalSize, int64_t physicalSize) {
    const double logical = static_cast<double>(logicalSize);
    const double physical = static_cast<double>(physicalSize);
    ++filesCounted_;
    bytesCounted_ += logical;
    bytesOnDiskCounted_ += physical;
    auto indexed = accountIndex_.find(key);
    if (indexed == accountIndex_.end()) {
        if (!hasRoom(accountRecords_.size(), accountBytes_)) {
            ++accountPacing_.lost;
            return due(accountPacing_, accountRecords_.size(), accountBytes_);
        }
        auto entry = accountRecords_.emplace(key, AccountValues{}).first;
        indexed = accountIndex_.emplace(entry->first, &entry->second).first;
        accountBytes_ += key.size();
    }
    AccountValues& values = *indexed->second;
    values.files += 1;
    values.bytes += logical;
    values.bytesOnDisk += physical;
    values.weightedSize = values.bytes * logicalWeight + values.bytesOnDisk * physicalWeight;
    return due(accountPacing_, accountRecords_.size(), accountBytes_);
}

bool Tallies::addTemperatureRow(uint64_t visit, std::string_view directory, int64_t physicalSize) {
    CurrentDirectory& current = temperatureDirectory_;
    if (!current.held || current.visit != visit) {
        current = CurrentDirectory{visit};
        if (hasRoom(temperatureEntries_, temperatureBytes_)) {
            current.held = true;
            ++temperatureEntries_;
        } else {
            ++temperaturePacing_.lost;
        }
    }
    if (current.held) {
        current.bytes += static_cast<double>(physicalSize);
        if (current.kept != SIZE_MAX) {
            keptTemperatureRows_[current.kept].second = current.bytes;
        } else if (current.bytes >= temperatureLimit_) {
            current.kept = keptTemperatureRows_.size();
            keptTemperatureRows_.emplace_back(directory, current.bytes);
            temperatureBytes_ += directory.size();
        }
    }
    return due(temperaturePacing_, temperatureEntries_, temperatureBytes_);
}

std::vector<Tallies::DirectoryTotal> Tallies::temperatureRows() const {
    std::vector<DirectoryTotal> rows(keptTemperatureRows_.begin(), keptTemperatureRows_.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const DirectoryTotal& a, const DirectoryTotal& b) { return a.first < b.first; });
    std::vector<DirectoryTotal> merged;
    for (const DirectoryTotal& row : rows) {
        if (!merged.empty() && merged.back().first == row.first) merged.back().second += row.second;
        else merged.push_back(row);
    }
    return merged;
}

bool Tallies::addInactiveRow(std::string_view name, std::string_view directory, int64_t physicalSize,
                             std::string_view lastAccess, std::string_view temperature) {
    if (inactiveOverLimit_ > 0) {
        ++inactiveOverLimit_;
        return due(inactivePacing_, inactiveRows_.size(), inactiveBytes_);
    }
    // The duplicate check is a hash lookup; the buffer keeps the order of first appearance. With
    // room, the row is written in its place and taken back if it was there already. Cut rows of
    // the files of one deep chain look alike: each is kept.
    const bool room = hasRoom(inactiveRows_.size(), inactiveBytes_);
    std::string& row = room ? inactiveRows_.emplace_back() : rowScratch_;
    row.clear();
    const bool cut = InactiveTableFormat::appendRow(row, name, directory, physicalSize / 1024, lastAccess, temperature,
                                                    longestPath_);
    if (!room) {
        if (cut || !inactiveSet_.count(row)) ++inactivePacing_.lost;
    } else if (!cut && !inactiveSet_.insert(row).second) {
        inactiveRows_.pop_back();
    } else if (!fitsTable(row, cut)) {
        if (!cut) inactiveSet_.erase(row);
        inactiveRows_.pop_back();
    }
    return due(inactivePacing_, inactiveRows_.size(), inactiveBytes_);
}

// Counts a row into the table when it has room left for it; otherwise the table is full.
bool Tallies::fitsTable(const std::string& row, bool cut) {
    if (row.size() + 1 > inactiveTableLimit_ - std::min(inactiveTableLimit_, inactiveTableBytes_)) {
        ++inactiveOverLimit_;
        return false;
    }
    inactiveBytes_ += row.size();
    inactiveTableBytes_ += row.size() + 1;
    ++inactiveAdded_;
    inactiveCut_ += cut ? 1 : 0;
    return true;
}

void Tallies::addExtension(const std::string& extension) {
    if (extensionSet_.insert(extension).second) extensionLines_.push_back(extension);
}

void Tallies::clearAccountRecords() {
    accountIndex_.clear();
    accountRecords_.clear();
    accountBytes_ = 0;
}

void Tallies::clearTemperatureRows() {
    keptTemperatureRows_.clear();
    temperatureEntries_ = 0;
    temperatureBytes_ = 0;
    // The rest of the directory's files start a new row.
    temperatureDirectory_.held = false;
}

void Tallies::clearInactiveRows() {
    inactiveSet_.clear();
    inactiveRows_.clear();
    inactiveBytes_ = 0;
}

}  // namespace Quilna
