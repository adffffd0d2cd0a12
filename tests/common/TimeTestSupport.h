#pragma once
// Helpers for the time tests: a faked "QUILNA_TZ" and UTC moments from calendar fields.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "common/Calendar.h"
#include "common/DateTime.h"
#include "support/FakePlatform.h"

namespace Quilna::TimeTest {

// Installs a fake platform whose "QUILNA_TZ" holds the text (nullopt: unset) and forgets the
// process zone on entry and exit, so that every test sees a zone of its own.
class ZoneScope {
public:
    explicit ZoneScope(std::optional<std::string> quilnaTz) {
        fake.environment["QUILNA_TZ"] = std::move(quilnaTz);
        DateTime::resetProcessZone();
    }
    ~ZoneScope() { DateTime::resetProcessZone(); }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

    FakePlatform fake;
};

// Sets the C library's zone "TZ" for the scope and restores the previous value.
class SystemZoneScope {
public:
    explicit SystemZoneScope(const std::string& tz) {
        hadPrevious_ = platform().getEnv("TZ", previous_);
        platform().setEnv("TZ", tz);
        platform().initTimeZone();
    }
    ~SystemZoneScope() {
        if (hadPrevious_) {
            platform().setEnv("TZ", previous_);
        } else {
            platform().unsetEnv("TZ");
        }
        platform().initTimeZone();
    }
    SystemZoneScope(const SystemZoneScope&) = delete;
    SystemZoneScope& operator=(const SystemZoneScope&) = delete;

private:
    bool hadPrevious_ = false;
    std::string previous_;
};

inline int32_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return Calendar::clampMoment(Calendar::secondsFromFields(year, month, day, hour, minute, second));
}

// The zone derived from the C library shows every half hour of 2013 as the C library does
// under the zone "TZ" (an empty expected description is not compared).
inline void expectDerivedZoneMatchesSystem(const std::string& tz, const std::string& expectedDescription) {
    SystemZoneScope system(tz);
    ZoneScope zone(std::nullopt);
    zone.fake.clock = utc(2013, 5, 1, 12);
    const TimeZoneInfo derived = DateTime::processZone();
    if (!expectedDescription.empty()) {
        EXPECT_EQ(DateTime::formatZone(derived), expectedDescription) << tz;
    }
    for (int64_t t = utc(2013, 1, 1); t < utc(2014, 1, 1); t += 1800) {
        CalendarTime local;
        ASSERT_TRUE(platform().toLocalCalendar(t, local));
        char expected[32];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d", local.year, local.month, local.day,
                      local.hour, local.minute, local.second);
        ASSERT_EQ(DateTime(static_cast<int32_t>(t)).formatLocal(false, false), expected) << tz;
    }
}

// The zone of the western European rules: last Sunday of March 02:00 to last Sunday of October 03:00.
inline const std::string centralEurope = "+01:00 (+01:00 3M5W6D2H-10M5W6D3H)";
// A southern zone: daylight saving from the first Sunday of October to the first Sunday of April.
inline const std::string eastAustralia = "+10:00 (+01:00 10M1W6D2H-4M1W6D3H)";

}  // namespace Quilna::TimeTest
