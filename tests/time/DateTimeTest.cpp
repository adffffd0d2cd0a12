#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "TimeTestSupport.h"
#include "support/EnvironmentScope.h"
#include "time/Calendar.h"
#include "time/DateTime.h"
#include "time/TimeException.h"
#include "time/TimeSpan.h"

namespace Quilna {
namespace {

using TimeTest::utc;
using TimeTest::ZoneScope;

TEST(Calendar, EveryDayOfTheRangeFollowsTheOneBefore) {
    EXPECT_EQ(Calendar::fieldsFromSeconds(0).weekday, 3);  // 1970-01-01 was a Thursday
    EXPECT_EQ(Calendar::fieldsFromSeconds(-1).year, 1969);
    DateFields previous = Calendar::fieldsFromSeconds(0);
    for (int64_t day = 1; day <= 24855; ++day) {
        const int64_t moment = day * 86400 + day * 7919 % 86400;  // every time of day comes round
        const DateFields fields = Calendar::fieldsFromSeconds(moment);
        ASSERT_EQ(fields.weekday, (previous.weekday + 1) % 7);
        ASSERT_EQ(fields.day, fields.day == 1 ? 1 : previous.day + 1) << day;
        ASSERT_EQ(fields.month, fields.day == 1 ? previous.month % 12 + 1 : previous.month) << day;
        ASSERT_TRUE(fields.day != 1 || previous.day == Calendar::daysInMonth(previous.year, previous.month)) << day;
        ASSERT_EQ(Calendar::secondsFromFields(fields.year, fields.month, fields.day, fields.hour, fields.minute,
                                              fields.second),
                  moment);
        previous = fields;
    }
}

TEST(DateTime, FormatsAlignsClampsAndParsesInTheProcessZone) {
    ZoneScope zone(TimeTest::centralEurope);
    const DateTime summer(1372680000);
    EXPECT_EQ(summer.formatUtc(false, false), "2013-07-01T12:00:00Z");
    EXPECT_EQ(summer.formatUtc(true, false), "20130701T120000Z");
    EXPECT_EQ(summer.formatLocal(false, true), "2013-07-01T14:00:00+02:00");
    EXPECT_EQ(summer.formatLocal(true, true), "20130701T140000+0200");
    // Local time at the ends of the range is held at the range, never wrapped round.
    EXPECT_EQ(DateTime(DateTime::largest).formatLocal(false, false), "2038-01-19T03:14:07");
    for (const char* east : {"2013-07-01T12:00:00+05:00", "2013-01-15T12:00:00+05:00"})
        EXPECT_EQ(DateTime(east).formatLocal(false, true), east);  // shown in its own zone, in summer and winter
    const DateTime described("2013-07-01T12:00:00+02:00 (+01:00 3M5W6D2H-10M5W6D3H)");
    EXPECT_EQ(DateTime::formatZone(described.zone()), "+02:00 (+01:00 3M5W6D2H-10M5W6D3H)");
    const DateTime top(DateTime::largest);
    EXPECT_EQ((std::vector{(top + TimeSpan(10)).value(), (DateTime(5) - TimeSpan(10)).value(),
                           (DateTime(5) - TimeSpan(INT32_MIN)).value(), (DateTime(0) - top).value(),
                           (DateTime(150) - DateTime(100)).value()}),
              (std::vector{DateTime::largest, 0, DateTime::largest, -DateTime::largest, 50}));

    DateTime kept(100);
    EXPECT_FALSE(kept.fromFields(2038, 2, 1, 0, 0, 0, TimeZoneInfo{}, false));
    EXPECT_EQ(kept.value(), 100);
    EXPECT_TRUE(kept.fromFields(2013, 2, 30, 25, 61, 61, TimeZoneInfo{}, false));
    EXPECT_EQ(kept.value(), utc(2013, 2, 28, 23, 59, 59));

    zone.fake.clock = int64_t{5000000000};
    EXPECT_EQ(DateTime().value(), DateTime::largest);
    zone.fake.clock = -7;
    EXPECT_EQ(DateTime().value(), 0);
    const TimeSpan week(604800), day(86400), hour(3600);
    const std::vector<std::tuple<const char*, TimeSpan, const char*>> alignments{
        {"2013-07-03T10:17:00", week, "2013-07-01T00:00:00"},
        {"2013-07-07T23:59:59", week, "2013-07-01T00:00:00"},
        {"2013-03-31T10:00:00", day, "2013-03-31T00:00:00"},
        {"2013-10-27T20:00:00", day, "2013-10-27T00:00:00"},
        {"2013-07-01T10:17:33", TimeSpan(900), "2013-07-01T10:15:00"},
        {"2013-01-01T10:17:33", hour, "2013-01-01T10:00:00"},
        {"2013-01-01T10:17:33", TimeSpan(-3600), "2013-01-01T10:17:33"},
    };
    for (const auto& [text, span, aligned] : alignments)
        EXPECT_EQ(DateTime(text).alignDown(span).formatLocal(false, false), aligned) << text << " " << span.value();
    // An explicit zone replaces the process zone.
    EXPECT_EQ(DateTime(utc(2013, 7, 1, 23, 30)).alignDown(day, DateTime::parseZone("+00:00")).value(), utc(2013, 7, 1));
    // Saving that starts on a Tuesday lies between a Wednesday and its Monday.
    const TimeZoneInfo tuesday = DateTime::parseZone("+01:00 (+01:00 3M1W1D2H-10M5W6D3H)");
    EXPECT_EQ(DateTime(utc(2013, 3, 6, 9)).alignDown(week, tuesday).value(), utc(2013, 3, 3, 23));
    const TimeZoneInfo india = DateTime::parseZone("+05:30");
    EXPECT_EQ(DateTime(utc(2013, 7, 1, 4, 45)).alignDown(hour, india).value(), utc(2013, 7, 1, 4, 30));
    const std::string digits(5000, '9');
    const std::vector<std::pair<std::string, int32_t>> cases{
        {"2013-07-01T12:00:00", utc(2013, 7, 1, 10)},
        {"20130701T120000", utc(2013, 7, 1, 10)},
        {"2013-07-01T12:00:00Z", utc(2013, 7, 1, 10)},  // "Z" carries no meaning: local time
        {"2013-07-01", utc(2013, 6, 30, 22)},
        {"2013-01-15T08:30", utc(2013, 1, 15, 7, 30)},
        {"hello", 0},                                  // local 1970-01-01 lies before the epoch
        {"2013/07/01T12:00:00", utc(1970, 1, 1, 11)},  // the date stays at its default
        {"2013-07-01T12:00:00+05:00", utc(2013, 7, 1, 7)},
        {"20130115T120000-0300", utc(2013, 1, 15, 15)},
        {"2013-07-01T12:00:00+90", utc(2013, 7, 1, 10, 30)},  // minutes
        {"2013-07-01T12:00:00+02:00 (+01:00 3M5W6D2H-10M5W6D3H)", utc(2013, 7, 1, 9)},
        // The hour that the start of daylight saving skips reads as daylight saving, also a one-hour saving.
        {"2013-03-31T02:00:00", utc(2013, 3, 31, 0)},
        {"2013-03-10T02:10:00+00:00 (+01:00 3M2W6D2H-3M2W6D4H)", utc(2013, 3, 10, 1, 10)},
        {"2013-07-01T12:00:00-" + digits, utc(2013, 7, 1, 12)},  // no offset at all
        // Beyond the 32-bit range: the month is lowered first, then the day, hour, ...
        {"2039-07-01T12:00:00", utc(2038, 1, 1, 11)},
        {"2040-07-25T12:00:00", utc(2038, 1, 19, 2)},
        {"2040-07-25T12:30:30", utc(2038, 1, 19, 2, 14, 7)},
        {"2040-01-25T00:00:00", 0},
        {"2040-07-19T05:00:00", 0},  // the last day itself stops the lowering: its hour lies past the range
        {digits + "-01-01", utc(2037, 12, 31, 23)},
        {digits + "0101", utc(2038, 1, 18, 23)},
    };
    for (const auto& [text, moment] : cases) EXPECT_EQ(DateTime(text).value(), moment) << text.substr(0, 40);
    EXPECT_EQ(std::pair(DateTime("2013-07-01T12:00:00").zone().set, DateTime("2013-07-01T12:00:00+05:00").zone().set),
              std::pair(false, true));
    zone.fake.environment["QUILNA_TZ"] = "-05:00";  // read once: the process zone stays until it is reset
    EXPECT_EQ(DateTime("1970-01-01T02:00:00").value(), 3600);
    DateTime::resetProcessZone();  // west of UTC the top of the range clamps
    EXPECT_EQ(DateTime("2038-01-19T03:14:07").value(), DateTime::largest);
    EXPECT_EQ(DateTime("1970-01-01T00:00:00").value(), 5 * 3600);
}

// Every local text parses back to its moment, except in the hour that the end of saving repeats.
TEST(DateTime, LocalTextsRoundTripNorthAndSouth) {
    for (const auto& [zoneText, repeatedHour] : {std::pair{TimeTest::centralEurope, utc(2013, 10, 27, 1)},
                                                 std::pair{TimeTest::eastAustralia, utc(2013, 4, 6, 16)}}) {
        ZoneScope zone(zoneText);
        for (int64_t t = utc(2013, 1, 1); t < utc(2014, 1, 1); t += 1200) {
            const DateTime moment(static_cast<int32_t>(t));
            const bool repeated = t >= repeatedHour && t < repeatedHour + 3600;
            const int32_t expected = static_cast<int32_t>(repeated ? t - 3600 : t);
            ASSERT_EQ(DateTime(moment.formatLocal(false, false)).value(), expected) << moment.formatUtc(false, false);
            ASSERT_EQ(DateTime(moment.formatLocal(true, false)).value(), expected) << moment.formatUtc(false, false);
        }
    }
}

TEST(TimeSpan, OnlyTheDigitsBeforeEachLetterCountAndSumsSaturate) {
    const std::vector<std::pair<const char*, int32_t>> plain{
        {"P1D", 86400}, {"PT2H30M", 9000}, {"P1DT1S", 86401}, {"P-2H", -7200}, {"P15M", 900}, {"P3W", 0}, {"", 0}};
    const std::vector<std::pair<const char*, int32_t>> odd{
        {"PT30M2H", 9000}, {"PT1.5H", 5 * 3600}, {"PT48H", 48 * 3600}, {"PT-2H", 7200}, {"PTD2H", 7200}};
    const std::vector<std::pair<const char*, int32_t>> saturated{{"P24855DT3H14M8S", INT32_MAX},
                                                                 {"P-99999999999999999999D", INT32_MIN}};
    for (const auto& cases : {plain, odd, saturated})
        for (const auto& [text, seconds] : cases) EXPECT_EQ(TimeSpan(TimeSpan::parse(text)).value(), seconds) << text;

    EXPECT_EQ(TimeSpan(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX).value(), INT32_MAX);
    EXPECT_EQ(TimeSpan(INT32_MIN, 0, 0, 0).value(), INT32_MIN);
    // Negating the smallest count must not wrap.
    EXPECT_EQ(TimeSpan(TimeSpanParts{.seconds = INT32_MIN, .negative = true}).value(), INT32_MAX);

    for (const std::string text : {"1D", "p1D", " P1D", "T2H"})
        EXPECT_THROW(TimeSpan::parse(text), TimeException) << text;
}

TEST(TimeZone, DescriptionsReadBackBadRulesDropAndSavingStartsAndEndsByTheRules) {
    for (const std::string& text :
         {TimeTest::centralEurope, TimeTest::eastAustralia, std::string("-03:30 (+00:30 3M2W6D2H-11M1W6D2H)"),
          std::string("+05:30"), std::string("+01:00 (+01:00 3M5W6D0H-10M5W6D23H)")})
        EXPECT_EQ(DateTime::formatZone(DateTime::parseZone(text)), text);
    const std::vector<std::pair<const char*, int32_t>> offsets{
        {"+0530", 19800}, {"-03:30", -12600}, {"Europe/Oslo", 0}, {"+01:00:00", 0}, {"UTC+1", 0}};
    for (const auto& [text, offset] : offsets)
        EXPECT_EQ(std::pair(DateTime::parseZone(text).set, DateTime::parseZone(text).standardOffset),
                  std::pair(true, offset))
            << text;
    for (const char* text : {"+01:00 (+01:00 3M6W6D2H-10M5W6D3H)", "+01:00 (+01:00 3M5W7D2H-10M5W6D3H)",
                             "+01:00 (+01:00 3M5W6D2H-13M5W6D3H)", "+01:00 (+01:00 3M5W6D2H-10M5W6D24H)",
                             "+01:00 (+01:00 3M0W6D2H-10M5W6D3H)", "+01:00 (+01:00 3M5W-1D2H-10M5W6D3H)"})
        EXPECT_EQ(std::pair(DateTime::parseZone(text).standardOffset, DateTime::parseZone(text).hasDst()),
                  std::pair(3600, false))
            << text;
    const std::vector<std::tuple<std::string, int32_t, bool>> cases{
        {TimeTest::centralEurope, utc(2013, 3, 31, 0, 59, 59), false},
        {TimeTest::centralEurope, utc(2013, 3, 31, 1), true},
        {TimeTest::centralEurope, utc(2013, 10, 27, 0, 59, 59), true},
        {TimeTest::centralEurope, utc(2013, 10, 27, 1), false},
        {TimeTest::eastAustralia, utc(2013, 4, 6, 15, 59, 59), true},
        {TimeTest::eastAustralia, utc(2013, 4, 6, 16), false},
        {TimeTest::eastAustralia, utc(2013, 10, 5, 15, 59, 59), false},
        {TimeTest::eastAustralia, utc(2013, 10, 5, 16), true},
        {"+01:00 (+01:00 3M2W6D2H-11M1W6D2H)", utc(2013, 3, 10, 1), true},   // the second Sunday of March
        {"+01:00 (+01:00 3M2W6D2H-11M1W6D2H)", utc(2013, 11, 3, 0), false},  // to the first of November
        // Week five is the last such weekday: March 2015 begins on a Sunday, March 2010 on a Monday.
        {"+02:00 (+01:00 3M5W5D2H-10M5W5D2H)", utc(2015, 3, 27, 12), false},
        {"+02:00 (+01:00 3M5W5D2H-10M5W5D2H)", utc(2015, 3, 28, 12), true},
        {"+02:00 (+01:00 3M5W0D2H-10M5W0D2H)", utc(2010, 3, 25, 12), false},
        {"+02:00 (+01:00 3M5W0D2H-10M5W0D2H)", utc(2010, 3, 29, 12), true},
        {"+05:30", utc(2013, 7, 1), false},
    };
    for (const auto& [zone, moment, dst] : cases)
        EXPECT_EQ(DateTime::isDst(DateTime::parseZone(zone), DateTime(moment)), dst)
            << zone << " at " << DateTime(moment).formatUtc(false, false);
}

#ifndef _WIN32
// The C library's zone "TZ" for the scope: deriving the process zone must read it again; read again on exit.
struct SystemZoneScope {
    explicit SystemZoneScope(const std::string& value) { tz.emplace("TZ", value); }
    ~SystemZoneScope() { tz.reset(), platform().initTimeZone(); }
    std::optional<TestSupport::EnvironmentScope> tz;
};

TEST(SystemZone, DerivedZoneShowsEveryHalfHourAsTheCLibraryDoesAndIsRenewedHourly) {
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
    SystemZoneScope oslo("Europe/Oslo");
    ZoneScope zone(std::nullopt);
    const int64_t hourStart = utc(2013, 5, 1, 12);
    zone.fake.clock = hourStart + 100;
    EXPECT_EQ(DateTime::processZone().standardOffset, 3600);
    SystemZoneScope india("Asia/Kolkata");
    zone.fake.clock = hourStart + 3599;
    EXPECT_EQ(DateTime::processZone().standardOffset, 3600);  // cached within the hour
    zone.fake.clock = hourStart + 3600;
    EXPECT_EQ(DateTime::processZone().standardOffset, 19800);  // renewed once the hour has passed
}

#endif

}  // namespace
}  // namespace Quilna
