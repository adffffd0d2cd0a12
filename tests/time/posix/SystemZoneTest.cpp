// The process zone derived from the C library's zone, named through "TZ".
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "support/EnvironmentScope.h"
#include "time/TimeTestSupport.h"

namespace Quilna {
namespace {

using TimeTest::utc;
using TimeTest::ZoneScope;

// Sets the C library's zone "TZ" for the scope; the zone is read again once "TZ" is restored.
struct SystemZoneScope {
    explicit SystemZoneScope(const std::string& value) { tz.emplace("TZ", value), platform().initTimeZone(); }
    ~SystemZoneScope() { tz.reset(), platform().initTimeZone(); }
    std::optional<TestSupport::EnvironmentScope> tz;
};

TEST(SystemZone, DerivedZoneShowsEveryHalfHourOfAYearAsTheCLibraryDoes) {
    const std::vector<std::pair<const char*, std::string>> zones{
        {"Europe/Oslo", TimeTest::centralEurope},
        {"Australia/Sydney", TimeTest::eastAustralia},
        {"America/New_York", "-05:00 (+01:00 3M2W6D2H-11M1W6D2H)"},
        {"Asia/Kolkata", "+05:30"},
        {"America/St_Johns", "-03:30 (+01:00 3M2W6D2H-11M1W6D2H)"},
        {"UTC", "+00:00"},
        {"AAA-1BBB,J1/1,M9.1.0/3", "+01:00 (+01:00 1M1W1D1H-9M1W6D3H)"}};
    for (const auto& [tz, description] : zones) {
        SCOPED_TRACE(tz);
        SystemZoneScope system(tz);
        ZoneScope zone(std::string(""));  // empty counts as unset
        zone.fake.clock = utc(2013, 5, 1, 12);
        EXPECT_EQ(DateTime::formatZone(DateTime::processZone()), description);
        for (int64_t t = utc(2013, 1, 1); t < utc(2014, 1, 1); t += 1800) {
            CalendarTime local;
            ASSERT_TRUE(platform().toLocalCalendar(t, local));
            char expected[32];
            std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d", local.year, local.month,
                          local.day, local.hour, local.minute, local.second);
            ASSERT_EQ(DateTime(static_cast<int32_t>(t)).formatLocal(false, false), expected);
        }
    }
}

TEST(SystemZone, DerivedZoneIsRenewedOnceTheHourHasPassed) {
    SystemZoneScope oslo("Europe/Oslo");
    ZoneScope zone(std::nullopt);
    const int64_t hourStart = utc(2013, 5, 1, 12);
    zone.fake.clock = hourStart + 100;
    EXPECT_EQ(DateTime::processZone().standardOffset, 3600);
    SystemZoneScope india("Asia/Kolkata");
    zone.fake.clock = hourStart + 3599;
    EXPECT_EQ(DateTime::processZone().standardOffset, 3600);  // cached within the hour
    zone.fake.clock = hourStart + 3600;
    EXPECT_EQ(DateTime::processZone().standardOffset, 19800);
}

}  // namespace
}  // namespace Quilna
