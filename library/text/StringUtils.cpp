#include "text/StringUtils.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Quilna::StringUtils {

std::string& trimLeft(std::string& text) {
    size_t start = 0;
    while (start < text.size() && isBlank(text[start])) ++start;
    text.erase(0, start);
    return text;
}

std::string& trimRight(std::string& text) {
    size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) --end;
    text.erase(end);
    return text;
}

std::string& trim(std::string& text) { return trimLeft(trimRight(text)); }

std::string trimmed(std::string_view text) {
    std::string copy(text);
    return trim(copy);
}

std::string& toLower(std::string& text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string& toUpper(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string lowerCopy(std::string_view text) {
    std::string copy(text);
    return toLower(copy);
}

std::string upperCopy(std::string_view text) {
    std::string copy(text);
    return toUpper(copy);
}

std::string splitFirst(std::string& text, char separator) {
    const size_t at = text.find(separator);
    std::string head;
    if (at == std::string::npos) {
        head.swap(text);
        return head;
    }
    head = text.substr(0, at);
    text.erase(0, at + 1);
    return head;
}

std::vector<std::string> split(std::string_view text, std::string_view separator, size_t maxPieces) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t start = 0;
    while (maxPieces == 0 || pieces.size() + 1 < maxPieces) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos) break;
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

std::vector<std::string> split(std::string_view text, char separator, size_t maxPieces, bool dropEmpty) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (maxPieces == 0 || pieces.size() + 1 < maxPieces) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos) break;
        if (!dropEmpty || at > start) pieces.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
    if (!dropEmpty || start < text.size()) pieces.emplace_back(text.substr(start));
    return pieces;
}

size_t replaceChar(std::string& text, char from, char to) {
    size_t count = 0;
    for (char& c : text) {
        if (c == from) {
            c = to;
            ++count;
        }
    }
    return count;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string escapeControls(std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            escaped += c;
            continue;
        }
        escaped += "\\x";
        escaped += digits[byte >> 4];
        escaped += digits[byte & 0xf];
    }
    return escaped;
}

std::string intText(int32_t value) { return std::to_string(value); }
std::string uint64Text(uint64_t value) { return std::to_string(value); }

std::string exactNumberText(double value) {
    constexpr double wholeLimit = 9007199254740992.0;  // 2^53
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < wholeLimit) {
        return std::to_string(static_cast<int64_t>(value));
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

namespace {
// Leading blanks, optional sign, digits; saturated tells that the value did not fit.
template <typename Int>
Int toInteger(std::string_view text, bool& saturated) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    // Accumulate as a negative number so that the minimum fits.
    Int value = 0;
    saturated = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const Int digit = static_cast<Int>(text[at] - '0');
        if (value < (std::numeric_limits<Int>::min() + digit) / 10) {
            saturated = true;
            break;
        }
        value = static_cast<Int>(value * 10 - digit);
    }
    if (saturated) return negative ? std::numeric_limits<Int>::min() : std::numeric_limits<Int>::max();
    if (negative) return value;
    if (value == std::numeric_limits<Int>::min()) {
        saturated = true;
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(-value);
}

template <typename Int>
Int toInteger(std::string_view text) {
    bool saturated = false;
    return toInteger<Int>(text, saturated);
}
}  // namespace

int32_t toInt32(std::string_view text) { return toInteger<int32_t>(text); }
int64_t toInt64(std::string_view text) { return toInteger<int64_t>(text); }

std::optional<int32_t> toInt32InRange(std::string_view text) {
    bool saturated = false;
    const int32_t value = toInteger<int32_t>(text, saturated);
    if (saturated) return std::nullopt;
    return value;
}

uint64_t leadingDigits(std::string_view text) {
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<uint64_t> decimalNumber(std::string_view text, uint64_t max) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > max / 10) return std::nullopt;
        value *= 10;
        if (digit > max - value) return std::nullopt;
        value += digit;
    }
    return value;
}

}  // namespace Quilna::StringUtils
