#include "hoardscan/Tallies.h"

#include <algorithm>

namespace Quilna {

namespace {

constexpr double logicalWeight = 0.00001;
constexpr double physicalWeight = 0.0001;

void appendWithout(std::string& out, std::string_view text, char separator) {
    for (char c : text) out.push_back(c == separator || static_cast<unsigned char>(c) < 0x20 ? '_' : c);
}

}  // namespace

void Tallies::sanitizeField(std::string& field) {
    for (char& c : field)
        if (c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
}

void Tallies::buildKey(const RecordFields& fields, std::string& key) {
    key.clear();
    const std::string_view parts[] = {
        fields.site,  fields.host,     fields.fileSystem, fields.account,           fields.user,
        fields.group, fields.fileType, fields.status,     fields.accessTemperature, fields.modifyTemperature};
    for (std::string_view part : parts) {
        if (!key.empty()) key.push_back(':');
        key.append("0:");
        appendWithout(key, part, ':');
    }
}

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
    auto entry = accountRecords_.find(key);
    if (entry == accountRecords_.end()) {
        if (!hasRoom(accountRecords_.size(), accountBytes_)) {
            ++accountPacing_.lost;
            return due(accountPacing_, accountRecords_.size(), accountBytes_);
        }
        entry = accountRecords_.emplace(key, AccountValues{0, 0, 0, 0}).first;
        accountBytes_ += key.size();
    }
    AccountValues& values = entry->second;
    values[0] += 1;
    values[1] += logical;
    values[2] += physical;
    values[3] = values[1] * logicalWeight + values[2] * physicalWeight;
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
    rowScratch_.clear();
    appendWithout(rowScratch_, name, ',');
    rowScratch_.push_back(',');
    appendWithout(rowScratch_, directory, ',');
    rowScratch_.push_back(',');
    rowScratch_.append(std::to_string(physicalSize / 1024));
    rowScratch_.push_back(',');
    rowScratch_.append(lastAccess);
    rowScratch_.push_back(',');
    rowScratch_.append(temperature);
    rowScratch_.push_back(',');
    // The duplicate check is a hash lookup; the buffer keeps the order of first appearance.
    if (!inactiveSet_.count(rowScratch_)) {
        if (hasRoom(inactiveRows_.size(), inactiveBytes_)) {
            inactiveSet_.insert(inactiveRows_.emplace_back(rowScratch_));
            inactiveBytes_ += rowScratch_.size();
        } else {
            ++inactivePacing_.lost;
        }
    }
    return due(inactivePacing_, inactiveRows_.size(), inactiveBytes_);
}

void Tallies::addExtension(const std::string& extension) {
    if (extensionSet_.insert(extension).second) extensionLines_.push_back(extension);
}

void Tallies::clearAccountRecords() {
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
