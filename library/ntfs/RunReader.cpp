#include "ntfs/RunReader.h"

#include <algorithm>

namespace Quilna::Ntfs {

RunReader::RunReader(VolumeBytes& volume, std::vector<DataRun> runs, uint32_t clusterSize)
    : volume_(volume), runs_(std::move(runs)), clusterSize_(clusterSize) {
    // The runs were checked against the volume's clusters, so these sums cannot wrap.
    for (const DataRun& run : runs_) {
        starts_.push_back(mapped_);
        mapped_ += run.length * clusterSize_;
    }
}

bool RunReader::read(uint64_t offset, std::span<uint8_t> into) {
    if (offset > mapped_ || into.size() > mapped_ - offset) return false;
    size_t run = std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin() - 1;
    while (!into.empty()) {
        const uint64_t within = offset - starts_[run];
        const size_t piece =
            static_cast<size_t>(std::min<uint64_t>(into.size(), runs_[run].length * clusterSize_ - within));
        if (runs_[run].cluster == DataRun::kSparse) return false;
        const uint64_t at = static_cast<uint64_t>(runs_[run].cluster) * clusterSize_ + within;
        if (!readVolume(volume_, at, into.first(piece))) return false;
        into = into.subspan(piece);
        offset += piece;
        ++run;
    }
    return true;
}

bool RunReader::readVolume(VolumeBytes& volume, uint64_t offset, std::span<uint8_t> into) {
    // Every turn reads at least one byte or ends, so the length bounds the loop.
    while (!into.empty()) {
        const auto got = volume.read(offset, into);
        if (!got || *got == 0 || *got > into.size()) return false;
        into = into.subspan(*got);
        offset += *got;
    }
    return true;
}

}  // namespace Quilna::Ntfs
