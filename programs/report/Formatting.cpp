#include "report/Formatting.h"

#include "platform/Platform.h"
#include "results/InactiveTableFormat.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace Quilna::Formatting {

std::string sizeText(double bytes) {
    static constexpr std::array<const char*, 7> units = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    size_t unit = 0;
    double value = bytes;
    while (std::fabs(value) >= 1024 && unit + 1 < units.size()) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0) {
        std::snprintf(text, sizeof text, "%.0f B", value);
    } else {
        const double magnitude = std::fabs(value);
        const int decimals = magnitude < 9.995 ? 2 : magnitude < 99.95 ? 1 : 0;
        std::snprintf(text, sizeof text, "%.*f %s", decimals, value, units[unit]);
    }
    return text;
}

std::string weightText(double weightedSize) {
    if (!std::isfinite(weightedSize)) return "null";
    char text[400];
    std::snprintf(text, sizeof text, "%.5f", weightedSize);
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out == "-0" ? "0" : out;
}

std::string integerText(WideInt value) {
    // The magnitude as unsigned, so that the smallest value has one too.
    unsigned __int128 magnitude = value < 0 ? -static_cast<unsigned __int128>(value) : value;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    return value < 0 ? "-" + digits : digits;
}

std::string countText(WideInt count) {
    std::string digits = integerText(count);
    const size_t first = count < 0 ? 1 : 0;
    for (size_t at = digits.size(); at > first + 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string shareText(double part, double whole) {
    if (whole == 0) return "-";
    // A share too small to show as a number is still not nothing.
    if (part > 0 && 2000.0 * part < whole) return "<0.1%";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * part / whole);
    return text;
}

namespace {

// Seconds of the years 1 to 9999, the dates that have a text of four digits.
constexpr int64_t earliestSeconds = -62135596800;
constexpr int64_t latestSeconds = 253402300799;

std::string dateText(int64_t seconds, bool withTime) {
    using namespace std::chrono;
    if (seconds < earliestSeconds || seconds > latestSeconds) return "(no date)";
    const int64_t dayNumber = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const sys_days date{days{dayNumber}};
    const year_month_day parts(date);
    const int64_t inDay = seconds - dayNumber * 86400;
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(parts.year()),
                  static_cast<unsigned>(parts.month()), static_cast<unsigned>(parts.day()));
    std::string out = text;
    if (withTime) {
        std::snprintf(text, sizeof text, " %02d:%02d", static_cast<int>(inDay / 3600),
                      static_cast<int>(inDay / 60 % 60));
        out += text;
    }
    return out;
}

int64_t dateSeconds(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    const year_month_day calendar{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    return int64_t{sys_days(calendar).time_since_epoch().count()} * 86400;
}

// "+02:00", "-03:30": a zone's offset from UTC, to the minute.
std::string offsetText(int64_t seconds) {
    const int64_t minutes = (seconds < 0 ? -seconds : seconds) / 60;
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", seconds < 0 ? '-' : '+', static_cast<int>(minutes / 60 % 100),
                  static_cast<int>(minutes % 60));
    return text;
}

}  // namespace

std::string dayText(int64_t day) {
    // The UTC day around the stamp: half a day later, cut to the day.
    return dateText(day > latestSeconds ? day : day + 43200, false);
}

std::string localTimeText(int64_t seconds) { return dateText(seconds, true); }

namespace {

// The local time of a moment read as UTC seconds; without the zone's rules, UTC itself.
int64_t localSeconds(SystemServices& services, int64_t moment) {
    CalendarTime local;
    if (!services.toLocalCalendar(moment, local)) return moment;
    return dateSeconds(local.year, static_cast<unsigned>(local.month), static_cast<unsigned>(local.day)) +
           local.hour * 3600 + local.minute * 60 + local.second;
}

}  // namespace

std::string scanText(SystemServices& services, const ScanTime& scan) {
    if (scan.dayOnly()) return dayText(scan.day);
    const int64_t local = localSeconds(services, scan.at);
    return localTimeText(local) + " " + offsetText(local - scan.at);
}

int64_t scanDate(SystemServices& services, const ScanTime& scan) {
    const int64_t local = scan.dayOnly() ? scan.day + 43200 : localSeconds(services, scan.at);
    return (local >= 0 ? local / 86400 : -((-local + 86399) / 86400)) * 86400;
}

int64_t localMidnight(SystemServices& services, int64_t date) {
    using namespace std::chrono;
    const year_month_day parts{sys_days{days{date / 86400}}};
    CalendarTime midnight;
    midnight.year = static_cast<int>(parts.year());
    midnight.month = static_cast<int>(static_cast<unsigned>(parts.month()));
    midnight.day = static_cast<int>(static_cast<unsigned>(parts.day()));
    int64_t seconds = date;
    return services.fromLocalCalendar(midnight, seconds) ? seconds : date;
}

std::optional<int64_t> parseDay(std::string_view text) {
    // Midnight in the reckoning of the inactive tables' times, which the runs are compared with.
    if (text.size() != 10) return std::nullopt;
    return InactiveTableFormat::parseLastAccess(std::string(text) + "T00:00:00");
}

std::string csvField(std::string_view text) {
    const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = formula ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace Quilna::Formatting
