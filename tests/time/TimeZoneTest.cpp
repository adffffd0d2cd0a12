#include <gtest/gtest.h>

#include "TimeTestSupport.h"
#include "time/DateTime.h"

namespace Quilna {
namespace {

using TimeTest::utc;
using TimeTest::ZoneScope;

TEST(TimeZone, QuilnaTzGivesTheProcessZoneFixedUntilAReset) {
    ZoneScope zone(TimeTest::centralEurope);
    EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T14:00:00");
    zone.fake.environment["QUILNA_TZ"] = "+05:30";
    EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T14:00:00");
    DateTime::resetProcessZone();
    EXPECT_EQ(DateTime(1372680000).formatLocal(false, false), "2013-07-01T17:30:00");
}

TEST(TimeZone, DescriptionsReadBackAndBadRulesDropDaylightSaving) {
    for (const std::string& text : {TimeTest::centralEurope, TimeTest::eastAustralia,
                                    std::string("-03:30 (+00:30 3M2W6D2H-11M1W6D2H)"), std::string("+05:30")})
        EXPECT_EQ(DateTime::formatZone(DateTime::parseZone(text)), text);
    const std::vector<std::pair<const char*, int32_t>> offsets{
        {"+0530", 19800}, {"-03:30", -12600}, {"Europe/Oslo", 0}, {"+01:00:00", 0}, {"UTC+1", 0}};
    for (const auto& [text, offset] : offsets) {
        const TimeZoneInfo zone = DateTime::parseZone(text);
        EXPECT_TRUE(zone.set) << text;
        EXPECT_EQ(zone.standardOffset, offset) << text;
    }
    for (const char* text : {"+01:00 (+01:00 3M6W6D2H-10M5W6D3H)", "+01:00 (+01:00 3M5W7D2H-10M5W6D3H)",
                             "+01:00 (+01:00 3M5W6D2H-13M5W6D3H)", "+01:00 (+01:00 3M5W6D2H-10M5W6D24H)",
                             "+01:00 (+01:00 3M0W6D2H-10M5W6D3H)", "+01:00 (+01:00 3M5W-1D2H-10M5W6D3H)"}) {
        const TimeZoneInfo zone = DateTime::parseZone(text);
        EXPECT_EQ(zone.standardOffset, 3600) << text;
        EXPECT_FALSE(zone.hasDst()) << text;
    }
}

TEST(TimeZone, DaylightSavingStartsAndEndsByTheRules) {
    const std::string nth = "+01:00 (+01:00 3M2W6D2H-11M1W6D2H)";  // second Sunday of March to first of November
    // Week five is the last such weekday: March 2015 begins on a Sunday, March 2010 on a Monday.
    const std::string lastSaturday = "+02:00 (+01:00 3M5W5D2H-10M5W5D2H)";
    const std::string lastMonday = "+02:00 (+01:00 3M5W0D2H-10M5W0D2H)";
    const std::vector<std::tuple<std::string, int32_t, bool>> cases{
        {TimeTest::centralEurope, utc(2013, 3, 31, 0, 59, 59), false},
        {TimeTest::centralEurope, utc(2013, 3, 31, 1), true},
        {TimeTest::centralEurope, utc(2013, 10, 27, 0, 59, 59), true},
        {TimeTest::centralEurope, utc(2013, 10, 27, 1), false},
        {TimeTest::eastAustralia, utc(2013, 4, 6, 15, 59, 59), true},
        {TimeTest::eastAustralia, utc(2013, 4, 6, 16), false},
        {TimeTest::eastAustralia, utc(2013, 10, 5, 15, 59, 59), false},
        {TimeTest::eastAustralia, utc(2013, 10, 5, 16), true},
        {nth, utc(2013, 3, 10, 1), true},
        {nth, utc(2013, 11, 3, 0), false},
        {lastSaturday, utc(2015, 3, 27, 12), false},
        {lastSaturday, utc(2015, 3, 28, 12), true},
        {lastMonday, utc(2010, 3, 25, 12), false},
        {lastMonday, utc(2010, 3, 29, 12), true},
        {"+05:30", utc(2013, 7, 1), false},
    };
    for (const auto& [zone, moment, dst] : cases)
        EXPECT_EQ(DateTime::isDst(DateTime::parseZone(zone), DateTime(moment)), dst)
            << zone << " at " << DateTime(moment).formatUtc(false, false);
}

TEST(TimeZone, AlignDownWorksInLocalTime) {
    ZoneScope zone(TimeTest::centralEurope);
    const TimeSpan week(604800), day(86400), hour(3600);
    const std::vector<std::tuple<const char*, TimeSpan, const char*>> cases{
        {"2013-07-03T10:17:00", week, "2013-07-01T00:00:00"},
        {"2013-07-07T23:59:59", week, "2013-07-01T00:00:00"},
        {"2013-03-31T10:00:00", day, "2013-03-31T00:00:00"},
        {"2013-10-27T20:00:00", day, "2013-10-27T00:00:00"},
        {"2013-07-01T10:17:33", TimeSpan(900), "2013-07-01T10:15:00"},
        {"2013-01-01T10:17:33", hour, "2013-01-01T10:00:00"},
        {"2013-01-01T10:17:33", TimeSpan(-3600), "2013-01-01T10:17:33"},
    };
    for (const auto& [text, span, aligned] : cases)
        EXPECT_EQ(DateTime(text).alignDown(span).formatLocal(false, false), aligned) << text << " " << span.value();
    TimeZoneInfo utcZone;  // an explicit zone replaces the process zone
    utcZone.set = true;
    EXPECT_EQ(DateTime(utc(2013, 7, 1, 23, 30)).alignDown(day, utcZone).value(), utc(2013, 7, 1));
    // Saving that starts on a Tuesday lies between a Wednesday and its Monday.
    const TimeZoneInfo tuesday = DateTime::parseZone("+01:00 (+01:00 3M1W1D2H-10M5W6D3H)");
    EXPECT_EQ(DateTime(utc(2013, 3, 6, 9)).alignDown(week, tuesday).value(), utc(2013, 3, 3, 23));
    const TimeZoneInfo india = DateTime::parseZone("+05:30");
    EXPECT_EQ(DateTime(utc(2013, 7, 1, 4, 45)).alignDown(hour, india).value(), utc(2013, 7, 1, 4, 30));
}

}  // namespace
}  // namespace Quilna
