#pragma once
// One record of the master file table: its update-sequence fix-ups undone, its header and the
// attributes the scan needs read. The bytes are hostile: every offset and length is checked
// against the record, a damaged record is refused with a reason and nothing is read past it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ntfs/RecordFacts.h"

namespace Quilna::Ntfs {

class MftRecord {
public:
    struct Context {
        uint64_t number = 0;          // the record's own number, which an in-use record repeats
        uint64_t volumeClusters = 0;  // bounds the run lists
        bool keepRuns = false;
        bool keepSecure = false;  // the security file's index and descriptor stream
    };

    // Facts of `record` (fix-ups applied in place), a record not in use with inUse false, or
    // nothing with the reason in `why` when the record is damaged.
    static std::optional<RecordFacts> read(std::span<uint8_t> record, const Context& context, std::string& why);
};

}  // namespace Quilna::Ntfs
