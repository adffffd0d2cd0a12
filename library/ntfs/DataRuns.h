#pragma once
// The run list of a non-resident attribute: where its clusters lie on the volume. Each run holds
// a length and a signed distance from the previous run's first cluster; a run without a distance
// is sparse (no clusters on disk).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ntfs/ByteView.h"

namespace Quilna::Ntfs {

struct DataRun {
    static constexpr int64_t kSparse = -1;
    int64_t cluster = kSparse;  // first cluster on the volume
    uint64_t length = 0;        // clusters
};

// The runs of `list` up to its end mark, or nothing with the reason in `why`: a field too long,
// a run beyond `volumeClusters`, more clusters than the volume has, bytes past the list.
std::optional<std::vector<DataRun>> decodeDataRuns(ByteView list, uint64_t volumeClusters, std::string& why);

}  // namespace Quilna::Ntfs
