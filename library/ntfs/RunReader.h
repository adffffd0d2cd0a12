#pragma once
// The bytes of a non-resident attribute, read through its runs: a byte offset in the attribute
// becomes reads of the clusters that hold it, across runs where a piece spans them.

#include <cstdint>
#include <span>
#include <vector>

#include "ntfs/DataRuns.h"
#include "ntfs/VolumeBytes.h"

namespace Quilna::Ntfs {

class RunReader {
public:
    RunReader(VolumeBytes& volume, std::vector<DataRun> runs, uint32_t clusterSize);

    uint64_t mappedBytes() const { return mapped_; }
    // Fills `into` from `offset` of the attribute; false when a byte lies in a sparse run,
    // beyond the runs, or could not be read.
    bool read(uint64_t offset, std::span<uint8_t> into);

    // Fills `into` from `offset` of the volume; false on a failed or short read.
    static bool readVolume(VolumeBytes& volume, uint64_t offset, std::span<uint8_t> into);

private:
    VolumeBytes& volume_;
    std::vector<DataRun> runs_;
    std::vector<uint64_t> starts_;  // byte offset in the attribute where each run begins
    uint32_t clusterSize_;
    uint64_t mapped_ = 0;
};

}  // namespace Quilna::Ntfs
