#pragma once
// Daylight-saving rules of a TimeZoneInfo and the pieces of the zone description text
// ("+01:00 (+01:00 3M5W6D2H-10M5W6D3H)"). Moments are 64-bit UTC seconds so that callers
// can work beyond the 32-bit range before they clamp.

#include <cstdint>
#include <string>
#include <string_view>

#include "time/TimeZoneInfo.h"

namespace Quilna::ZoneRules {

// Month 1-12, week 1-5, weekday 0-6, hour 0-23.
bool ruleInRange(const TimeZoneRule& rule);
// Daylight saving with both rules in range; anything else is treated as no daylight saving.
bool usableDst(const TimeZoneInfo& zone);

// UTC moment at which the rule's transition happens in the year. Week 5 (or a week past the
// weekday's occurrences) is the month's last such weekday. The end hour is daylight-saving time.
int64_t transitionMoment(const TimeZoneInfo& zone, const TimeZoneRule& rule, int64_t year, bool isEnd);

bool isDstAt(const TimeZoneInfo& zone, int64_t moment);
// Seconds east of UTC in effect at the moment: the standard offset, plus the shift in daylight saving.
int64_t offsetAt(const TimeZoneInfo& zone, int64_t moment);
// 1 daylight saving, 2 standard time, 3 and 4 near a transition (see DateTime::dstState).
int dstStateAt(const TimeZoneInfo& zone, int64_t moment);

// "+hh:mm" or "+hhmm" (either sign) in seconds; any other text gives 0.
int32_t parseOffset(std::string_view text);
// "3M5W6D2H": digits before each letter; other characters spoil the number as atoi would.
TimeZoneRule parseRule(std::string_view text);

// Sign ('+' for zero or east), two-digit hours, ':' unless compact, two-digit minutes.
std::string offsetText(int64_t seconds, bool compact);
// "3M5W6D2H".
std::string ruleText(const TimeZoneRule& rule);

}  // namespace Quilna::ZoneRules
