#include "report/TextCleaning.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace Quilna::TextCleaning {

namespace {

// Windows-1252 characters of the bytes 0x80-0x9F; 0 where the code page has none.
constexpr std::array<char32_t, 32> windows1252High = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool isControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

// The length of the valid UTF-8 sequence at the start of text and its character, or 0.
size_t utf8Sequence(std::string_view text, char32_t& character) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) {
        character = first;
        return 1;
    }
    size_t length = 0;
    char32_t minimum = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2, character = first & 0x1F, minimum = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3, character = first & 0x0F, minimum = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4, character = first & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        character = (character << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = character >= 0xD800 && character <= 0xDFFF;
    if (character < minimum || character > 0x10FFFF || surrogate) return 0;
    return length;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool movesTerminal(char32_t c) {
    return isControl(c) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

char32_t windows1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : char32_t{byte};
}

}  // namespace

bool isClean(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x20 && byte < 0x7F) {
            ++at;
            continue;
        }
        char32_t character = 0;
        const size_t length = utf8Sequence(text.substr(at), character);
        if (length == 0 || isControl(character)) return false;
        at += length;
    }
    return true;
}

std::string cleanText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        char32_t character = 0;
        size_t length = utf8Sequence(text.substr(at), character);
        if (length == 0) {
            character = windows1252(static_cast<unsigned char>(text[at]));
            length = 1;
        }
        if (character == 0 || isControl(character)) {
            out += '_';
        } else {
            appendUtf8(out, character);
        }
        at += length;
    }
    return out;
}

std::string escapeForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    for (size_t at = 0; at < text.size();) {
        char32_t character = 0;
        const size_t length = utf8Sequence(text.substr(at), character);
        if (length == 0 || (length == 1 && isControl(character))) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at]));
            out += escape;
        } else if (movesTerminal(character)) {
            std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(character));
            out += escape;
        } else {
            out.append(text.substr(at, length));
            if (character == '\\') out += '\\';
        }
        at += length == 0 ? 1 : length;
    }
    return out;
}

size_t displayWidth(std::string_view utf8) {
    size_t width = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    }
    return width;
}

}  // namespace Quilna::TextCleaning
