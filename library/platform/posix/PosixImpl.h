#pragma once
// State of the POSIX backend, shared by its slice files.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sys/types.h>

#include "platform/NativePlatform.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/RegFileCache.h"

namespace Quilna {

struct NativePlatform::Impl {
    // Cleared once statx turns out to be missing (old kernel or a filter); lstat is used then.
    std::atomic<bool> statxAvailable{true};

    // The domain written for local accounts: the short host name in upper case, read once.
    const std::string& accountDomain();
    std::once_flag accountDomainOnce;
    std::string accountDomainText;

    // The users by primary group, from one pass over the password database for the members of
    // every local group; read again after the groups are enumerated again. Under the guard of
    // the enumerations.
    bool primaryGroupsRead = false;
    std::unordered_map<gid_t, std::vector<std::string>> usersByPrimaryGroup;

    // The system log is opened at the first message.
    std::once_flag systemLogOnce;

    // The mounts as last read from /proc/self/mountinfo; read again by logicalDrives.
    MountTable mounts;

    // The runtime directory (sub empty) or one of its subdirectories ("locks", "mailslot"),
    // made when missing and checked to be this user's alone; empty, with the reason in refusal
    // (when given), when it cannot be used.
    std::string runtimeDirectory(Platform& backend, const std::string& sub, std::string* refusal = nullptr);
    // Directories already checked, by runtime directory setting and subdirectory: nobody else
    // can change them afterwards.
    std::mutex runtimeGuard;
    std::map<std::string, std::string> checkedRuntime;
    // The .reg files of the registry keys, each parsed once until it changes.
    posix::RegFileCache regFiles;
};

namespace posix {
// A system error number in the platform's words.
SystemError systemError(int code);
// The same for errno.
SystemError lastSystemError();
// Records a failure (of errno, or of code) in error and gives the false a failed call returns.
bool fail(SystemError& error, int code);
bool fail(SystemError& error);
// One status call for a name relative to a directory descriptor (AT_FDCWD: the current
// directory), links not followed; fills everything but the full path.
bool entryStatus(int directory, const char* name, std::string_view lastName, std::atomic<bool>& statxAvailable,
                 FileInfo& out);
// The current directory as the C library tells it; empty when it cannot be had.
std::string systemCurrentDirectory();
// The host name as the system reports it; empty when it cannot be read.
std::string hostName();
// The Windows processor-architecture number of a machine name uname reports; 0xFFFF when unknown.
uint32_t architectureOf(const std::string& machine);
// The value of a shell-style assignment in os-release: quotes removed, backslash escapes resolved.
std::string osReleaseValue(const std::string& raw);
// The password-database name of a user id; false for an id without an entry.
bool accountName(uint32_t userId, std::string& out);
// Whether SIGINT or SIGTERM asked the program to stop (watchStopRequests): waits give up then.
bool stopRequested();
// Who holds a lock (flock or POSIX lock) on the open file: "process 123 of user ann", joined
// by ", " when several do; empty when nobody can be named.
std::string lockHolders(int fd);
// The drive type of a mount: by file system type, else by the block device behind it.
int driveTypeOf(const Mount& mount);
}  // namespace posix

}  // namespace Quilna
