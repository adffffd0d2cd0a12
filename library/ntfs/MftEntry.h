#pragma once
// One file of the master file table, as the tree rebuild keeps it: 64 bytes, its names apart
// (MftName, 12 bytes each, their text in the table's one arena).

#include <cstdint>

namespace Quilna::Ntfs {

struct MftEntry {
    static constexpr uint32_t kDirectory = 0x10;  // DOS attribute bit, set for directories

    uint64_t size = 0;       // bytes of the unnamed stream
    uint64_t allocated = 0;  // its bytes on disk (compressed size for compressed and sparse streams)
    uint64_t created = 0, modified = 0, accessed = 0;  // 100 ns units since 1601
    uint32_t record = 0;
    uint32_t attributes = 0;  // DOS attribute bits
    uint32_t securityId = 0;  // key into the volume's security descriptors; 0 when none
    uint32_t reparseTag = 0;  // 0 when not a reparse point
    uint32_t firstName = 0;   // index of its first name in the table
    uint16_t links = 0;       // hard links as the record counts them: a separate short name counts
    uint16_t nameCount = 0;   // names a listing shows (short names left out)
};
static_assert(sizeof(MftEntry) == 64, "the per-file cost the documentation states");

}  // namespace Quilna::Ntfs
