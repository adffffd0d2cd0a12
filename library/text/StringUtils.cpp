#include "text/StringUtils.h"

#include <charconv>
#include <cmath>
#include <cstring>
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

namespace {

unsigned char byteAt(std::string_view text, size_t i) { return static_cast<unsigned char>(text[i]); }

// The length of the well-formed UTF-8 sequence at i (no overlong form, no surrogate), 0 when there
// is none: an overlong C1 control is no sequence, and its bytes are escaped one by one.
size_t sequenceLength(std::string_view text, size_t i) {
    const unsigned char lead = byteAt(text, i);
    const size_t length = lead < 0xc2 ? 0 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : lead < 0xf5 ? 4 : 0;
    if (length == 0 || text.size() - i < length) return 0;
    const unsigned char second = byteAt(text, i + 1);
    if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) || (lead == 0xf0 && second < 0x90) ||
        (lead == 0xf4 && second > 0x8f))
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byteAt(text, i + k) & 0xc0) != 0x80) return 0;
    return length;
}

char32_t codePoint(std::string_view text, size_t i, size_t length) {
    char32_t value = byteAt(text, i) & (0xff >> (length + 1));
    for (size_t k = 1; k < length; ++k) value = (value << 6) | (byteAt(text, i + k) & 0x3f);
    return value;
}

bool isEscapedCharacter(char32_t c) {
    return (c >= 0x80 && c <= 0x9f) || c == 0x61c || c == 0x200e || c == 0x200f || (c >= 0x2028 && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

// Whether the eight bytes from i on are all printable ASCII: most texts are, and eight are
// looked at in one step.
bool printableWord(std::string_view text, size_t i) {
    constexpr uint64_t ones = 0x0101010101010101, high = ones * 0x80;
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    const uint64_t belowSpace = (word - ones * 0x20) & ~word & high;
    const uint64_t del = ((word ^ (ones * 0x7f)) - ones) & ~(word ^ (ones * 0x7f)) & high;
    return ((word & high) | belowSpace | del) == 0;
}

struct Control {
    size_t at;
    size_t length;
};

// The next control from the given place on; at is npos when there is none.
Control nextControl(std::string_view text, size_t from) {
    for (size_t i = from; i < text.size();) {
        while (text.size() - i >= 8 && printableWord(text, i)) i += 8;
        if (i == text.size()) break;
        const unsigned char byte = byteAt(text, i);
        if (byte >= 0x20 && byte < 0x7f) {
            ++i;
            continue;
        }
        if (byte < 0x80) return {i, 1};
        const size_t length = sequenceLength(text, i);
        if (length == 0) {
            if (byte <= 0x9f) return {i, 1};  // C1 to a terminal that reads bytes as Latin-1
            ++i;
            continue;
        }
        // Only these leads begin a character that is escaped.
        const bool mayBeControl = byte == 0xc2 || byte == 0xd8 || byte == 0xe2;
        if (mayBeControl && isEscapedCharacter(codePoint(text, i, length))) return {i, length};
        i += length;
    }
    return {std::string_view::npos, 0};
}

}  // namespace

void appendEscapedControls(std::string& out, std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    size_t done = 0;
    for (Control control = nextControl(text, 0); control.at != std::string_view::npos;
         control = nextControl(text, done)) {
        out.append(text.substr(done, control.at - done));
        for (size_t k = control.at; k < control.at + control.length; ++k) {
            const unsigned char byte = byteAt(text, k);
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xf];
        }
        done = control.at + control.length;
    }
    out.append(text.substr(done));
}

std::string escapeControls(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    appendEscapedControls(escaped, text);
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
