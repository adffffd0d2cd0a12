#pragma once
#include <cstddef>
#include <cstdint>

namespace Quilna {

// How paths are written on this platform.
struct PathSyntax {
    char separator = '/';               // the separator written
    bool backslashIsSeparator = false;  // "\" and "/" both read as separators
    bool driveLetters = false;          // "C:" roots and ":\" in absolute paths
    bool networkPaths = false;          // "\\server\share" paths
    bool caseInsensitive = false;       // paths compare without case
    // The longest path a mount point can have: a directory whose path is longer is none (POSIX
    // mounts are made at a path the system takes whole).
    size_t longestMountPoint = 4096;
    // The longest path the system can name, in bytes of UTF-8: PATH_MAX less its terminating NUL;
    // on Windows 32,767 UTF-16 units, each at most 3 bytes.
    size_t longestPath = 4095;
};

}  // namespace Quilna
