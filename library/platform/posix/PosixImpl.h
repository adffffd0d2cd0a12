#pragma once
// State of the POSIX backend, shared by its slice files.

#include <atomic>
#include <mutex>
#include <string>

#include "platform/NativePlatform.h"
#include "platform/posix/MountTable.h"

namespace Quilna {

struct NativePlatform::Impl {
    // The current directory as set by the last setCurrentDirectory; full paths of relative
    // names are built from it without asking the system for every file. The cache itself is
    // process-wide, like the directory: every backend object (a test's fake included) sees
    // the change another one made.
    // The cached current directory, read from the system on first use; empty when unreadable.
    std::string knownCurrentDirectory();
    // The same appended to out, with room for so many bytes more.
    void appendCurrentDirectory(std::string& out, size_t room);
    // After a successful change to target (absolute or relative to the old current directory).
    void noteCurrentDirectoryChange(const std::string& target);
    // The caller knows the current directory's path: taken as the system's answer.
    void confirmCurrentDirectory(const std::string& path);

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
// $QUILNA_RUNTIME_DIR/<sub> (default runtime directory /tmp/quilna), created when missing with
// mode 1777 like the runtime directory itself; empty when it cannot be made.
std::string runtimeSubdirectory(Platform& backend, const std::string& sub);
// The host name as the system reports it; empty when it cannot be read.
std::string hostName();
// The password-database name of a user id; false for an id without an entry.
bool accountName(uint32_t userId, std::string& out);
}  // namespace posix

}  // namespace Quilna
