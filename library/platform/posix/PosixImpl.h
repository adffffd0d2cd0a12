#pragma once
// State of the POSIX backend, shared by its slice files.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/NativePlatform.h"
#include "platform/posix/MountTable.h"

namespace Quilna {

struct NativePlatform::Impl {
    // Cleared once statx turns out to be missing (old kernel or a filter); lstat is used then.
    std::atomic<bool> statxAvailable{true};

    // The domain written for local accounts: the short host name in upper case, read once.
    const std::string& accountDomain();
    std::once_flag accountDomainOnce;
    std::string accountDomainText;

    // The mounts as last read from /proc/self/mountinfo; read again by logicalDrives.
    MountTable mounts;
};

namespace posix {
// A system error number in the platform's words.
SystemError systemError(int code);
// The same for errno.
SystemError lastSystemError();
// One status call for a name relative to a directory descriptor (AT_FDCWD: the current
// directory), links not followed; fills everything but the full path.
bool entryStatus(int directory, const char* name, std::string_view lastName, std::atomic<bool>& statxAvailable,
                 FileInfo& out);
// $QUILNA_RUNTIME_DIR/<sub> (default runtime directory /tmp/quilna), created when missing with
// mode 1777 like the runtime directory itself; empty when it cannot be made.
std::string runtimeSubdirectory(Platform& backend, const std::string& sub);
// The host name as the system reports it; empty when it cannot be read.
std::string hostName();
// The password-database name of a user id; false for an id without an entry.
bool accountName(uint32_t userId, std::string& out);
}  // namespace posix

}  // namespace Quilna
