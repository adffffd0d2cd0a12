// DateTime's ISO 8601 texts: parsing "2013-07-01T12:00:00", "20130701T120000", a date alone,
// with an optional zone suffix; formatting in UTC and local time.

#include <cstdio>
#include <string_view>

#include "text/StringUtils.h"
#include "time/Calendar.h"
#include "time/DateTime.h"
#include "time/ProcessZone.h"
#include "time/ZoneRules.h"

namespace Quilna {

namespace {
// A suffix that is a whole zone description rather than an offset.
constexpr std::string_view fullZonePattern = "???:?? (???:?? *M*W*D*H-*M*W*D*H)";

// "*" matches any run, "?" any one character. Backtracks only to the last star: linear in
// practice and never beyond either text.
bool wildcardMatch(std::string_view text, std::string_view pattern) {
    size_t t = 0, p = 0;
    size_t starAt = std::string_view::npos, resumeText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeText = t;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            t = ++resumeText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Up to length characters from at; empty past the end.
std::string_view piece(std::string_view text, size_t at, size_t length) {
    return at < text.size() ? text.substr(at, length) : std::string_view{};
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The numbers between the separators: first, second and third piece.
void readSeparated(std::string_view text, char separator, int32_t& first, int32_t& second, int32_t& third) {
    int32_t* fields[3] = {&first, &second, &third};
    for (int32_t* field : fields) {
        const size_t end = text.find(separator);
        *field = StringUtils::toInt32(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
}

struct TextParts {
    std::string_view date, time, zone;
};

// The date ends at the first "T", else at the first blank; the time runs up to the first sign.
TextParts splitText(std::string_view text) {
    size_t separator = text.find('T');
    if (separator == std::string_view::npos) separator = text.find(' ');
    if (separator == std::string_view::npos) return {text, {}, {}};
    const std::string_view rest = text.substr(separator + 1);
    const size_t sign = rest.find_first_of("+-");
    if (sign == std::string_view::npos) return {text.substr(0, separator), rest, {}};
    return {text.substr(0, separator), rest.substr(0, sign), rest.substr(sign)};
}

struct ParsedFields {
    int32_t year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

void readDate(std::string_view text, ParsedFields& fields) {
    if (text.find('-') != std::string_view::npos) {
        readSeparated(text, '-', fields.year, fields.month, fields.day);
    } else if (allDigits(text)) {
        fields.year = StringUtils::toInt32(piece(text, 0, 4));
        fields.month = StringUtils::toInt32(piece(text, 4, 2));
        fields.day = StringUtils::toInt32(piece(text, 6, 2));
    }
}

// A trailing "Z" carries no meaning but must not cost the compact form its time of day.
void readTime(std::string_view text, ParsedFields& fields) {
    if (text.find(':') != std::string_view::npos) {
        readSeparated(text, ':', fields.hour, fields.minute, fields.second);
        return;
    }
    if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
    if (allDigits(text)) {
        fields.hour = StringUtils::toInt32(piece(text, 0, 2));
        fields.minute = StringUtils::toInt32(piece(text, 2, 2));
        fields.second = StringUtils::toInt32(piece(text, 4, 2));
    }
}

// "+01:00" and "+0100" as an offset (a longer text of that start gives 0); a shorter suffix
// is minutes, at most three digits, so the product cannot overflow.
int32_t suffixOffset(std::string_view suffix) {
    if (wildcardMatch(suffix, "+????*") || wildcardMatch(suffix, "-????*")) return ZoneRules::parseOffset(suffix);
    return StringUtils::toInt32(suffix) * 60;
}

// Every inactive file's access time goes through here: the usual fields are written digit
// by digit, anything unusual as the format string pads it.
void appendFieldsText(std::string& out, const DateFields& fields, bool compact) {
    const auto twoDigits = [](int32_t value) { return value >= 0 && value <= 99; };
    if (fields.year >= 0 && fields.year <= 9999 && twoDigits(fields.month) && twoDigits(fields.day) &&
        twoDigits(fields.hour) && twoDigits(fields.minute) && twoDigits(fields.second)) {
        char text[19];
        char* at = text;
        const auto put = [&at](int32_t value, char after) {
            *at++ = static_cast<char>('0' + value / 10);
            *at++ = static_cast<char>('0' + value % 10);
            if (after) *at++ = after;
        };
        put(fields.year / 100, 0);
        put(fields.year % 100, compact ? 0 : '-');
        put(fields.month, compact ? 0 : '-');
        put(fields.day, 'T');
        put(fields.hour, compact ? 0 : ':');
        put(fields.minute, compact ? 0 : ':');
        put(fields.second, 0);
        out.append(text, at);
        return;
    }
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, compact ? "%04d%02d%02dT%02d%02d%02d" : "%04d-%02d-%02dT%02d:%02d:%02d",
                  fields.year, fields.month, fields.day, fields.hour, fields.minute, fields.second);
    out.append(buffer);
}

// What toLocal gives for the moment's UTC fields, without going through them and back.
DateFields localFields(int32_t seconds, const TimeZoneInfo& zone) {
    return Calendar::fieldsFromSeconds(
        Calendar::clampMoment(static_cast<int64_t>(seconds) + ZoneRules::offsetAt(zone, seconds)));
}
}  // namespace

DateTime::DateTime(const std::string& text) {
    if (text.empty()) return;
    const TextParts parts = splitText(text);
    ParsedFields f;
    readDate(parts.date, f);
    readTime(parts.time, f);

    if (parts.zone.empty()) {
        // Local time of the process zone; the moment itself carries no zone.
        fromFields(f.year, f.month, f.day, f.hour, f.minute, f.second, ProcessZone::current(), true);
        zone_ = {};
        return;
    }
    if (wildcardMatch(parts.zone, fullZonePattern)) {
        fromFields(f.year, f.month, f.day, f.hour, f.minute, f.second, parseZone(std::string(parts.zone)), true);
        return;
    }
    // An offset names the moment exactly. The zone attached is the process zone's rules with a
    // standard offset that gives this offset back when daylight saving is in effect.
    const int32_t offset = suffixOffset(parts.zone);
    TimeZoneInfo exact;
    exact.set = true;
    exact.standardOffset = offset;
    if (!fromFields(f.year, f.month, f.day, f.hour, f.minute, f.second, exact, false)) return;
    TimeZoneInfo zone = ProcessZone::current();
    const bool dst = ZoneRules::isDstAt(zone, seconds_);
    zone.standardOffset = Calendar::clampInt32(static_cast<int64_t>(offset) - (dst ? zone.dstShift : 0));
    zone.set = true;
    zone_ = zone;
}

std::string DateTime::formatUtc(bool compact, bool withOffset) const {
    const DateFields fields = withOffset ? breakDown() : Calendar::fieldsFromSeconds(seconds_);
    std::string text;
    appendFieldsText(text, fields, compact);
    text += 'Z';
    if (withOffset) text += formatOffset(fields.zone, *this, compact);
    return text;
}

std::string DateTime::formatLocal(bool compact, bool withOffset) const {
    const TimeZoneInfo zone = zone_.set ? zone_ : ProcessZone::current();
    std::string text;
    appendFieldsText(text, localFields(seconds_, zone), compact);
    if (withOffset) text += formatOffset(zone, *this, compact);
    return text;
}

void DateTime::appendLocal(std::string& out, bool compact) const {
    appendFieldsText(out, localFields(seconds_, zone_.set ? zone_ : ProcessZone::current()), compact);
}

}  // namespace Quilna
