#include "time/Calendar.h"

#include <limits>

namespace Quilna::Calendar {

namespace {
// Floor division, so that days before the epoch land on the right date.
int64_t floorDiv(int64_t value, int64_t divisor) {
    int64_t quotient = value / divisor;
    if ((value % divisor != 0) && ((value < 0) != (divisor < 0))) --quotient;
    return quotient;
}
}  // namespace

bool isLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t daysInMonth(int64_t year, int32_t month) {
    static constexpr int32_t lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year)) return 29;
    return lengths[month - 1];
}

// Counts in eras of 400 years that begin on 1 March, so that the leap day ends a year.
int64_t daysFromDate(int64_t year, int32_t month, int32_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = floorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int32_t weekdayOfDays(int64_t days) {
    // 1970-01-01 was a Thursday.
    return static_cast<int32_t>(days + 3 - floorDiv(days + 3, 7) * 7);
}

int64_t secondsFromFields(int64_t year, int32_t month, int32_t day, int64_t hour, int64_t minute, int64_t second) {
    return daysFromDate(year, month, day) * secondsPerDay + hour * 3600 + minute * 60 + second;
}

DateFields fieldsFromSeconds(int64_t seconds) {
    const int64_t days = floorDiv(seconds, secondsPerDay);
    const int64_t ofDay = seconds - days * secondsPerDay;

    const int64_t shifted = days + 719468;
    const int64_t era = floorDiv(shifted, 146097);
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;

    DateFields fields;
    fields.day = static_cast<int32_t>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    fields.month = static_cast<int32_t>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    fields.year = clampInt32(yearOfEra + era * 400 + (fields.month <= 2 ? 1 : 0));
    fields.weekday = weekdayOfDays(days);
    fields.hour = static_cast<int32_t>(ofDay / 3600);
    fields.minute = static_cast<int32_t>(ofDay % 3600 / 60);
    fields.second = static_cast<int32_t>(ofDay % 60);
    return fields;
}

int32_t clampMoment(int64_t seconds) {
    if (seconds < 0) return 0;
    if (seconds > largestMoment) return largestMoment;
    return static_cast<int32_t>(seconds);
}

int32_t clampInt32(int64_t value) {
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

}  // namespace Quilna::Calendar
