// Time texts (the first byte chooses a date-time under one of six zones, a zone, or a duration):
// each parses or is refused cleanly, and what the formatters write parses back.
#include "FuzzCheck.h"
#include "platform/Platform.h"
#include "time/DateTime.h"
#include "time/TimeException.h"
#include "time/TimeSpan.h"
#include "time/ZoneRules.h"

using namespace Quilna;
using Fuzz::require;

namespace {

// UTC, north and south, half hours, and daylight saving within one month.
const char* const kZones[] = {
    "+00:00", "+01:00 (+01:00 3M5W6D2H-10M5W6D3H)", "+10:00 (+01:00 10M1W6D2H-4M1W6D3H)",
    "+05:30", "-03:30 (+00:30 3M2W6D2H-11M1W6D2H)", "-08:00 (+01:00 3M2W6D2H-3M4W6D2H)",
};

// Offset texts carry two hour digits.
bool fitsTwoHourDigits(int64_t seconds) { return seconds > -100 * 3600 && seconds < 100 * 3600; }

void checkDateTime(const std::string& text) {
    const DateTime moment(text);
    require(moment.value() >= 0, "moments are never before the epoch");
    const std::string utc = moment.formatUtc(false, false);
    require(DateTime(utc.substr(0, 19) + "+00:00").value() == moment.value(), "UTC text reads back");
    const int64_t offset = ZoneRules::offsetAt(moment.breakDown().zone, moment.value());
    const int64_t wallClock = moment.value() + offset;
    if (!fitsTwoHourDigits(offset) || wallClock < 0 || wallClock > DateTime::largest) return;
    for (bool compact : {false, true})
        require(DateTime(moment.formatLocal(compact, true)).value() == moment.value(), "local text reads back");
}

void checkZone(const std::string& text) {
    const TimeZoneInfo zone = DateTime::parseZone(text);
    require(zone.set, "a parsed zone is set");
    if (zone.dstShift != 0)
        require(ZoneRules::ruleInRange(zone.dstStart) && ZoneRules::ruleInRange(zone.dstEnd),
                "daylight saving only with rules in range");
    const std::string description = DateTime::formatZone(zone);
    if (fitsTwoHourDigits(zone.standardOffset) && fitsTwoHourDigits(zone.dstShift))
        require(DateTime::formatZone(DateTime::parseZone(description)) == description, "the description reads back");
    for (int32_t seconds : {0, 1372680000, 1388534400, DateTime::largest}) {
        const DateTime moment(seconds);
        const int state = DateTime::dstState(zone, moment);
        require(state >= 1 && state <= 4, "a daylight-saving state is 1 to 4");
        const int64_t offset = ZoneRules::offsetAt(zone, seconds);
        if (fitsTwoHourDigits(offset))
            require(ZoneRules::parseOffset(DateTime::formatOffset(zone, moment, false)) == offset,
                    "the offset text of a moment reads back");
    }
}

void checkDuration(const std::string& text) {
    try {
        const TimeSpanParts parts = TimeSpan::parse(text);
        require(text.empty() || text[0] == 'P', "a text without the leading P is refused");
        const int64_t seconds = TimeSpan{parts}.value();
        require(parts.negative ? seconds <= 0 : seconds >= 0, "the seconds saturate instead of wrapping");
    } catch (const TimeException& error) {
        require(!text.empty() && text[0] != 'P' && error.code() == TM_INPUT, "only a text without P is refused");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t parser = 0;
    const std::string text = Fuzz::chosen(data, size, std::size(kZones) + 2, parser);
    if (parser < std::size(kZones)) {
        SystemError error;
        platform().setEnv("QUILNA_TZ", kZones[parser], error);
        DateTime::resetProcessZone();
        checkDateTime(text);
    } else if (parser == std::size(kZones)) {
        checkZone(text);
    } else {
        checkDuration(text);
    }
    return 0;
}
