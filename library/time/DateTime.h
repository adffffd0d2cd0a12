#pragma once
// A point in time: whole seconds since 1970-01-01T00:00:00 UTC in 32 bits (1970 to early
// 2038), with an optional zone, ISO 8601 texts, zone rules and alignment to periods.

#include <string>

#include "time/DateFields.h"
#include "time/TimeBase.h"
#include "time/TimeSpan.h"
#include "time/TimeZoneInfo.h"

namespace Quilna {

class DateTime : public TimeBase {
public:
    static constexpr int32_t largest = 2147483647;  // 2038-01-19T03:14:07Z

    DateTime();  // now
    DateTime(const DateTime& other);
    explicit DateTime(int32_t seconds);           // negative values become 0
    explicit DateTime(const std::string& text);   // ISO 8601 text; empty gives the epoch
    explicit DateTime(const DateFields& fields);  // fromFields with the fields' zone, daylight saving applied
    DateTime& operator=(const DateTime& other);
    ~DateTime() override = default;

    void setNow();

    DateTime operator+(const TimeSpan& span) const;
    DateTime operator-(const TimeSpan& span) const;
    DateTime& operator+=(const TimeSpan& span);
    TimeSpan operator-(const DateTime& other) const;
    bool operator<(const DateTime& other) const { return seconds_ < other.seconds_; }
    bool operator==(const DateTime& other) const { return seconds_ == other.seconds_; }

    const TimeZoneInfo& zone() const { return zone_; }

    // UTC fields plus the moment's zone (or a copy of the process zone); not marked local.
    DateFields breakDown() const;
    // Converts UTC fields to local wall-clock fields in place; nothing when already local.
    static void toLocal(DateFields& fields);

    // 2013-07-01T12:00:00Z, compact 20130701T120000Z.
    std::string formatUtc(bool compact, bool withOffset) const;
    // Local wall clock: 2013-07-01T14:00:00, compact 20130701T140000.
    std::string formatLocal(bool compact, bool withOffset) const;
    // The same without offset, appended to out: no text made per call.
    void appendLocal(std::string& out, bool compact) const;
    // "+01:00" (compact "+0100"): the offset in effect at the moment.
    static std::string formatOffset(const TimeZoneInfo& zone, const DateTime& moment, bool compact);
    // "+01:00 (+01:00 3M5W6D2H-10M5W6D3H)" or "+05:30".
    static std::string formatZone(const TimeZoneInfo& zone);
    // Parses a zone description; a text that does not parse gives no offset or no daylight saving.
    static TimeZoneInfo parseZone(const std::string& text);
    // The process zone: "QUILNA_TZ", or derived from the C library's local time.
    static TimeZoneInfo processZone();

    // Aligns down to a whole multiple of the period in local time; a week aligns to Monday.
    DateTime& alignDown(const TimeSpan& period);
    DateTime& alignDown(const TimeSpan& period, const TimeZoneInfo& zone);

    static bool isDst(const TimeZoneInfo& zone, const DateTime& moment);
    // 1 daylight saving, 2 standard time, 3 and 4 the ambiguous or skipped hours.
    static int dstState(const TimeZoneInfo& zone, const DateTime& moment);

    // Builds the moment from clamped fields; false (moment unchanged) when out of range.
    bool fromFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                    const TimeZoneInfo& zone, bool applyDst);

    // For tests: forgets the process zone so that the next use derives it again.
    static void resetProcessZone();

private:
    TimeZoneInfo zone_;
};

}  // namespace Quilna
