#pragma once

namespace Quilna {

// A cross-process lock held by a name for as long as the object lives. It vanishes with the
// process that holds it.
class NamedLock {
public:
    virtual ~NamedLock() = default;
    // Gives the lock up before destruction; false when the system refused.
    virtual bool release() = 0;
};

}  // namespace Quilna
