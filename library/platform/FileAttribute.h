#pragma once
#include <cstdint>

namespace Quilna {

// The program's own 16-bit encoding of file attributes; every backend maps its system's
// attributes onto these bits.
enum FileAttribute : uint16_t {
    Archive = 0x0001,
    Compressed = 0x0002,
    Directory = 0x0004,
    Encrypted = 0x0008,
    Hidden = 0x0010,
    Offline = 0x0020,
    ReadOnly = 0x0040,
    System = 0x0080,
    Temporary = 0x0100,
    Normal = 0x0200,
    Link = 0x0400,
    Sparse = 0x1000,
};

}  // namespace Quilna
