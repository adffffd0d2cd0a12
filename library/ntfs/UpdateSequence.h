#pragma once
// Multi-sector structures (table records, index blocks) end every 512-byte stride in a sequence
// number whose true bytes wait in the structure's update-sequence array.

#include <cstdint>
#include <span>
#include <string>

namespace Quilna::Ntfs {

// Puts the true bytes back in place; false with the reason in `why` when the array does not fit
// `block` or a stride does not end in the number (torn while written).
bool undoUpdateSequence(std::span<uint8_t> block, std::string& why);

}  // namespace Quilna::Ntfs
