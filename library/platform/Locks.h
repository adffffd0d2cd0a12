#pragma once
// Locks: named cross-process locks and recursive in-process locks.

#include <memory>
#include <string>

#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"

namespace Quilna {

class Locks {
public:
    virtual ~Locks() = default;

    // Null when another holder (any process, or another object of this one) has the name.
    virtual std::unique_ptr<NamedLock> tryNamedLock(const std::string& name) = 0;
    virtual std::unique_ptr<RecursiveLock> makeRecursiveLock() = 0;
};

}  // namespace Quilna
