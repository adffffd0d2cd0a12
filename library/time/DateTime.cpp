#include "time/DateTime.h"

#include "platform/Platform.h"
#include "time/Calendar.h"
#include "time/ProcessZone.h"
#include "time/ZoneRules.h"

// Moments are computed in 64 bits and clamped to 0 .. 2,147,483,647, so arithmetic that
// leaves the 32-bit range saturates instead of wrapping.

namespace Quilna {

namespace {
// The C library clock; the largest 32-bit value is read once more, as it may be a failed read.
int64_t readClock() {
    const int64_t now = platform().now();
    return now == DateTime::largest ? platform().now() : now;
}

int32_t clampTo(int32_t value, int32_t low, int32_t high) { return value < low ? low : (value > high ? high : value); }

// Fields brought into the calendar's range. A year past the largest moment's becomes 2038;
// then each field that is larger than the largest moment's (January, 19, 03:14:07) is lowered
// to it, as long as every earlier field was lowered.
struct ClampedFields {
    int32_t year, month, day, hour, minute, second;
};

ClampedFields clampFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second) {
    ClampedFields f;
    f.year = year < 1970 ? 1970 : year;
    f.month = clampTo(month, 1, 12);
    f.day = clampTo(day, 1, Calendar::daysInMonth(f.year, f.month));
    f.hour = clampTo(hour, 0, 23);
    f.minute = clampTo(minute, 0, 59);
    f.second = clampTo(second, 0, 59);
    if (f.year <= 2038) return f;
    f.year = 2038;
    if (f.month <= 1) return f;
    f.month = 1;
    if (f.day <= 19) return f;
    f.day = 19;
    if (f.hour <= 3) return f;
    f.hour = 3;
    if (f.minute <= 14) return f;
    f.minute = 14;
    if (f.second > 7) f.second = 7;
    return f;
}

int64_t secondsOf(const ClampedFields& f) {
    return Calendar::secondsFromFields(f.year, f.month, f.day, f.hour, f.minute, f.second);
}

// Aligns down in local time. When daylight saving differs between the moment and the result
// the shift is undone, so that a day begins at local midnight on the days the clocks change too.
int64_t alignedInLocalTime(int64_t moment, int64_t period, const TimeZoneInfo& zone) {
    const bool dstBefore = ZoneRules::isDstAt(zone, moment);
    const int64_t localOffset = static_cast<int64_t>(zone.standardOffset) + (dstBefore ? zone.dstShift : 0);
    const int64_t local = moment + localOffset;
    int64_t aligned = local - (((local % period) + period) % period) - localOffset;
    const bool dstAfter = ZoneRules::isDstAt(zone, aligned);
    if (dstBefore && !dstAfter) aligned += zone.dstShift;
    if (!dstBefore && dstAfter) aligned -= zone.dstShift;
    return aligned;
}

// Local midnight of the Monday that begins the moment's week.
int64_t weekStart(int64_t moment, const TimeZoneInfo& zone) {
    const int64_t dayStart = alignedInLocalTime(moment, Calendar::secondsPerDay, zone);
    const int32_t weekday = Calendar::fieldsFromSeconds(dayStart + ZoneRules::offsetAt(zone, dayStart)).weekday;
    // Going back whole days ends at midnight of the Monday: at most one change of saving lies between.
    return alignedInLocalTime(dayStart - weekday * Calendar::secondsPerDay + Calendar::secondsPerDay / 2,
                              Calendar::secondsPerDay, zone);
}
}  // namespace

DateTime::DateTime() { setNow(); }

DateTime::DateTime(const DateTime& other) : TimeBase(other.seconds_), zone_(other.zone_) {}

DateTime::DateTime(int32_t seconds) : TimeBase(seconds < 0 ? 0 : seconds) {}

DateTime::DateTime(const DateFields& fields) {
    fromFields(fields.year, fields.month, fields.day, fields.hour, fields.minute, fields.second, fields.zone, true);
}

DateTime& DateTime::operator=(const DateTime& other) {
    seconds_ = other.seconds_;
    zone_ = other.zone_;
    return *this;
}

void DateTime::setNow() { seconds_ = Calendar::clampMoment(readClock()); }

DateTime DateTime::operator+(const TimeSpan& span) const {
    DateTime result(*this);
    result += span;
    return result;
}

DateTime DateTime::operator-(const TimeSpan& span) const {
    DateTime result(*this);
    result.seconds_ = Calendar::clampMoment(static_cast<int64_t>(seconds_) - span.value());
    return result;
}

DateTime& DateTime::operator+=(const TimeSpan& span) {
    seconds_ = Calendar::clampMoment(static_cast<int64_t>(seconds_) + span.value());
    return *this;
}

TimeSpan DateTime::operator-(const DateTime& other) const {
    return TimeSpan(Calendar::clampInt32(static_cast<int64_t>(seconds_) - other.seconds_));
}

DateFields DateTime::breakDown() const {
    DateFields fields = Calendar::fieldsFromSeconds(seconds_);
    fields.zone = zone_.set ? zone_ : ProcessZone::current();
    fields.zone.set = false;  // the fields are UTC
    return fields;
}

void DateTime::toLocal(DateFields& fields) {
    if (fields.zone.set) return;
    const TimeZoneInfo zone = fields.zone;
    const ClampedFields clamped =
        clampFields(fields.year, fields.month, fields.day, fields.hour, fields.minute, fields.second);
    const int64_t utc = Calendar::clampMoment(secondsOf(clamped));
    fields = Calendar::fieldsFromSeconds(Calendar::clampMoment(utc + ZoneRules::offsetAt(zone, utc)));
    fields.zone = zone;
    fields.zone.set = true;  // the fields are local
}

bool DateTime::fromFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                          const TimeZoneInfo& zone, bool applyDst) {
    int64_t moment = secondsOf(clampFields(year, month, day, hour, minute, second));
    if (moment > largest) return false;
    if (zone.set) {
        moment -= zone.standardOffset;
        if (applyDst) {
            const int state = ZoneRules::dstStateAt(zone, moment);
            if (state == 1 || state == 4) moment -= zone.dstShift;
        }
    }
    seconds_ = Calendar::clampMoment(moment);
    zone_ = zone;
    return true;
}

DateTime& DateTime::alignDown(const TimeSpan& period) { return alignDown(period, ProcessZone::current()); }

// Periods of a second or less (and negative ones) leave the moment as it is; a week begins on
// Monday at local midnight.
DateTime& DateTime::alignDown(const TimeSpan& period, const TimeZoneInfo& zone) {
    const int64_t length = period.value();
    if (length <= 1) return *this;
    const int64_t aligned =
        length == Calendar::secondsPerWeek ? weekStart(seconds_, zone) : alignedInLocalTime(seconds_, length, zone);
    seconds_ = Calendar::clampMoment(aligned);
    return *this;
}

}  // namespace Quilna
