// Time texts; the first byte chooses the parser: 0 to 5 a date-time text under one of six
// process zones, 6 a zone description (as QUILNA_TZ and date-time suffixes carry it), 7 a
// duration.
// Date-time: any text gives a moment in the 32-bit range and texts of fixed layout; the UTC
// text with a zero offset and the local text with its offset name the moment exactly, so they
// parse back to it.
// Zone: any text gives a set zone whose daylight saving has rules in range; the description of
// a parsed zone parses to the same zone (while the offsets fit two hour digits), and so does the
// offset text of any moment; the daylight-saving questions answer for every moment.
// Duration: a text that does not begin with 'P' is refused with TM_INPUT and any other parses;
// the canonical text of the parts parses to the same parts; the seconds saturate at the 32-bit
// limits instead of wrapping.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "FuzzCheck.h"
#include "time/DateTime.h"
#include "time/TimeException.h"
#include "time/TimeSpan.h"
#include "time/ZoneRules.h"
#include "platform/Platform.h"

using namespace Quilna;
using Fuzz::require;

namespace {

// UTC, northern and southern daylight saving, half-hour offsets and shifts, and a zone whose
// daylight saving starts and ends in one month.
const char* const kZones[] = {
    "+00:00",
    "+01:00 (+01:00 3M5W6D2H-10M5W6D3H)",
    "+10:00 (+01:00 10M1W6D2H-4M1W6D3H)",
    "+05:30",
    "-03:30 (+00:30 3M2W6D2H-11M1W6D2H)",
    "-08:00 (+01:00 3M2W6D2H-3M4W6D2H)",
};
constexpr size_t kZoneCount = sizeof kZones / sizeof kZones[0];
constexpr int64_t kHundredHours = 100 * 3600;

void useProcessZone(size_t index) {
    static size_t current = kZoneCount;
    if (index == current) return;
    platform().setEnv("QUILNA_TZ", kZones[index]);
    DateTime::resetProcessZone();
    current = index;
}

bool hasLayout(const std::string& text, const std::string& layout) {
    if (text.size() != layout.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (layout[i] == '9' ? !digit : text[i] != layout[i]) return false;
    }
    return true;
}

void checkTexts(const DateTime& moment) {
    const std::string utc = moment.formatUtc(false, false);
    require(hasLayout(utc, "9999-99-99T99:99:99Z"), "extended UTC layout");
    require(hasLayout(moment.formatUtc(true, false), "99999999T999999Z"), "compact UTC layout");
    require(DateTime(utc.substr(0, 19) + "+00:00").value() == moment.value(), "UTC text with zero offset reads back");

    // A zone text may carry any two digits of hours and of minutes: offsets of 100 hours and
    // more take three digits, which no offset text reads.
    const int64_t offset = ZoneRules::offsetAt(moment.breakDown().zone, moment.value());
    if (offset <= -kHundredHours || offset >= kHundredHours) return;
    const std::string local = moment.formatLocal(false, true);
    require(hasLayout(local, "9999-99-99T99:99:99+99:99") || hasLayout(local, "9999-99-99T99:99:99-99:99"),
            "extended local layout with offset");
    const std::string compact = moment.formatLocal(true, true);
    require(hasLayout(compact, "99999999T999999+9999") || hasLayout(compact, "99999999T999999-9999"),
            "compact local layout with offset");

    // Near either end the local wall clock lies outside 1970 to 2038, which fields cannot name.
    const int64_t wallClock = moment.value() + offset;
    if (wallClock < 0 || wallClock > DateTime::largest) return;
    require(DateTime(local).value() == moment.value(), "local text with offset reads back");
    require(DateTime(compact).value() == moment.value(), "compact local text with offset reads back");
}

bool fitsTwoHourDigits(int64_t seconds) { return seconds > -kHundredHours && seconds < kHundredHours; }

bool sameRule(const TimeZoneRule& a, const TimeZoneRule& b) {
    return a.month == b.month && a.week == b.week && a.weekday == b.weekday && a.hour == b.hour;
}

// Equal as zones: the same offset, and the same daylight saving when there is one.
bool sameZone(const TimeZoneInfo& a, const TimeZoneInfo& b) {
    if (a.set != b.set || a.standardOffset != b.standardOffset || a.hasDst() != b.hasDst()) return false;
    return !a.hasDst() || (a.dstShift == b.dstShift && sameRule(a.dstStart, b.dstStart) && sameRule(a.dstEnd, b.dstEnd));
}

void checkMoment(const TimeZoneInfo& zone, int32_t seconds) {
    const DateTime moment(seconds);
    const int state = DateTime::dstState(zone, moment);
    require(state >= 1 && state <= 4, "a daylight-saving state is 1 to 4");
    if (!zone.hasDst()) require(!DateTime::isDst(zone, moment) && state == 2, "no rules, no daylight saving");
    const int64_t offset = ZoneRules::offsetAt(zone, seconds);
    if (!fitsTwoHourDigits(offset)) return;
    for (bool compact : {false, true})
        require(ZoneRules::parseOffset(DateTime::formatOffset(zone, moment, compact)) == offset,
                "the offset text of a moment reads back");
}

bool sameParts(const TimeSpanParts& a, const TimeSpanParts& b) {
    return a.days == b.days && a.hours == b.hours && a.minutes == b.minutes && a.seconds == b.seconds &&
           a.negative == b.negative;
}

std::string canonical(const TimeSpanParts& parts) {
    return std::string("P") + (parts.negative ? "-" : "") + std::to_string(parts.days) + "D" +
           std::to_string(parts.hours) + "H" + std::to_string(parts.minutes) + "M" + std::to_string(parts.seconds) +
           "S";
}

int64_t expectedSeconds(const TimeSpanParts& parts) {
    const int64_t total =
        ((static_cast<int64_t>(parts.days) * 24 + parts.hours) * 60 + parts.minutes) * 60 + parts.seconds;
    const int64_t signedTotal = parts.negative ? -total : total;
    if (signedTotal > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (signedTotal < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return signedTotal;
}

void checkZone(const std::string& text) {
    const TimeZoneInfo zone = DateTime::parseZone(text);
    require(zone.set, "a parsed zone is set");
    if (zone.dstShift != 0)
        require(ZoneRules::ruleInRange(zone.dstStart) && ZoneRules::ruleInRange(zone.dstEnd),
                "daylight saving only with rules in range");
    const std::string description = DateTime::formatZone(zone);
    if (fitsTwoHourDigits(zone.standardOffset) && fitsTwoHourDigits(zone.dstShift)) {
        const TimeZoneInfo again = DateTime::parseZone(description);
        require(sameZone(zone, again), "the description parses to the same zone");
        require(DateTime::formatZone(again) == description, "the description is stable");
    }
    for (int32_t seconds : {0, 1, 1372680000, 1388534399, 1388534400, DateTime::largest - 86400, DateTime::largest})
        checkMoment(zone, seconds);
}

void checkDuration(const std::string& text) {
    TimeSpanParts parts;
    try {
        parts = TimeSpan::parse(text);
    } catch (const TimeException& error) {
        require(!text.empty() && text[0] != 'P', "only a text without the leading P is refused");
        require(error.code() == TM_INPUT, "a refused text is TM_INPUT");
        return;
    }
    require(text.empty() || text[0] == 'P', "a text without the leading P is refused");
    require(parts.days >= 0 && parts.hours >= 0 && parts.minutes >= 0 && parts.seconds >= 0,
            "parts are digit runs, never negative");
    require(parts.negative == (text.size() > 1 && text[1] == '-'), "the sign follows the P");
    require(sameParts(parts, TimeSpan::parse(canonical(parts))), "the canonical text parses to the same parts");
    require(TimeSpan(parts).value() == expectedSeconds(parts), "the seconds saturate");
}

void checkDateTime(const std::string& text) {
    const DateTime moment(text);
    require(moment.value() >= 0, "moments are never before the epoch");
    checkTexts(moment);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t parser = 0;
    const std::string text = Fuzz::chosen(data, size, kZoneCount + 2, parser);
    if (parser < kZoneCount) {
        useProcessZone(parser);
        checkDateTime(text);
    } else if (parser == kZoneCount) {
        checkZone(text);
    } else {
        checkDuration(text);
    }
    return 0;
}
