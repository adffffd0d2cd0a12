#pragma once
// One temperature of the temperatures file: a name and the range of ages, in whole days,
// that it covers.

#include <cstdint>
#include <string>

namespace Quilna {

struct TemperatureBand {
    std::string name;
    int32_t minDays = 0;
    int32_t maxDays = -1;  // -1: no upper limit
    int32_t line = 0;      // in the temperatures file, for --explain

    bool covers(int32_t age) const { return minDays <= age && (maxDays == -1 || age <= maxDays); }
};

}  // namespace Quilna
