#pragma once
// One name of a file in one directory; a file with several hard links has one per link.

#include <cstdint>

namespace Quilna::Ntfs {

struct MftName {
    uint32_t parent = 0;          // record of the directory
    uint32_t textOffset = 0;      // where its UTF-8 text begins in the table's arena
    uint16_t textLength = 0;      // bytes
    uint16_t parentSequence = 0;  // the directory's sequence, to tell a reused record
};
static_assert(sizeof(MftName) == 12, "the per-name cost the documentation states");

}  // namespace Quilna::Ntfs
