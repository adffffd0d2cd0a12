// Duration texts: a text that does not begin with 'P' is refused with TM_INPUT and any other
// parses; the parts are the digits before their letters, so the canonical text of the parts
// parses to the same parts; the seconds saturate at the 32-bit limits instead of wrapping.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "FuzzCheck.h"
#include "time/TimeException.h"
#include "time/TimeSpan.h"

using namespace Quilna;
using Fuzz::require;

namespace {

bool sameParts(const TimeSpanParts& a, const TimeSpanParts& b) {
    return a.days == b.days && a.hours == b.hours && a.minutes == b.minutes && a.seconds == b.seconds &&
           a.negative == b.negative;
}

std::string canonical(const TimeSpanParts& parts) {
    return std::string("P") + (parts.negative ? "-" : "") + std::to_string(parts.days) + "D" +
           std::to_string(parts.hours) + "H" + std::to_string(parts.minutes) + "M" + std::to_string(parts.seconds) +
           "S";
}

int64_t expectedSeconds(const TimeSpanParts& parts) {
    const int64_t total =
        ((static_cast<int64_t>(parts.days) * 24 + parts.hours) * 60 + parts.minutes) * 60 + parts.seconds;
    const int64_t signedTotal = parts.negative ? -total : total;
    if (signedTotal > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (signedTotal < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return signedTotal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = Fuzz::text(data, size);
    TimeSpanParts parts;
    try {
        parts = TimeSpan::parse(text);
    } catch (const TimeException& error) {
        require(!text.empty() && text[0] != 'P', "only a text without the leading P is refused");
        require(error.code() == TM_INPUT, "a refused text is TM_INPUT");
        return 0;
    }
    require(text.empty() || text[0] == 'P', "a text without the leading P is refused");
    require(parts.days >= 0 && parts.hours >= 0 && parts.minutes >= 0 && parts.seconds >= 0,
            "parts are digit runs, never negative");
    require(parts.negative == (text.size() > 1 && text[1] == '-'), "the sign follows the P");

    TimeSpanParts again = TimeSpan::parse(canonical(parts));
    require(sameParts(parts, again), "the canonical text parses to the same parts");
    require(TimeSpan(parts).value() == expectedSeconds(parts), "the seconds saturate");
    return 0;
}
