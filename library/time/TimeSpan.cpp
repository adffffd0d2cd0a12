#include "time/TimeSpan.h"

#include "text/StringUtils.h"
#include "time/Calendar.h"
#include "time/TimeException.h"

namespace Quilna {

namespace {

// The sum in 64 bits, saturated to the 32-bit range instead of wrapping.
int32_t spanSeconds(int64_t days, int64_t hours, int64_t minutes, int64_t seconds, bool negative) {
    int64_t total = ((days * 24 + hours) * 60 + minutes) * 60 + seconds;
    return Calendar::clampInt32(negative ? -total : total);
}

// The run of decimal digits that ends just before the first occurrence of unit ("" without one).
std::string_view digitsBefore(std::string_view text, char unit) {
    const size_t at = text.find(unit);
    if (at == std::string_view::npos) return {};
    size_t begin = at;
    while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9') --begin;
    return text.substr(begin, at - begin);
}
}  // namespace

TimeSpan::TimeSpan(int32_t days, int32_t hours, int32_t minutes, int32_t seconds)
    : TimeBase(spanSeconds(days, hours, minutes, seconds, false)) {}

TimeSpan::TimeSpan(const TimeSpanParts& parts)
    : TimeBase(spanSeconds(parts.days, parts.hours, parts.minutes, parts.seconds, parts.negative)) {}

// Only the digits directly before a unit letter count: the letters may come in any order,
// "T", signs and anything else are ignored, and "M" always means minutes.
TimeSpanParts TimeSpan::parse(const std::string& text) {
    TimeSpanParts parts;
    if (text.empty()) return parts;
    if (text[0] != 'P') QUILNA_THROW(TimeException, TM_INPUT, "Expected 'P' in beginning of time span.");
    parts.negative = text.size() > 1 && text[1] == '-';
    parts.days = StringUtils::toInt32(digitsBefore(text, 'D'));
    parts.hours = StringUtils::toInt32(digitsBefore(text, 'H'));
    parts.minutes = StringUtils::toInt32(digitsBefore(text, 'M'));
    parts.seconds = StringUtils::toInt32(digitsBefore(text, 'S'));
    return parts;
}

}  // namespace Quilna
