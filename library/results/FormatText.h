#pragma once
// Pieces that every result-file format shares: how a field is escaped on writing, and how
// numbers and fixed texts are taken from a line on reading.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace Quilna::FormatText {

// A byte below 0x20 in a field would end or split its line, and the format's separator would
// split the field: both are written as "_". separator 0: control bytes only.
inline char escapedByte(char c, char separator) {
    return (separator != 0 && c == separator) || static_cast<unsigned char>(c) < 0x20 ? '_' : c;
}

// Appended whole, then escaped in place: a deep tree's directory field is long.
inline void appendEscaped(std::string& out, std::string_view field, char separator = 0) {
    const size_t start = out.size();
    out.append(field);
    // Through a pointer: indexing the string reloads its size and data after every write.
    char* const end = out.data() + out.size();
    for (char* byte = out.data() + start; byte != end; ++byte) *byte = escapedByte(*byte, separator);
}

inline bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

inline std::optional<int64_t> parseInteger(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (!allDigits(text)) return std::nullopt;
    int64_t value = 0;
    // Beyond 64 bits is no number, not a zero.
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) return std::nullopt;
    return negative ? -value : value;
}

inline std::optional<double> parseNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

inline bool takeSuffix(std::string_view& text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix) return false;
    text.remove_suffix(suffix.size());
    return true;
}

inline bool takePrefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

// A parser's refusal: the reason, and false.
inline bool refuse(std::string& fault, std::string reason) {
    fault = std::move(reason);
    return false;
}

}  // namespace Quilna::FormatText
