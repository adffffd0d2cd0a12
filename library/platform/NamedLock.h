#pragma once

#include "platform/SystemError.h"

namespace Quilna {

// A cross-process lock held by a name for as long as the object lives. It vanishes with the
// process that holds it.
class NamedLock {
public:
    virtual ~NamedLock() = default;
    // Gives the lock up before destruction; false when the system refused, error saying why.
    virtual bool release(SystemError& error) = 0;
};

}  // namespace Quilna
