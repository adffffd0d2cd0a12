// Date-time texts under several process zones (the first byte picks one): any text gives a
// moment in the 32-bit range and texts of fixed layout; the UTC text with a zero offset and the
// local text with its offset name the moment exactly, so they parse back to it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "platform/Platform.h"
#include "time/DateTime.h"
#include "time/ZoneRules.h"

using namespace Quilna;
using Fuzz::require;

namespace {

// UTC, northern and southern daylight saving, half-hour offsets and shifts, and a zone whose
// daylight saving starts and ends in one month.
const char* const kZones[] = {
    "+00:00",
    "+01:00 (+01:00 3M5W6D2H-10M5W6D3H)",
    "+10:00 (+01:00 10M1W6D2H-4M1W6D3H)",
    "+05:30",
    "-03:30 (+00:30 3M2W6D2H-11M1W6D2H)",
    "-08:00 (+01:00 3M2W6D2H-3M4W6D2H)",
};
constexpr size_t kZoneCount = sizeof kZones / sizeof kZones[0];
constexpr int64_t kHundredHours = 100 * 3600;

void useProcessZone(size_t index) {
    static size_t current = kZoneCount;
    if (index == current) return;
    platform().setEnv("QUILNA_TZ", kZones[index]);
    DateTime::resetProcessZone();
    current = index;
}

bool hasLayout(const std::string& text, const std::string& layout) {
    if (text.size() != layout.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (layout[i] == '9' ? !digit : text[i] != layout[i]) return false;
    }
    return true;
}

void checkTexts(const DateTime& moment) {
    const std::string utc = moment.formatUtc(false, false);
    require(hasLayout(utc, "9999-99-99T99:99:99Z"), "extended UTC layout");
    require(DateTime(utc.substr(0, 19) + "+00:00").value() == moment.value(), "UTC text with zero offset reads back");

    // A zone text may carry any two digits of hours and of minutes: offsets of 100 hours and
    // more take three digits, which no offset text reads.
    const int64_t offset = ZoneRules::offsetAt(moment.breakDown().zone, moment.value());
    if (offset <= -kHundredHours || offset >= kHundredHours) return;
    const std::string local = moment.formatLocal(false, true);
    require(hasLayout(local, "9999-99-99T99:99:99+99:99") || hasLayout(local, "9999-99-99T99:99:99-99:99"),
            "extended local layout with offset");

    // Near either end the local wall clock lies outside 1970 to 2038, which fields cannot name.
    const int64_t wallClock = moment.value() + offset;
    if (wallClock < 0 || wallClock > DateTime::largest) return;
    require(DateTime(local).value() == moment.value(), "local text with offset reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t zone = 0;
    const std::string text = Fuzz::chosen(data, size, kZoneCount, zone);
    useProcessZone(zone);
    const DateTime moment(text);
    require(moment.value() >= 0, "moments are never before the epoch");
    checkTexts(moment);
    return 0;
}
