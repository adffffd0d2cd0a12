#pragma once
#include <cstdint>

#include "time/TimeZoneInfo.h"

namespace Quilna {

// A moment broken down into calendar fields, in UTC until converted to local time.
struct DateFields {
    int32_t year = 1970;
    int32_t month = 1;    // 1-12
    int32_t day = 1;      // 1-31
    int32_t weekday = 0;  // 0 = Monday ... 6 = Sunday
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    TimeZoneInfo zone;  // zone.set marks fields that are already local
};

}  // namespace Quilna
