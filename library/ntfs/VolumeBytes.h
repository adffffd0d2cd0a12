#pragma once
// Where the table reader gets its bytes: a raw volume, a block device or an image file. The
// reader asks for bounded pieces at absolute byte offsets and never for more than it can hold.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace Quilna::Ntfs {

class VolumeBytes {
public:
    virtual ~VolumeBytes() = default;
    // Fills the front of `into` from `offset` on: the bytes read (fewer at the volume's end), or
    // nothing when the read failed.
    virtual std::optional<size_t> read(uint64_t offset, std::span<uint8_t> into) = 0;
};

}  // namespace Quilna::Ntfs
