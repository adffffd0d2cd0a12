#include "tools/report/Formatting.h"

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
    char text[64];
    std::snprintf(text, sizeof text, "%.5f", weightedSize);
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out == "-0" ? "0" : out;
}

std::string countText(int64_t count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return count < 0 ? "-" + digits : digits;
}

std::string shareText(double part, double whole) {
    if (whole == 0) return "-";
    // A share too small to show as a number is still not nothing.
    if (part > 0 && 2000.0 * part < whole) return "<0.1%";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * part / whole);
    return text;
}

std::string dayText(int64_t day) {
    using namespace std::chrono;
    const sys_days date{days{static_cast<int>(std::floor((static_cast<double>(day) + 43200) / 86400))}};
    const year_month_day parts(date);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(parts.year()),
                  static_cast<unsigned>(parts.month()), static_cast<unsigned>(parts.day()));
    return text;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
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
