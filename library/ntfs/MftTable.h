#pragma once
// The files of one volume's master file table: one compact entry per base record in use, in
// record order, their names in one arena, and the records found damaged (counted, the first
// reasons kept).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/MftEntry.h"
#include "ntfs/MftName.h"
#include "ntfs/RecordFacts.h"
#include "ntfs/SecurityOwners.h"

namespace Quilna::Ntfs {

class MftTable {
public:
    static constexpr size_t kReasonsKept = 16;
    static constexpr size_t kUpCaseUnits = 0x10000;

    const std::vector<MftEntry>& entries() const { return entries_; }
    // The entry of a record, or nullptr when the record holds no file in use.
    const MftEntry* find(uint32_t record) const;
    std::span<const MftName> namesOf(const MftEntry& entry) const;
    std::span<const MftName> names() const { return links_; }
    std::string_view text(const MftName& name) const { return {names_.data() + name.textOffset, name.textLength}; }

    // The volume's upper case of every UTF-16 unit, or empty when the volume's table was unreadable.
    const std::vector<uint16_t>& upCase() const { return upCase_; }

    // The owner of every security id, from the volume's security file; ownersProblem says what
    // kept some (or all) owners from being read, empty when nothing did.
    const SecurityOwners& owners() const { return owners_; }
    const std::string& ownersProblem() const { return ownersProblem_; }

    uint64_t damaged() const { return damaged_; }
    const std::vector<std::string>& reasons() const { return reasons_; }
    size_t bytesUsed() const;

    // Building, by the reader: entries arrive in record order, except those completed last.
    void add(uint32_t record, const RecordFacts& facts);
    void noteDamage(uint64_t record, const std::string& why, uint64_t records = 1);
    void setUpCase(std::vector<uint16_t> units) { upCase_ = std::move(units); }
    void setOwners(SecurityOwners owners, std::string problem) {
        owners_ = std::move(owners);
        ownersProblem_ = std::move(problem);
    }
    void finish();

private:
    std::vector<MftEntry> entries_;
    std::vector<MftName> links_;
    std::string names_;
    uint64_t damaged_ = 0;
    std::vector<std::string> reasons_;
    std::vector<uint16_t> upCase_;
    SecurityOwners owners_;
    std::string ownersProblem_;
};

}  // namespace Quilna::Ntfs
