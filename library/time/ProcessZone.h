#pragma once
// The process-wide time zone: parsed once from "QUILNA_TZ" when that is set and non-empty,
// otherwise derived from the C library's local-time conversion and derived again once the
// hour in which it was derived has passed, so that rule changes are picked up within an hour.

#include "time/TimeZoneInfo.h"

namespace Quilna {

class ProcessZone {
public:
    // A copy of the zone, initialised or re-derived first when due.
    static TimeZoneInfo current();
    // Forgets the zone; the next use reads the environment again.
    static void reset();
};

}  // namespace Quilna
