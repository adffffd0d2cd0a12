#include "core/SmartPointer.h"

namespace Quilna::SmartCounter {

int32_t* make() { return new (std::nothrow) int32_t(1); }

// A copy raises the counter's magnitude, whatever its sign.
void join(int32_t* counter) {
    if (*counter > 0) {
        ++*counter;
    } else {
        --*counter;
    }
}

bool leave(int32_t* counter) {
    if (*counter > 0) {
        if (--*counter > 0) return false;
        delete counter;
        return true;
    }
    if (++*counter == 0) delete counter;
    return false;
}

bool destroyed(int32_t* counter) {
    const int32_t others = *counter - 1;
    if (others == 0) {
        delete counter;
        return true;
    }
    *counter = -others;
    return false;
}

}  // namespace Quilna::SmartCounter
