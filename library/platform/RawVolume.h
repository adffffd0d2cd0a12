#pragma once
// A file system's volume opened read-only beneath the file system, for readers of its on-disk
// structures: bytes at any offset, whatever alignment the device itself demands.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/SystemError.h"

namespace Quilna {

class RawVolume {
public:
    virtual ~RawVolume() = default;
    // Fills the front of `into` from `offset`; got is fewer than asked only at the volume's end.
    virtual bool read(uint64_t offset, std::span<uint8_t> into, size_t& got, SystemError& error) = 0;
};

}  // namespace Quilna
