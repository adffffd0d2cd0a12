#include <gtest/gtest.h>

#include "TimeTestSupport.h"
#include "common/Calendar.h"
#include "common/DateTime.h"

namespace Quilna {
namespace {

using TimeTest::utc;
using TimeTest::ZoneScope;

TEST(Calendar, ConvertsBetweenFieldsAndSeconds) {
    EXPECT_EQ(Calendar::secondsFromFields(2013, 7, 1, 12, 0, 0), 1372680000);
    EXPECT_EQ(Calendar::secondsFromFields(2038, 1, 19, 3, 14, 7), 2147483647);
    const DateFields leapDay = Calendar::fieldsFromSeconds(951782400);
    EXPECT_EQ(leapDay.year, 2000);
    EXPECT_EQ(leapDay.month, 2);
    EXPECT_EQ(leapDay.day, 29);
    EXPECT_EQ(leapDay.weekday, 1);  // a Tuesday
    EXPECT_EQ(Calendar::fieldsFromSeconds(0).weekday, 3);  // 1970-01-01 was a Thursday
    EXPECT_EQ(Calendar::fieldsFromSeconds(-1).year, 1969);
    EXPECT_EQ(Calendar::fieldsFromSeconds(-1).hour, 23);

    // Every day of the range follows the one before it.
    DateFields previous = Calendar::fieldsFromSeconds(0);
    for (int64_t day = 1; day <= 24855; ++day) {
        const DateFields fields = Calendar::fieldsFromSeconds(day * 86400 + 3661);
        ASSERT_EQ(fields.weekday, (previous.weekday + 1) % 7);
        const bool newMonth = fields.day == 1;
        ASSERT_EQ(fields.day, newMonth ? 1 : previous.day + 1) << day;
        if (newMonth) {
            ASSERT_EQ(previous.day, Calendar::daysInMonth(previous.year, previous.month));
        }
        ASSERT_EQ(Calendar::secondsFromFields(fields.year, fields.month, fields.day, fields.hour, fields.minute,
                                              fields.second),
                  day * 86400 + 3661);
        previous = fields;
    }
}

TEST(DateTime, FormatsUtcAndLocalTime) {
    ZoneScope zone(TimeTest::centralEurope);
    const DateTime summer(1372680000);
    EXPECT_EQ(summer.formatUtc(false, false), "2013-07-01T12:00:00Z");
    EXPECT_EQ(summer.formatUtc(true, false), "20130701T120000Z");
    EXPECT_EQ(summer.formatLocal(false, false), "2013-07-01T14:00:00");
    EXPECT_EQ(summer.formatLocal(true, false), "20130701T140000");
    EXPECT_EQ(summer.formatLocal(false, true), "2013-07-01T14:00:00+02:00");
    EXPECT_EQ(summer.formatLocal(true, true), "20130701T140000+0200");
    EXPECT_EQ(DateTime(1358251200).formatLocal(false, false), "2013-01-15T13:00:00");
    EXPECT_EQ(DateTime(0).formatUtc(true, false), "19700101T000000Z");
}

TEST(DateTime, ParsesExtendedCompactAndDateOnlyTexts) {
    ZoneScope zone(TimeTest::centralEurope);
    const int32_t noonLocal = utc(2013, 7, 1, 10);
    EXPECT_EQ(DateTime("2013-07-01T12:00:00").value(), noonLocal);
    EXPECT_EQ(DateTime("20130701T120000").value(), noonLocal);
    EXPECT_EQ(DateTime("2013-07-01 12:00:00").value(), noonLocal);
    // "Z" carries no meaning: local time, in both forms.
    EXPECT_EQ(DateTime("2013-07-01T12:00:00Z").value(), noonLocal);
    EXPECT_EQ(DateTime("20130701T120000Z").value(), noonLocal);
    EXPECT_EQ(DateTime("2013-07-01").value(), utc(2013, 6, 30, 22));  // midnight local
    EXPECT_EQ(DateTime("20130115").value(), utc(2013, 1, 14, 23));
    EXPECT_EQ(DateTime("2013-01-15T08:30").value(), utc(2013, 1, 15, 7, 30));
    EXPECT_EQ(DateTime("2013-01-15T083000").value(), utc(2013, 1, 15, 7, 30));
    EXPECT_FALSE(DateTime("2013-07-01T12:00:00").zone().set);

    EXPECT_EQ(DateTime("").value(), 0);
    EXPECT_FALSE(DateTime("").zone().set);
    EXPECT_EQ(DateTime("hello").value(), 0);  // 1970-01-01 00:00 local lies before the epoch
    EXPECT_EQ(DateTime("2013/07/01T12:00:00").value(), utc(1970, 1, 1, 11));  // the date stays at its default
}

TEST(DateTime, ZoneSuffixesNameTheMoment) {
    ZoneScope zone(TimeTest::centralEurope);
    const DateTime east("2013-07-01T12:00:00+05:00");
    EXPECT_EQ(east.value(), utc(2013, 7, 1, 7));
    EXPECT_TRUE(east.zone().set);
    EXPECT_EQ(east.formatLocal(false, false), "2013-07-01T12:00:00");  // shown in its own zone
    EXPECT_EQ(east.formatLocal(false, true), "2013-07-01T12:00:00+05:00");

    EXPECT_EQ(DateTime("20130115T120000-0300").value(), utc(2013, 1, 15, 15));
    EXPECT_EQ(DateTime("2013-01-15T12:00:00-0300").formatLocal(false, false), "2013-01-15T12:00:00");
    EXPECT_EQ(DateTime("2013-07-01T12:00:00+90").value(), utc(2013, 7, 1, 10, 30));  // minutes

    const DateTime described("2013-07-01T12:00:00+02:00 (+01:00 3M5W6D2H-10M5W6D3H)");
    EXPECT_EQ(described.value(), utc(2013, 7, 1, 9));  // +02:00 standard, plus an hour of saving
    EXPECT_EQ(described.zone().standardOffset, 7200);
    EXPECT_EQ(DateTime::formatZone(described.zone()), "+02:00 (+01:00 3M5W6D2H-10M5W6D3H)");
}

TEST(DateTime, MomentsStayWithinThirtyTwoBits) {
    ZoneScope zone(TimeTest::centralEurope);
    EXPECT_EQ(DateTime(-5).value(), 0);
    // Month lowered to January; the day is not larger than 19, so the cascade stops there.
    EXPECT_EQ(DateTime("2040-07-01T12:00:00").value(), utc(2038, 1, 1, 11));
    EXPECT_EQ(DateTime("2040-07-25T12:00:00").value(), utc(2038, 1, 19, 2));  // 19th, 03:xx
    EXPECT_EQ(DateTime("2040-01-25T00:00:00").value(), 0);  // not representable: stays at the epoch
    EXPECT_EQ(DateTime("1970-01-01T00:00:00").value(), 0);  // an hour before the epoch

    DateTime kept(100);
    EXPECT_FALSE(kept.fromFields(2038, 2, 1, 0, 0, 0, TimeZoneInfo{}, false));
    EXPECT_EQ(kept.value(), 100);
    EXPECT_TRUE(kept.fromFields(2013, 2, 30, 25, 61, -3, TimeZoneInfo{}, false));
    EXPECT_EQ(kept.value(), utc(2013, 2, 28, 23, 59, 0));
    EXPECT_TRUE(kept.fromFields(1960, 0, 0, 0, 0, 0, TimeZoneInfo{}, false));
    EXPECT_EQ(kept.value(), 0);

    const DateTime top(DateTime::largest);
    EXPECT_EQ((top + TimeSpan(10)).value(), DateTime::largest);
    EXPECT_EQ((DateTime(5) - TimeSpan(10)).value(), 0);
    EXPECT_EQ((DateTime(5) - TimeSpan(INT32_MIN)).value(), DateTime::largest);
    DateTime moved(5);
    moved += TimeSpan(INT32_MIN);
    EXPECT_EQ(moved.value(), 0);
    EXPECT_EQ((DateTime(0) - top).value(), -DateTime::largest);
    EXPECT_EQ((DateTime(100) + TimeSpan(50)).value(), 150);
    EXPECT_EQ((DateTime(150) - DateTime(100)).value(), 50);
    // Local time at the ends of the range is held at the range, never wrapped round.
    EXPECT_EQ(top.formatLocal(false, false), "2038-01-19T03:14:07");
}

TEST(DateTime, WestOfUtcTheTopOfTheRangeClamps) {
    ZoneScope zone(std::string("-05:00"));
    EXPECT_EQ(DateTime("2038-01-19T03:14:07").value(), DateTime::largest);
    EXPECT_EQ(DateTime("1970-01-01T00:00:00").value(), 5 * 3600);
    EXPECT_EQ(DateTime(0).formatLocal(false, false), "1970-01-01T00:00:00");
}

TEST(DateTime, BreakDownAndToLocalRoundTrip) {
    ZoneScope zone(TimeTest::centralEurope);
    const DateTime moment(1372680000);
    DateFields fields = moment.breakDown();
    EXPECT_EQ(fields.year, 2013);
    EXPECT_EQ(fields.month, 7);
    EXPECT_EQ(fields.day, 1);
    EXPECT_EQ(fields.weekday, 0);
    EXPECT_EQ(fields.hour, 12);
    EXPECT_FALSE(fields.zone.set);
    EXPECT_EQ(fields.zone.standardOffset, 3600);  // a copy of the process zone

    DateTime::toLocal(fields);
    EXPECT_EQ(fields.hour, 14);
    EXPECT_TRUE(fields.zone.set);
    DateTime::toLocal(fields);  // already local: unchanged
    EXPECT_EQ(fields.hour, 14);
    EXPECT_EQ(DateTime(fields).value(), moment.value());

    DateFields utcFields = moment.breakDown();
    utcFields.zone = TimeZoneInfo{};
    EXPECT_EQ(DateTime(utcFields).value(), moment.value());  // fields not marked local are UTC
}

// Every local text parses back to its moment, except in the hour that the end of daylight
// saving repeats: its second pass reads as the first.
void expectLocalTextsRoundTrip(const std::string& zoneText, int32_t repeatedHourStart) {
    ZoneScope zone(zoneText);
    for (int64_t t = utc(2013, 1, 1); t < utc(2014, 1, 1); t += 1200) {
        const DateTime moment(static_cast<int32_t>(t));
        const bool repeated = t >= repeatedHourStart && t < repeatedHourStart + 3600;
        const int32_t expected = static_cast<int32_t>(repeated ? t - 3600 : t);
        ASSERT_EQ(DateTime(moment.formatLocal(false, false)).value(), expected) << moment.formatUtc(false, false);
        ASSERT_EQ(DateTime(moment.formatLocal(true, false)).value(), expected) << moment.formatUtc(false, false);
    }
}

TEST(DateTime, LocalTextsRoundTripNorthAndSouth) {
    expectLocalTextsRoundTrip(TimeTest::centralEurope, utc(2013, 10, 27, 1));
    expectLocalTextsRoundTrip(TimeTest::eastAustralia, utc(2013, 4, 6, 16));
}

TEST(DateTime, ReadsTheClock) {
    ZoneScope zone(TimeTest::centralEurope);
    zone.fake.clock = 1372680000;
    EXPECT_EQ(DateTime().value(), 1372680000);
    zone.fake.clock = int64_t{5000000000};
    EXPECT_EQ(DateTime().value(), DateTime::largest);
    zone.fake.clock = -7;
    DateTime moment(100);
    moment.setNow();
    EXPECT_EQ(moment.value(), 0);
}

TEST(DateTime, WaitUntilLetsTheSpanPass) {
    const int64_t start = platform().now();
    DateTime::waitUntil(TimeSpan(-5));
    DateTime::waitUntil(TimeSpan(0));
    EXPECT_GT(platform().now(), start);
}

}  // namespace
}  // namespace Quilna
