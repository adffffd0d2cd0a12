#include <gtest/gtest.h>

#include "TimeTestSupport.h"
#include "common/DateTime.h"
#include "common/ZoneRules.h"

namespace Quilna {
namespace {

using TimeTest::utc;
using TimeTest::ZoneScope;

bool dstAt(const TimeZoneInfo& zone, int32_t moment) { return DateTime::isDst(zone, DateTime(moment)); }

TEST(TimeZone, QuilnaTzGivesTheProcessZone) {
    {
        ZoneScope zone(TimeTest::centralEurope);
        EXPECT_EQ(DateTime::formatZone(DateTime::processZone()), TimeTest::centralEurope);
        EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T14:00:00");
        EXPECT_EQ(DateTime(1358251200).formatLocal(false, false), "2013-01-15T13:00:00");
        // Fixed for the process: a later change of the variable is not seen until a reset.
        zone.fake.environment["QUILNA_TZ"] = "+05:30";
        EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T14:00:00");
        DateTime::resetProcessZone();
        EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T17:30:00");
    }
    ZoneScope zone(std::string("+05:30"));
    const TimeZoneInfo india = DateTime::processZone();
    EXPECT_TRUE(india.set);
    EXPECT_FALSE(india.hasDst());
    EXPECT_EQ(india.standardOffset, 19800);
    EXPECT_EQ(DateTime::formatZone(india), "+05:30");
    EXPECT_EQ(DateTime(1358251200).formatLocal(false, false), "2013-01-15T17:30:00");
    EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T17:30:00");
}

TEST(TimeZone, ParsesAndFormatsDescriptions) {
    for (const std::string& text : {TimeTest::centralEurope, TimeTest::eastAustralia,
                                   std::string("-03:30 (+00:30 3M2W6D2H-11M1W6D2H)"), std::string("+05:30"),
                                   std::string("-10:00")}) {
        EXPECT_EQ(DateTime::formatZone(DateTime::parseZone(text)), text);
    }
    const TimeZoneInfo europe = DateTime::parseZone(TimeTest::centralEurope);
    EXPECT_EQ(europe.dstShift, 3600);
    EXPECT_EQ(europe.dstStart.month, 3);
    EXPECT_EQ(europe.dstStart.week, 5);
    EXPECT_EQ(europe.dstStart.weekday, 6);
    EXPECT_EQ(europe.dstEnd.hour, 3);
    EXPECT_EQ(DateTime::parseZone("+0530").standardOffset, 19800);
    EXPECT_EQ(DateTime::parseZone("-03:30").standardOffset, -12600);

    const TimeZoneInfo garbage = DateTime::parseZone("Europe/Oslo");
    EXPECT_TRUE(garbage.set);
    EXPECT_EQ(garbage.standardOffset, 0);
    EXPECT_FALSE(garbage.hasDst());
    EXPECT_EQ(DateTime::parseZone("+01:00:00").standardOffset, 0);  // neither +??:?? nor +????
    EXPECT_EQ(DateTime::parseZone("UTC+1").standardOffset, 0);
}

TEST(TimeZone, ARuleOutOfRangeDropsDaylightSaving) {
    for (const char* text : {"+01:00 (+01:00 3M6W6D2H-10M5W6D3H)", "+01:00 (+01:00 3M5W7D2H-10M5W6D3H)",
                             "+01:00 (+01:00 3M5W6D2H-13M5W6D3H)", "+01:00 (+01:00 3M5W6D2H-10M5W6D24H)",
                             "+01:00 (+01:00 3M5W6D2H)", "+01:00 (+01:00 3M0W6D2H-10M5W6D3H)",
                             "+01:00 (+01:00 3M5W-1D2H-10M5W6D3H)"}) {
        const TimeZoneInfo zone = DateTime::parseZone(text);
        EXPECT_EQ(zone.standardOffset, 3600) << text;
        EXPECT_EQ(zone.dstShift, 0) << text;
        EXPECT_EQ(zone.dstStart.month, 0) << text;
        EXPECT_FALSE(dstAt(zone, utc(2013, 7, 1))) << text;
    }
}

TEST(TimeZone, DaylightSavingFollowsTheRules) {
    const TimeZoneInfo europe = DateTime::parseZone(TimeTest::centralEurope);
    EXPECT_FALSE(dstAt(europe, utc(2013, 3, 31, 0, 59, 59)));
    EXPECT_TRUE(dstAt(europe, utc(2013, 3, 31, 1)));
    EXPECT_TRUE(dstAt(europe, utc(2013, 10, 27, 0, 59, 59)));
    EXPECT_FALSE(dstAt(europe, utc(2013, 10, 27, 1)));

    const TimeZoneInfo south = DateTime::parseZone(TimeTest::eastAustralia);
    EXPECT_TRUE(dstAt(south, utc(2013, 1, 15)));
    EXPECT_TRUE(dstAt(south, utc(2013, 4, 6, 15, 59, 59)));
    EXPECT_FALSE(dstAt(south, utc(2013, 4, 6, 16)));
    EXPECT_FALSE(dstAt(south, utc(2013, 7, 1)));
    EXPECT_FALSE(dstAt(south, utc(2013, 10, 5, 15, 59, 59)));
    EXPECT_TRUE(dstAt(south, utc(2013, 10, 5, 16)));
    EXPECT_TRUE(dstAt(south, utc(2013, 12, 31, 23)));

    // Second Sunday of March to first Sunday of November.
    const TimeZoneInfo nth = DateTime::parseZone("+01:00 (+01:00 3M2W6D2H-11M1W6D2H)");
    EXPECT_FALSE(dstAt(nth, utc(2013, 3, 10, 0, 59, 59)));
    EXPECT_TRUE(dstAt(nth, utc(2013, 3, 10, 1)));
    EXPECT_TRUE(dstAt(nth, utc(2013, 11, 2, 23, 59, 59)));
    EXPECT_FALSE(dstAt(nth, utc(2013, 11, 3, 0)));

    EXPECT_FALSE(dstAt(DateTime::parseZone("+05:30"), utc(2013, 7, 1)));
    EXPECT_EQ(DateTime::dstState(DateTime::parseZone("+05:30"), DateTime(utc(2013, 7, 1))), 2);
}

TEST(TimeZone, WeekFiveIsTheLastSuchWeekdayOfTheMonth) {
    // March 2015 begins on a Sunday: its last Saturday is the 28th (a count of five Saturdays
    // would run into April).
    const TimeZoneInfo saturday = DateTime::parseZone("+02:00 (+01:00 3M5W5D2H-10M5W5D2H)");
    EXPECT_FALSE(dstAt(saturday, utc(2015, 3, 27, 12)));
    EXPECT_TRUE(dstAt(saturday, utc(2015, 3, 28, 12)));
    // March 2010 begins on a Monday: its last Monday is the 29th, not the 22nd.
    const TimeZoneInfo monday = DateTime::parseZone("+02:00 (+01:00 3M5W0D2H-10M5W0D2H)");
    EXPECT_FALSE(dstAt(monday, utc(2010, 3, 25, 12)));
    EXPECT_TRUE(dstAt(monday, utc(2010, 3, 29, 12)));
    // The last Sunday of October 2013 is the 27th (four Sundays counted from a Tuesday the 1st).
    const TimeZoneInfo europe = DateTime::parseZone(TimeTest::centralEurope);
    EXPECT_EQ(ZoneRules::transitionMoment(europe, europe.dstEnd, 2013, true), utc(2013, 10, 27, 1));
}

TEST(TimeZone, WallClockTimesAroundTransitions) {
    const TimeZoneInfo europe = DateTime::parseZone(TimeTest::centralEurope);
    DateTime moment(0);
    auto local = [&](const TimeZoneInfo& zone, int month, int day, int hour, int minute) {
        EXPECT_TRUE(moment.fromFields(2013, month, day, hour, minute, 0, zone, true));
        return moment.value();
    };
    EXPECT_EQ(local(europe, 3, 31, 1, 30), utc(2013, 3, 31, 0, 30));   // last standard hour
    EXPECT_EQ(local(europe, 3, 31, 3, 30), utc(2013, 3, 31, 1, 30));   // first saving hour
    EXPECT_EQ(local(europe, 10, 27, 2, 30), utc(2013, 10, 27, 0, 30)); // repeated hour: first pass
    EXPECT_EQ(local(europe, 10, 27, 3, 0), utc(2013, 10, 27, 2));      // standard again
    EXPECT_EQ(local(europe, 1, 15, 12, 0), utc(2013, 1, 15, 11));
    EXPECT_EQ(moment.zone().standardOffset, 3600);  // the zone is attached

    const TimeZoneInfo south = DateTime::parseZone(TimeTest::eastAustralia);
    EXPECT_EQ(local(south, 4, 7, 2, 30), utc(2013, 4, 6, 15, 30));  // repeated hour: first pass
    EXPECT_EQ(local(south, 4, 7, 3, 0), utc(2013, 4, 6, 17));       // first standard hour
    EXPECT_EQ(local(south, 10, 6, 1, 30), utc(2013, 10, 5, 15, 30));
    EXPECT_EQ(local(south, 10, 6, 3, 30), utc(2013, 10, 5, 16, 30));
    EXPECT_EQ(local(south, 7, 1, 12, 0), utc(2013, 7, 1, 2));
    EXPECT_EQ(local(south, 1, 15, 12, 0), utc(2013, 1, 15, 1));

    // Wall clock taken at standard offset, as fromFields asks.
    EXPECT_EQ(DateTime::dstState(europe, DateTime(utc(2013, 7, 1))), 1);
    EXPECT_EQ(DateTime::dstState(europe, DateTime(utc(2013, 1, 15))), 2);
    EXPECT_EQ(DateTime::dstState(europe, DateTime(utc(2013, 3, 31, 0, 30))), 3);
    EXPECT_EQ(DateTime::dstState(south, DateTime(utc(2013, 4, 6, 16, 30))), 4);
}

TEST(TimeZone, AlignDownWorksInLocalTime) {
    ZoneScope zone(TimeTest::centralEurope);
    const TimeSpan week(604800), day(86400), hour(3600);
    EXPECT_EQ(DateTime("2013-07-03T10:17:00").alignDown(week).formatLocal(false, false), "2013-07-01T00:00:00");
    EXPECT_EQ(DateTime("2013-07-01T00:00:00").alignDown(week).formatLocal(false, false), "2013-07-01T00:00:00");
    EXPECT_EQ(DateTime("2013-07-07T23:59:59").alignDown(week).formatLocal(false, false), "2013-07-01T00:00:00");
    EXPECT_EQ(DateTime("2013-03-31T10:00:00").alignDown(day).formatLocal(false, false), "2013-03-31T00:00:00");
    EXPECT_EQ(DateTime("2013-10-27T20:00:00").alignDown(day).formatLocal(false, false), "2013-10-27T00:00:00");
    EXPECT_EQ(DateTime("2013-07-01T10:17:33").alignDown(TimeSpan(900)).formatLocal(false, false),
              "2013-07-01T10:15:00");
    EXPECT_EQ(DateTime("2013-01-01T10:17:33").alignDown(hour).formatLocal(false, false), "2013-01-01T10:00:00");
    for (int32_t trivial : {0, 1, -3600}) {
        EXPECT_EQ(DateTime(1372680017).alignDown(TimeSpan(trivial)).value(), 1372680017);
    }
    // An explicit zone replaces the process zone.
    TimeZoneInfo utcZone;
    utcZone.set = true;
    EXPECT_EQ(DateTime(utc(2013, 7, 1, 23, 30)).alignDown(day, utcZone).value(), utc(2013, 7, 1));

    // Saving that starts on a Tuesday lies between a Wednesday and its Monday.
    const TimeZoneInfo tuesday = DateTime::parseZone("+01:00 (+01:00 3M1W1D2H-10M5W6D3H)");
    EXPECT_EQ(DateTime(utc(2013, 3, 6, 9)).alignDown(week, tuesday).value(), utc(2013, 3, 3, 23));
}

TEST(TimeZone, AlignDownToHoursInAHalfHourZone) {
    ZoneScope zone(std::string("+05:30"));
    EXPECT_EQ(DateTime("2013-07-01T10:17:00").alignDown(TimeSpan(3600)).formatLocal(false, false),
              "2013-07-01T10:00:00");
    EXPECT_EQ(DateTime(utc(2013, 7, 1, 4, 45)).alignDown(TimeSpan(3600)).value(), utc(2013, 7, 1, 4, 30));
}

}  // namespace
}  // namespace Quilna
