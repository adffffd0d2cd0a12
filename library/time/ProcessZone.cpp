#include "time/ProcessZone.h"

#include <algorithm>
#include <mutex>

#include "platform/Platform.h"
#include "time/Calendar.h"
#include "time/DateTime.h"

namespace Quilna {

namespace {
constexpr int64_t hour = 3600;
constexpr int64_t jumpAfterTransition = 90 * Calendar::secondsPerDay;

struct ZoneState {
    std::mutex mutex;
    bool initialised = false;
    bool fromEnvironment = false;  // a QUILNA_TZ zone never changes
    bool derived = false;
    int64_t derivedHour = 0;
    TimeZoneInfo zone;
};

ZoneState& state() {
    static ZoneState instance;
    return instance;
}

int64_t floorToHour(int64_t moment) { return moment - ((moment % hour) + hour) % hour; }

// What the system's local time shows at a moment, as wall-clock seconds and offset east of UTC.
struct LocalView {
    bool valid = false;
    int64_t wallClock = 0;
    int64_t offset = 0;
};

LocalView localView(int64_t moment) {
    CalendarTime local;
    if (!platform().toLocalCalendar(moment, local) || local.month < 1 || local.month > 12) return {};
    const int64_t wall =
        Calendar::secondsFromFields(local.year, local.month, local.day, local.hour, local.minute, local.second);
    return {true, wall, wall - moment};
}

// The rule of a transition that happened in the hour following the previous step's wall clock.
TimeZoneRule ruleAfter(const LocalView& previous) {
    const DateFields next = Calendar::fieldsFromSeconds(previous.wallClock + hour);
    TimeZoneRule rule;
    rule.month = next.month;
    rule.week = (next.day - 1) / 7 + 1;
    if (rule.week == 4) rule.week = 5;  // the fourth week is read as the last one
    rule.weekday = next.weekday;
    rule.hour = next.hour;
    return rule;
}

bool localMoment(int year, int month, int day, int hourOfDay, int64_t& moment) {
    CalendarTime local;
    local.year = year;
    local.month = month;
    local.day = day;
    local.hour = hourOfDay;
    return platform().fromLocalCalendar(local, moment);
}
// Narrows a change of offset between two hours (before shows the old offset, after the new one)
// down to consecutive hours by halving: a day's hours in five conversions, not twenty-four.
bool narrowToHour(LocalView& before, int64_t& beforeAt, LocalView& after, int64_t& afterAt) {
    while (afterAt - beforeAt > hour) {
        const int64_t middle = beforeAt + (afterAt - beforeAt) / hour / 2 * hour;
        const LocalView view = localView(middle);
        if (!view.valid) return false;
        if (view.offset == before.offset) before = view, beforeAt = middle;
        else after = view, afterAt = middle;
    }
    return true;
}

// The zone that the system's local-time conversion shows in the year of the moment: the
// transitions found stepping a day at a time through that year, then the hour within the day
// (a zone changes its offset at most once a day). Asked at every run's first local time.
TimeZoneInfo deriveFromSystem(int64_t moment) {
    TimeZoneInfo zone;
    zone.set = true;
    const LocalView now = localView(moment);
    if (!now.valid) return zone;
    zone.standardOffset = Calendar::clampInt32(now.offset);

    const int year = Calendar::fieldsFromSeconds(now.wallClock).year;
    int64_t first = 0;
    int64_t last = 0;
    if (!localMoment(year, 1, 1, 0, first) || !localMoment(year, 12, 31, 23, last)) return zone;

    bool startFound = false;
    bool endFound = false;
    int64_t standardBeforeStart = 0;
    const int64_t lastHour = first + (last - first) / hour * hour;
    LocalView previous = localView(first);
    for (int64_t previousAt = first; previous.valid && previousAt < lastHour;) {
        int64_t step = std::min(previousAt + Calendar::secondsPerDay, lastHour);
        LocalView current = localView(step);
        if (!current.valid) break;
        if (current.offset != previous.offset && !narrowToHour(previous, previousAt, current, step)) break;
        const int64_t jump = current.offset - previous.offset;
        if (jump != 0) {
            const TimeZoneRule rule = ruleAfter(previous);
            if (jump > 0) {
                zone.dstStart = rule;
                zone.dstShift = Calendar::clampInt32(jump);
                standardBeforeStart = previous.offset;
                startFound = true;
            } else {
                zone.dstEnd = rule;
                endFound = true;
            }
            if (rule.month >= 10) break;
            step += jumpAfterTransition;
            current = localView(step);
        }
        previous = current;
        previousAt = step;
    }

    if (startFound && endFound) {
        zone.standardOffset = Calendar::clampInt32(standardBeforeStart);
    } else {
        // One change in the year is a new standard offset, not daylight saving.
        zone.dstShift = 0;
        zone.dstStart = {};
        zone.dstEnd = {};
    }
    return zone;
}
}  // namespace

TimeZoneInfo ProcessZone::current() {
    ZoneState& zoneState = state();
    std::lock_guard<std::mutex> guard(zoneState.mutex);
    if (!zoneState.initialised) {
        std::string description;
        zoneState.fromEnvironment = platform().getEnv("QUILNA_TZ", description) && !description.empty();
        if (zoneState.fromEnvironment) zoneState.zone = DateTime::parseZone(description);
        zoneState.derived = false;
        zoneState.initialised = true;
    }
    if (zoneState.fromEnvironment) return zoneState.zone;

    const int64_t now = platform().now();
    if (!zoneState.derived || now - zoneState.derivedHour >= hour) {
        platform().initTimeZone();
        zoneState.zone = deriveFromSystem(now);
        zoneState.derived = true;
        zoneState.derivedHour = floorToHour(now);
    }
    return zoneState.zone;
}

void ProcessZone::reset() {
    ZoneState& zoneState = state();
    std::lock_guard<std::mutex> guard(zoneState.mutex);
    zoneState.initialised = false;
    zoneState.fromEnvironment = false;
    zoneState.zone = {};
}

}  // namespace Quilna
