// Feeds generated and mutated texts to the three time parsers: each must return its documented
// default or throw its documented TimeException, and never crash or read past its input.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TimeTestSupport.h"
#include "common/DateTime.h"
#include "common/TimeException.h"
#include "common/TimeSpan.h"
#include "common/ZoneRules.h"

namespace Quilna {
namespace {

const std::vector<std::string> seeds = {
    "P1DT2H3M4S",
    "P-2H",
    "PT1.5H30M",
    "2013-07-01T12:00:00",
    "20130701T120000Z",
    "2013-07-01 12:00",
    "2013-07-01T12:00:00+02:00 (+01:00 3M5W6D2H-10M5W6D3H)",
    "20130115T120000-0300",
    "2040-07-01T12:00:00+90",
    TimeTest::centralEurope,
    TimeTest::eastAustralia,
    "-03:30 (+00:30 3M2W6D2H-11M1W6D2H)",
};

class TextSource {
public:
    explicit TextSource(uint32_t seed) : random_(seed) {}

    std::string next() {
        switch (pick(4)) {
            case 0: return arbitraryBytes();
            case 1: return fromAlphabet();
            default: return mutated(seeds[pick(seeds.size())]);
        }
    }

private:
    size_t pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random_); }
    char anyByte() { return static_cast<char>(pick(256)); }

    std::string arbitraryBytes() {
        std::string text(pick(48), '\0');
        for (char& c : text) c = anyByte();
        return text;
    }

    std::string fromAlphabet() {
        static const std::string alphabet = "0123456789PTDHMSWZ:-+() \t.";
        std::string text;
        for (size_t i = pick(64); i > 0; --i) text += alphabet[pick(alphabet.size())];
        return text;
    }

    std::string digitRun() { return std::string(1 + pick(400), static_cast<char>('0' + pick(10))); }

    std::string mutated(std::string text) {
        for (size_t edits = 1 + pick(4); edits > 0; --edits) {
            const size_t at = text.empty() ? 0 : pick(text.size() + 1);
            switch (pick(6)) {
                case 0:
                    if (at < text.size()) text.erase(at, 1 + pick(3));
                    break;
                case 1: text.insert(at, 1, anyByte()); break;
                case 2:
                    if (at < text.size()) text[at] = anyByte();
                    break;
                case 3: text.insert(at, digitRun()); break;
                case 4: text.resize(at); break;
                default: text.insert(at, text.substr(0, at)); break;
            }
        }
        return text;
    }

    std::mt19937 random_;
};

std::string shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

void checkSpanParser(const std::string& text) {
    try {
        const TimeSpanParts parts = TimeSpan::parse(text);
        ASSERT_TRUE(text.empty() || text[0] == 'P') << shown(text);
        // Only digit runs are read: no part can be negative.
        ASSERT_TRUE(parts.days >= 0 && parts.hours >= 0 && parts.minutes >= 0 && parts.seconds >= 0) << shown(text);
        (void)TimeSpan(parts).value();
    } catch (const TimeException& e) {
        ASSERT_EQ(e.code(), TM_INPUT) << shown(text);
        ASSERT_FALSE(text.empty() || text[0] == 'P') << shown(text);
    }
}

void checkDateTimeParser(const std::string& text) {
    const DateTime moment(text);
    ASSERT_GE(moment.value(), 0) << shown(text);
    ASSERT_EQ(moment.formatUtc(false, false).size(), 20u) << shown(text);
    ASSERT_EQ(moment.formatLocal(false, false).size(), 19u) << shown(text);
    ASSERT_FALSE(moment.formatLocal(true, true).empty());
}

void checkZoneParser(const std::string& text) {
    const TimeZoneInfo zone = DateTime::parseZone(text);
    ASSERT_TRUE(zone.set) << shown(text);
    if (zone.dstShift != 0) {
        ASSERT_TRUE(ZoneRules::ruleInRange(zone.dstStart) && ZoneRules::ruleInRange(zone.dstEnd)) << shown(text);
    }
    // The description text reads back as itself while the offsets fit two hour digits.
    const std::string description = DateTime::formatZone(zone);
    constexpr int32_t hundredHours = 100 * 3600;
    if (zone.standardOffset > -hundredHours && zone.standardOffset < hundredHours &&
        zone.dstShift > -hundredHours && zone.dstShift < hundredHours) {
        ASSERT_EQ(DateTime::formatZone(DateTime::parseZone(description)), description) << shown(text);
    }
    (void)DateTime::isDst(zone, DateTime(DateTime::largest));
    (void)DateTime::dstState(zone, DateTime(0));
}

void checkAllParsers(const std::string& text) {
    checkSpanParser(text);
    checkDateTimeParser(text);
    checkZoneParser(text);
}

TEST(TimeParsers, SurviveTextsCutAnywhere) {
    TimeTest::ZoneScope zone(TimeTest::centralEurope);
    for (const std::string& seed : seeds) {
        for (size_t length = 0; length <= seed.size(); ++length) {
            ASSERT_NO_FATAL_FAILURE(checkAllParsers(seed.substr(0, length)));
            ASSERT_NO_FATAL_FAILURE(checkAllParsers(seed.substr(length)));
        }
    }
}

TEST(TimeParsers, SurviveLongDigitRuns) {
    TimeTest::ZoneScope zone(TimeTest::centralEurope);
    const std::string digits(5000, '9');
    for (const std::string& text :
         {"P" + digits + "D" + digits + "H", "P-" + digits + "S", digits, digits + "T" + digits,
          digits + "-" + digits + "-" + digits + "T" + digits + ":" + digits + ":" + digits + "+" + digits,
          "+" + digits + " (" + digits + " " + digits + "M-" + digits + "H)", "2013-07-01T12:00:00-" + digits}) {
        ASSERT_NO_FATAL_FAILURE(checkAllParsers(text));
    }
    // Saturated numbers are clamped, not wrapped: a year past 2038 becomes 2038.
    EXPECT_EQ(DateTime(digits + "-01-01").value(), TimeTest::utc(2037, 12, 31, 23));
    // YYYYMMDD reads year 9999, month 99, day 99: clamped to 2038-01-19, local midnight.
    EXPECT_EQ(DateTime(digits + "0101").value(), TimeTest::utc(2038, 1, 18, 23));
    // A suffix that is neither an offset nor a few minutes' digits gives no offset.
    EXPECT_EQ(DateTime("2013-07-01T12:00:00-" + digits).value(), TimeTest::utc(2013, 7, 1, 12));
}

TEST(TimeParsers, SurviveGeneratedAndMutatedTexts) {
    TimeTest::ZoneScope zone(TimeTest::centralEurope);
    constexpr uint32_t seed = 20130701;
    TextSource source(seed);
    for (int i = 0; i < 40000; ++i) {
        ASSERT_NO_FATAL_FAILURE(checkAllParsers(source.next())) << "seed " << seed << ", text " << i;
    }
}

}  // namespace
}  // namespace Quilna
