#pragma once
#include <cstdint>

namespace Quilna {

// The parts of a duration text, not normalised (hours may exceed 23).
struct TimeSpanParts {
    int32_t days = 0;
    int32_t hours = 0;
    int32_t minutes = 0;
    int32_t seconds = 0;
    bool negative = false;
};

}  // namespace Quilna
