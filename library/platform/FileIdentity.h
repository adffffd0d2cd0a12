#pragma once
#include <cstdint>

namespace Quilna {

// Identity of a file or directory: (device, inode) on POSIX, (volume serial, file index) on Windows.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

}  // namespace Quilna
