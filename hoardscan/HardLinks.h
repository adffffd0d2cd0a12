#pragma once
// Which links of a multiply-linked file the run has met: the file is charged at the first link
// the walk counts and never again, so that space that exists once is paid for once. Only files
// whose status says more than one link are remembered (by device and inode on POSIX), so the
// memory grows with the multiply-linked files a run meets, about 48 bytes each (see docs/performance.md).
// Where the status gives no link count (the Win32 listing) every link is charged.

#include <cstddef>
#include <unordered_set>

#include "platform/FileInfo.h"

namespace Quilna {

class HardLinks {
public:
    // Whether the file is to be charged: it has one link, no known identity, or this is the
    // first of its links the run meets.
    bool isFirstLink(const FileInfo& info) {
        if (info.links <= 1 || !info.hasIdentity) return true;
        return met_.insert(info.identity).second;
    }
    size_t filesMet() const { return met_.size(); }

private:
    std::unordered_set<FileIdentity, FileIdentityHash> met_;
};

}  // namespace Quilna
