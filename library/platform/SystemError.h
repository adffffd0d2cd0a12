#pragma once
#include <cstdint>
#include <string>

namespace Quilna {

// What went wrong, in words every backend shares. Logic above the platform decides on the kind;
// the native code is only for messages (logged numbers, the system's own text).
enum class ErrorKind : uint8_t {
    None,
    NotFound,  // no such file, directory, group or value
    AccessDenied,
    SharingViolation,  // another process holds the file
    DiskFull,
    Exists,
    NoNetwork,  // the network or the receiving computer cannot be reached
    NoMemory,
    Other,
};

struct SystemError {
    ErrorKind kind = ErrorKind::None;
    uint32_t code = 0;  // errno, GetLastError or NetAPI status; 0 when none
    // What the backend can tell beyond the code, for a message: a resources file's mode and
    // owner, who holds the lock that was waited for in vain. Mostly empty.
    std::string detail = std::string();

    bool failed() const { return kind != ErrorKind::None; }
};

}  // namespace Quilna
