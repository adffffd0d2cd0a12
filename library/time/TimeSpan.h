#pragma once
// A signed whole number of seconds, with the duration texts of configuration files.

#include <string>

#include "time/TimeBase.h"
#include "time/TimeSpanParts.h"

namespace Quilna {

class TimeSpan : public TimeBase {
public:
    TimeSpan() = default;
    explicit TimeSpan(int32_t seconds) : TimeBase(seconds) {}
    // Unchecked: ((days * 24 + hours) * 60 + minutes) * 60 + seconds.
    TimeSpan(int32_t days, int32_t hours, int32_t minutes, int32_t seconds);
    // The same sum from parsed parts, negated when negative is set.
    explicit TimeSpan(const TimeSpanParts& parts);

    // Parses "P[-]...nD...nH...nM...nS"; empty gives zeros; throws TimeException TM_INPUT when
    // the text does not begin with 'P'.
    static TimeSpanParts parse(const std::string& text);

    void setValue(int32_t seconds) { seconds_ = seconds; }

    bool operator==(const TimeSpan& other) const { return seconds_ == other.seconds_; }
    bool operator!=(const TimeSpan& other) const { return seconds_ != other.seconds_; }
    bool operator<=(const TimeSpan& other) const { return seconds_ <= other.seconds_; }
    bool operator>=(const TimeSpan& other) const { return seconds_ >= other.seconds_; }
    bool operator<(const TimeSpan& other) const { return seconds_ < other.seconds_; }
    bool operator>(const TimeSpan& other) const { return seconds_ > other.seconds_; }
};

}  // namespace Quilna
