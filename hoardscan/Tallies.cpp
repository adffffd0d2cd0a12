#include "hoardscan/Tallies.h"

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

bool Tallies::due(Pacing& pacing, size_t entries) const {
    if (hasRoom(entries)) {
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
        if (!hasRoom(accountRecords_.size())) {
            ++accountPacing_.lost;
            return due(accountPacing_, accountRecords_.size());
        }
        entry = accountRecords_.emplace(key, AccountValues{0, 0, 0, 0}).first;
    }
    AccountValues& values = entry->second;
    values[0] += 1;
    values[1] += logical;
    values[2] += physical;
    values[3] = values[1] * logicalWeight + values[2] * physicalWeight;
    return due(accountPacing_, accountRecords_.size());
}

bool Tallies::addTemperatureRow(const std::string& directory, int64_t physicalSize) {
    auto row = temperatureRows_.find(directory);
    if (row != temperatureRows_.end()) row->second += static_cast<double>(physicalSize);
    else if (hasRoom(temperatureRows_.size())) temperatureRows_.emplace(directory, static_cast<double>(physicalSize));
    else ++temperaturePacing_.lost;
    return due(temperaturePacing_, temperatureRows_.size());
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
        if (hasRoom(inactiveRows_.size())) {
            inactiveSet_.insert(rowScratch_);
            inactiveRows_.push_back(rowScratch_);
        } else {
            ++inactivePacing_.lost;
        }
    }
    return due(inactivePacing_, inactiveRows_.size());
}

void Tallies::addExtension(const std::string& extension) {
    if (extensionSet_.insert(extension).second) extensionLines_.push_back(extension);
}

void Tallies::clearInactiveRows() {
    inactiveRows_.clear();
    inactiveSet_.clear();
}

}  // namespace Quilna
