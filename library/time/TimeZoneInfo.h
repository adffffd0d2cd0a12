#pragma once
#include <cstdint>

namespace Quilna {

// One daylight-saving transition: the week-th weekday of month at hour (local wall clock).
struct TimeZoneRule {
    int32_t month = 0;    // 1-12
    int32_t week = 0;     // 1-5, 5 standing for the last
    int32_t weekday = 0;  // 0 = Monday ... 6 = Sunday
    int32_t hour = 0;     // 0-23
};

// A zone: standard offset east of UTC and optional daylight saving.
struct TimeZoneInfo {
    bool set = false;            // false: no zone attached, the process zone applies
    int32_t standardOffset = 0;  // seconds added to UTC for local standard time
    int32_t dstShift = 0;        // seconds added on top while daylight saving is in effect
    TimeZoneRule dstStart;
    TimeZoneRule dstEnd;

    bool hasDst() const { return dstShift != 0 && dstStart.month != 0 && dstEnd.month != 0; }
};

}  // namespace Quilna
