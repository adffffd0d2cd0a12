#pragma once

namespace Quilna {

// A blocking in-process lock that the owning thread may enter again.
class RecursiveLock {
public:
    virtual ~RecursiveLock() = default;
    virtual void enter() = 0;
    virtual void leave() = 0;
};

}  // namespace Quilna
