#include "time/ZoneRules.h"

#include <cstdio>

#include "text/StringUtils.h"
#include "time/Calendar.h"

namespace Quilna::ZoneRules {

bool ruleInRange(const TimeZoneRule& rule) {
    return rule.month >= 1 && rule.month <= 12 && rule.week >= 1 && rule.week <= 5 && rule.weekday >= 0 &&
           rule.weekday <= 6 && rule.hour >= 0 && rule.hour <= 23;
}

bool usableDst(const TimeZoneInfo& zone) {
    return zone.hasDst() && ruleInRange(zone.dstStart) && ruleInRange(zone.dstEnd);
}

int64_t transitionMoment(const TimeZoneInfo& zone, const TimeZoneRule& rule, int64_t year, bool isEnd) {
    const int32_t lastDay = Calendar::daysInMonth(year, rule.month);
    const int32_t firstWeekday = Calendar::weekdayOfDays(Calendar::daysFromDate(year, rule.month, 1));
    int32_t day = 1 + (rule.weekday - firstWeekday + 7) % 7 + 7 * (rule.week - 1);
    // Counting weeks past the month's end would land on another weekday: "last" is meant.
    while (day > lastDay) day -= 7;
    int64_t moment = Calendar::secondsFromFields(year, rule.month, day, rule.hour, 0, 0) - zone.standardOffset;
    if (isEnd) moment -= zone.dstShift;
    return moment;
}

namespace {
struct Transitions {
    int64_t start = 0;
    int64_t end = 0;
};

Transitions transitionsOfYearOf(const TimeZoneInfo& zone, int64_t moment) {
    const int64_t year = Calendar::fieldsFromSeconds(moment).year;
    return {transitionMoment(zone, zone.dstStart, year, false), transitionMoment(zone, zone.dstEnd, year, true)};
}

int64_t distance(int64_t a, int64_t b) { return a < b ? b - a : a - b; }
}  // namespace

bool isDstAt(const TimeZoneInfo& zone, int64_t moment) {
    if (!usableDst(zone)) return false;
    const auto [start, end] = transitionsOfYearOf(zone, moment);
    if (start == end) return false;
    if (start < end) return start <= moment && moment < end;  // northern hemisphere
    return !(end <= moment && moment < start);                // southern: saving spans the new year
}

int64_t offsetAt(const TimeZoneInfo& zone, int64_t moment) {
    return static_cast<int64_t>(zone.standardOffset) + (isDstAt(zone, moment) ? zone.dstShift : 0);
}

// The moment is a local wall clock taken at standard offset; the shift decides which side of a
// transition an hour that the transition skips or repeats falls on.
int dstStateAt(const TimeZoneInfo& zone, int64_t moment) {
    if (!usableDst(zone)) return 2;
    const auto [start, end] = transitionsOfYearOf(zone, moment);
    if (start == end) return 2;
    const int64_t shift = zone.dstShift;
    if (start < end) {
        if (moment + shift < start) return 2;
        if (moment >= start && moment - shift < end) return 1;
        if (moment - shift >= end) return 2;
    } else {
        if (moment >= start) return 1;
        if (moment + shift < end) return 1;
        // At or after, as in the northern case: the first standard hour after the end is standard.
        if (moment - shift >= end && moment + shift < start) return 2;
    }
    return distance(moment, start) < distance(moment, end) ? 3 : 4;
}

int32_t parseOffset(std::string_view text) {
    if (text.empty() || (text[0] != '+' && text[0] != '-')) return 0;
    const bool colon = text.size() == 6 && text[3] == ':';
    if (!colon && text.size() != 5) return 0;
    const int32_t hours = StringUtils::toInt32(text.substr(1, 2));
    const int32_t minutes = StringUtils::toInt32(text.substr(colon ? 4 : 3, 2));
    const int32_t value = hours * 3600 + minutes * 60;  // two characters each: no overflow
    return text[0] == '-' ? -value : value;
}

TimeZoneRule parseRule(std::string_view text) {
    TimeZoneRule rule;
    size_t numberBegin = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        int32_t* field = nullptr;
        switch (text[at]) {
            case 'M': field = &rule.month; break;
            case 'W': field = &rule.week; break;
            case 'D': field = &rule.weekday; break;
            case 'H': field = &rule.hour; break;
            default: continue;
        }
        *field = StringUtils::toInt32(text.substr(numberBegin, at - numberBegin));
        numberBegin = at + 1;
    }
    return rule;
}

std::string offsetText(int64_t seconds, bool compact) {
    const char sign = seconds < 0 ? '-' : '+';
    const int64_t magnitude = seconds < 0 ? -seconds : seconds;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, compact ? "%c%02lld%02lld" : "%c%02lld:%02lld", sign,
                  static_cast<long long>(magnitude / 3600), static_cast<long long>(magnitude % 3600 / 60));
    return buffer;
}

std::string ruleText(const TimeZoneRule& rule) {
    return std::to_string(rule.month) + "M" + std::to_string(rule.week) + "W" + std::to_string(rule.weekday) + "D" +
           std::to_string(rule.hour) + "H";
}

}  // namespace Quilna::ZoneRules
