// DateTime's zone operations: the zone description text, offsets and daylight saving.

#include "text/StringUtils.h"
#include "time/DateTime.h"
#include "time/ProcessZone.h"
#include "time/ZoneRules.h"

namespace Quilna {

std::string DateTime::formatOffset(const TimeZoneInfo& zone, const DateTime& moment, bool compact) {
    return ZoneRules::offsetText(ZoneRules::offsetAt(zone, moment.value()), compact);
}

std::string DateTime::formatZone(const TimeZoneInfo& zone) {
    std::string text = ZoneRules::offsetText(zone.standardOffset, false);
    if (zone.dstShift == 0) return text;
    return text + " (" + ZoneRules::offsetText(zone.dstShift, false) + " " + ZoneRules::ruleText(zone.dstStart) + "-" +
           ZoneRules::ruleText(zone.dstEnd) + ")";
}

// STD [" (" DST " " START "-" END ")"]. A piece that does not parse is 0; a rule number out of
// range drops daylight saving altogether. The result is always a set zone.
TimeZoneInfo DateTime::parseZone(const std::string& text) {
    std::string rest = text;
    const std::string standard = StringUtils::splitFirst(rest, ' ');
    StringUtils::splitFirst(rest, '(');
    const std::string shift = StringUtils::splitFirst(rest, ' ');
    const std::string start = StringUtils::splitFirst(rest, '-');
    const std::string end = StringUtils::splitFirst(rest, ')');

    TimeZoneInfo zone;
    zone.standardOffset = ZoneRules::parseOffset(standard);
    zone.dstShift = ZoneRules::parseOffset(shift);
    zone.dstStart = ZoneRules::parseRule(start);
    zone.dstEnd = ZoneRules::parseRule(end);
    if (!ZoneRules::ruleInRange(zone.dstStart) || !ZoneRules::ruleInRange(zone.dstEnd)) {
        zone.dstShift = 0;
        zone.dstStart = {};
        zone.dstEnd = {};
    }
    zone.set = true;
    return zone;
}

TimeZoneInfo DateTime::processZone() { return ProcessZone::current(); }

void DateTime::resetProcessZone() { ProcessZone::reset(); }

bool DateTime::isDst(const TimeZoneInfo& zone, const DateTime& moment) {
    return ZoneRules::isDstAt(zone, moment.value());
}

int DateTime::dstState(const TimeZoneInfo& zone, const DateTime& moment) {
    return ZoneRules::dstStateAt(zone, moment.value());
}

}  // namespace Quilna
