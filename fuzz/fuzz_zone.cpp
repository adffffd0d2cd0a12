// Zone descriptions as "QUILNA_TZ" and date-time suffixes carry them. Any text gives a set zone
// whose daylight saving has rules in range; the description of a parsed zone parses to the same
// zone (while the offsets fit two hour digits), and so does the offset text of any moment; the
// daylight-saving questions answer for every moment.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "time/DateTime.h"
#include "time/ZoneRules.h"

using namespace Quilna;
using Fuzz::require;

namespace {

constexpr int64_t kHundredHours = 100 * 3600;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TimeZoneInfo zone = DateTime::parseZone(Fuzz::text(data, size));
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
    return 0;
}
