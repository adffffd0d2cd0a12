#pragma once
// The table reader's bytes from a volume the platform opened beneath its file system.

#include <memory>

#include "ntfs/VolumeBytes.h"
#include "platform/RawVolume.h"

namespace Quilna {

class RawVolumeBytes : public Ntfs::VolumeBytes {
public:
    explicit RawVolumeBytes(std::unique_ptr<RawVolume> volume) : volume_(std::move(volume)) {}

    std::optional<size_t> read(uint64_t offset, std::span<uint8_t> into) override {
        size_t got = 0;
        if (SystemError error; !volume_->read(offset, into, got, error)) return std::nullopt;
        return got;
    }

private:
    std::unique_ptr<RawVolume> volume_;
};

}  // namespace Quilna
