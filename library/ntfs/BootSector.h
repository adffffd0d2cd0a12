#pragma once
// The first sector of an NTFS volume: the geometry the table reader needs. Every number is
// checked against what a real volume can hold before anything is computed from it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace Quilna::Ntfs {

struct BootSector {
    static constexpr size_t kSize = 512;

    uint32_t bytesPerSector = 0;
    uint32_t clusterSize = 0;
    uint32_t recordSize = 0;  // bytes of one record of the master file table
    uint64_t volumeBytes = 0;
    uint64_t tableOffset = 0;  // byte offset of the table's first record

    // The geometry, or nothing with the reason in `why`.
    static std::optional<BootSector> parse(std::span<const uint8_t> sector, std::string& why);
};

}  // namespace Quilna::Ntfs
