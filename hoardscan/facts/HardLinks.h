#pragma once
// Which links of a multiply-linked file the run has met: the file is charged at the first link
// the walk counts and never again, so that space that exists once is paid for once. Only files
// whose status says more than one link are remembered (by device and inode on POSIX), each until
// its last link is met, so the memory grows with the multiply-linked files whose links the run has
// only partly met, about 56 bytes each (see docs/performance.md). Where the status gives no link
// count (the Win32 listing) every link is charged.

#include <cstdint>
#include <unordered_map>

#include "platform/FileInfo.h"

namespace Quilna {

class HardLinks {
public:
    // Whether the file is to be charged: it has one link, no known identity, or this is the
    // first of its links the run meets.
    bool isFirstLink(const FileInfo& info) {
        if (info.links <= 1 || !info.hasIdentity) return true;
        const auto [at, first] = linksToMeet_.try_emplace(info.identity, info.links - 1);
        if (first) return true;
        // The last link frees the entry: no later link of the file can be met.
        if (--at->second == 0) linksToMeet_.erase(at);
        return false;
    }

private:
    std::unordered_map<FileIdentity, uint32_t, FileIdentityHash> linksToMeet_;
};

}  // namespace Quilna
