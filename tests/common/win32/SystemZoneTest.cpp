// The process zone derived from the C runtime's zone, set through "TZ" in the runtime's own
// form: a name, the hours west of UTC and, for daylight saving, a second name.
#include <gtest/gtest.h>

#include "common/TimeTestSupport.h"
#include "common/DateTime.h"

namespace Quilna {
namespace {

using TimeTest::expectDerivedZoneMatchesSystem;
using TimeTest::SystemZoneScope;
using TimeTest::utc;
using TimeTest::ZoneScope;

TEST(SystemZone, DerivedFromTheRuntimeZone) {
    expectDerivedZoneMatchesSystem("UTC0", "+00:00");
    expectDerivedZoneMatchesSystem("IST-5:30", "+05:30");
    expectDerivedZoneMatchesSystem("XST-10", "+10:00");
    expectDerivedZoneMatchesSystem("EST5EDT", "");
}

TEST(SystemZone, DerivedZoneIsRenewedOnceTheHourHasPassed) {
    SystemZoneScope east("XST-10");
    ZoneScope zone(std::nullopt);
    const int64_t hourStart = utc(2013, 5, 1, 12);
    zone.fake.clock = hourStart + 100;
    EXPECT_EQ(DateTime::processZone().standardOffset, 36000);
    SystemZoneScope india("IST-5:30");
    zone.fake.clock = hourStart + 3599;
    EXPECT_EQ(DateTime::processZone().standardOffset, 36000);  // cached within the hour
    zone.fake.clock = hourStart + 3600;
    EXPECT_EQ(DateTime::processZone().standardOffset, 19800);
}

}  // namespace
}  // namespace Quilna
