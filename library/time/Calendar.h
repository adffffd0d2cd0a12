#pragma once
// Proleptic Gregorian calendar arithmetic on 64-bit day and second counts, and the clamp
// that keeps a computed moment inside DateTime's 32-bit range. Pure functions: no zone,
// no system call.

#include <cstdint>

#include "time/DateFields.h"

namespace Quilna::Calendar {

constexpr int64_t secondsPerDay = 86400;
constexpr int64_t secondsPerWeek = 604800;
constexpr int32_t largestMoment = 2147483647;

bool isLeapYear(int64_t year);
// 28 to 31; month must be 1-12.
int32_t daysInMonth(int64_t year, int32_t month);
// Days since 1970-01-01 of a date; month must be 1-12, day may run past the month.
int64_t daysFromDate(int64_t year, int32_t month, int32_t day);
// 0 = Monday ... 6 = Sunday.
int32_t weekdayOfDays(int64_t days);
// Seconds since 1970-01-01T00:00:00 of UTC fields (month 1-12, the rest may overflow into the next unit).
int64_t secondsFromFields(int64_t year, int32_t month, int32_t day, int64_t hour, int64_t minute, int64_t second);
// UTC fields of seconds since the epoch (any sign); the zone is left cleared.
DateFields fieldsFromSeconds(int64_t seconds);
// Into the range of a DateTime: 0 to 2,147,483,647.
int32_t clampMoment(int64_t seconds);
// Into the range of a signed 32-bit count.
int32_t clampInt32(int64_t value);

}  // namespace Quilna::Calendar
