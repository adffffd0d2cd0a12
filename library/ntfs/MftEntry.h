#pragma once
// One file of the master file table, as the tree rebuild keeps it: 56 bytes, its names apart
// (MftName, 12 bytes each, their text in the table's one arena). Times are whole seconds since
// 1970, which is all the scan keeps of them: a time before 1970 is 0, one after 2106 the largest.

#include <cstdint>

namespace Quilna::Ntfs {

struct MftEntry {
    static constexpr uint32_t kDirectory = 0x10;  // DOS attribute bit, set for directories

    uint64_t size = 0;       // bytes of the unnamed stream
    uint64_t allocated = 0;  // its bytes on disk (compressed size for compressed and sparse streams)
    uint32_t created = 0, modified = 0, accessed = 0;  // seconds since 1970, rounded down
    uint32_t record = 0;
    uint32_t attributes = 0;  // DOS attribute bits
    uint32_t securityId = 0;  // key into the volume's security descriptors; 0 when none
    uint32_t reparseTag = 0;  // 0 when not a reparse point
    uint32_t firstName = 0;   // index of its first name in the table
    uint16_t links = 0;       // hard links as the record counts them: a separate short name counts
    uint16_t nameCount = 0;   // names a listing shows (short names left out)
};
static_assert(sizeof(MftEntry) == 56, "the per-file cost the documentation states");

}  // namespace Quilna::Ntfs
