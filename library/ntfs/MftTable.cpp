#include "ntfs/MftTable.h"

#include <algorithm>
#include <limits>

namespace Quilna::Ntfs {

namespace {

// Whole seconds since 1970 of a time in 100 ns units since 1601, rounded down and held to what
// 32 bits count: a time before 1970 is 0 (the scan keeps none earlier).
uint32_t unixSeconds(uint64_t ticks) {
    constexpr uint64_t ticksPerSecond = 10000000;
    constexpr uint64_t epochTicks = 116444736000000000;  // 1970-01-01
    if (ticks <= epochTicks) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>((ticks - epochTicks) / ticksPerSecond, UINT32_MAX));
}

}  // namespace

const MftEntry* MftTable::find(uint32_t record) const {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), record,
                                     [](const MftEntry& entry, uint32_t wanted) { return entry.record < wanted; });
    return at != entries_.end() && at->record == record ? &*at : nullptr;
}

std::span<const MftName> MftTable::namesOf(const MftEntry& entry) const {
    return std::span<const MftName>(links_).subspan(entry.firstName, entry.nameCount);
}

size_t MftTable::bytesUsed() const {
    return entries_.capacity() * sizeof(MftEntry) + links_.capacity() * sizeof(MftName) + names_.capacity() +
           owners_.bytesUsed();
}

void MftTable::add(uint32_t record, const RecordFacts& facts) {
    if (facts.names.size() > std::numeric_limits<uint16_t>::max() ||
        names_.size() > std::numeric_limits<uint32_t>::max() - facts.names.size() * 0x10000) {
        noteDamage(record, "more names than the table holds");
        return;
    }
    MftEntry& entry = entries_.emplace_back();
    entry.record = record;
    entry.size = facts.size;
    entry.allocated = facts.allocated;
    entry.created = unixSeconds(facts.created);
    entry.modified = unixSeconds(facts.modified);
    entry.accessed = unixSeconds(facts.accessed);
    entry.attributes = facts.attributes | (facts.directory ? MftEntry::kDirectory : 0);
    entry.securityId = facts.securityId;
    entry.reparseTag = facts.reparseTag;
    entry.links = facts.links;
    entry.firstName = static_cast<uint32_t>(links_.size());
    entry.nameCount = static_cast<uint16_t>(facts.names.size());
    for (const RecordFacts::Name& name : facts.names) {
        // A name holds at most 255 units, so its UTF-8 text fits 16 bits.
        links_.push_back({static_cast<uint32_t>(recordOf(name.parent)), static_cast<uint32_t>(names_.size()),
                          static_cast<uint16_t>(name.name.size()), sequenceOf(name.parent)});
        names_ += name.name;
    }
}

void MftTable::noteDamage(uint64_t record, const std::string& why, uint64_t records) {
    damaged_ += records;
    if (reasons_.size() < kReasonsKept) reasons_.push_back("record " + std::to_string(record) + ": " + why);
}

void MftTable::finish() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const MftEntry& a, const MftEntry& b) { return a.record < b.record; });
    entries_.shrink_to_fit();
    links_.shrink_to_fit();
    names_.shrink_to_fit();
}

}  // namespace Quilna::Ntfs
