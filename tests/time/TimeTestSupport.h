#pragma once

#include <optional>
#include <string>

#include "support/FakePlatform.h"
#include "support/ProcessWideBackend.h"
#include "time/Calendar.h"
#include "time/DateTime.h"

namespace Quilna::TimeTest {

// A fake "QUILNA_TZ" (nullopt: unset); the process zone is forgotten on entry and exit.
struct ZoneScope {
    explicit ZoneScope(std::optional<std::string> quilnaTz) {
        fake.environment["QUILNA_TZ"] = std::move(quilnaTz);
        DateTime::resetProcessZone();
    }
    ~ZoneScope() { DateTime::resetProcessZone(); }

    FakePlatform fake;
    ProcessWideBackend installed{fake};  // the process zone reads QUILNA_TZ of the process's backend
};

inline int32_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return Calendar::clampMoment(Calendar::secondsFromFields(year, month, day, hour, minute, second));
}

// The zone of the western European rules: last Sunday of March 02:00 to last Sunday of October 03:00.
inline const std::string centralEurope = "+01:00 (+01:00 3M5W6D2H-10M5W6D3H)";
// A southern zone: daylight saving from the first Sunday of October to the first Sunday of April.
inline const std::string eastAustralia = "+10:00 (+01:00 10M1W6D2H-4M1W6D3H)";

}  // namespace Quilna::TimeTest
