#pragma once
// Locks: named cross-process locks and recursive in-process locks, and the runtime directory
// that holds the named locks and the mailslots.

#include <memory>
#include <string>

#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/SystemError.h"

namespace Quilna {

class Locks {
public:
    virtual ~Locks() = default;

    // Null when the name cannot be had now: another holder (any process, or another object of
    // this one) has it, and error stays None; or it cannot be had at all (its lock file is
    // refused or cannot be made, a bad name), so that waiting for it would be in vain: error
    // says why, its detail in words.
    virtual std::unique_ptr<NamedLock> tryNamedLock(const std::string& name, SystemError& error) = 0;
    std::unique_ptr<NamedLock> tryNamedLock(const std::string& name) {
        SystemError error;
        return tryNamedLock(name, error);
    }
    // Who holds a named lock, for a message ("process 4711 of user root"); empty where the system
    // does not tell.
    virtual std::string namedLockHolders(const std::string& name) {
        (void)name;
        return std::string();
    }
    virtual std::unique_ptr<RecursiveLock> makeRecursiveLock() = 0;
    // The directory of the named locks and mailslots (RuntimeDirectory.cpp), made when missing;
    // false when it is refused (another user controls it), the error's detail saying why.
    // Backends without one give true and "".
    virtual bool runtimeDirectory(std::string& path, SystemError&) {
        path.clear();
        return true;
    }
};

}  // namespace Quilna
