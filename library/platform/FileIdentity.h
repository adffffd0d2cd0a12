#pragma once
#include <cstddef>
#include <cstdint>

namespace Quilna {

// Identity of a file or directory: (device, inode) on POSIX, (volume serial, file index) on Windows.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// For sets of identities (the walk's path, the links a run has met).
struct FileIdentityHash {
    size_t operator()(const FileIdentity& identity) const noexcept {
        return static_cast<size_t>(identity.volume * 0x9E3779B97F4A7C15ull ^ identity.index);
    }
};

}  // namespace Quilna
