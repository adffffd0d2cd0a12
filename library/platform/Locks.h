#pragma once
// Locks: named cross-process locks and recursive in-process locks, and the runtime directory
// that holds the named locks and the mailslots.

#include <memory>
#include <string>

#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"

namespace Quilna {

class Locks {
public:
    virtual ~Locks() = default;

    // Null when the name cannot be had now: another holder (any process, or another object of
    // this one) has it; or, with refusal set, it cannot be had at all (its lock file is refused
    // or cannot be made, a bad name), so that waiting for it would be in vain.
    virtual std::unique_ptr<NamedLock> tryNamedLock(const std::string& name, std::string& refusal) = 0;
    std::unique_ptr<NamedLock> tryNamedLock(const std::string& name) {
        std::string refusal;
        return tryNamedLock(name, refusal);
    }
    // Who holds a named lock, for a message ("process 4711 of user root"); empty where the system
    // does not tell.
    virtual std::string namedLockHolders(const std::string& name) {
        (void)name;
        return std::string();
    }
    virtual std::unique_ptr<RecursiveLock> makeRecursiveLock() = 0;
    // The directory of the named locks and mailslots (RuntimeDirectory.cpp), made when missing;
    // false with the reason when it is refused (another user controls it). Backends without
    // one give true and "".
    virtual bool runtimeDirectory(std::string& path, std::string& refusal) {
        path.clear();
        refusal.clear();
        return true;
    }
};

}  // namespace Quilna
