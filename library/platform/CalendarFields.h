#pragma once
// The C library's broken-down time to and from CalendarTime; both backends convert through
// their own localtime/mktime variants.

#include <ctime>

#include "platform/SystemServices.h"

namespace Quilna {

inline CalendarTime calendarFromFields(const struct tm& fields) {
    CalendarTime out;
    out.year = fields.tm_year + 1900;
    out.month = fields.tm_mon + 1;
    out.day = fields.tm_mday;
    out.hour = fields.tm_hour;
    out.minute = fields.tm_min;
    out.second = fields.tm_sec;
    out.weekday = (fields.tm_wday + 6) % 7;  // Monday first
    out.isDst = fields.tm_isdst;
    return out;
}

inline struct tm fieldsFromCalendar(const CalendarTime& local) {
    struct tm fields {};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = local.isDst;
    return fields;
}

}  // namespace Quilna
