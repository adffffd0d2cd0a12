#pragma once
#include <cstdint>

namespace Quilna {

// Common base of TimeSpan and DateTime: a signed 32-bit number of seconds.
class TimeBase {
public:
    TimeBase() = default;
    explicit TimeBase(int32_t seconds) : seconds_(seconds) {}
    virtual ~TimeBase() = default;

    int32_t value() const { return seconds_; }

protected:
    int32_t seconds_ = 0;
};

}  // namespace Quilna
