// The process zone derived from the C library's zone, named through "TZ" as the zone database
// names it.
#include <gtest/gtest.h>

#include "common/TimeTestSupport.h"
#include "common/DateTime.h"

namespace Quilna {
namespace {

using TimeTest::expectDerivedZoneMatchesSystem;
using TimeTest::SystemZoneScope;
using TimeTest::utc;
using TimeTest::ZoneScope;

TEST(SystemZone, DerivedFromTheSystemZone) {
    expectDerivedZoneMatchesSystem("Europe/Oslo", TimeTest::centralEurope);
    expectDerivedZoneMatchesSystem("Australia/Sydney", TimeTest::eastAustralia);
    expectDerivedZoneMatchesSystem("America/New_York", "-05:00 (+01:00 3M2W6D2H-11M1W6D2H)");
    expectDerivedZoneMatchesSystem("Asia/Kolkata", "+05:30");
    expectDerivedZoneMatchesSystem("America/St_Johns", "");
    expectDerivedZoneMatchesSystem("UTC", "+00:00");
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
