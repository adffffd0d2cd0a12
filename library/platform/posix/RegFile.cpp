#include "platform/posix/RegFile.h"

#include <algorithm>
#include <cstdio>

namespace Quilna {

namespace {

const char* const kHeader = "Windows Registry Editor Version 5.00";
const char* const kOldHeader = "REGEDIT4";
constexpr size_t kHexLineWidth = 76;  // where the registry editor breaks hex lists

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isSpace(text[begin])) ++begin;
    while (end > begin && isSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a quoted text whose opening quote the caller found at text[at], with the \\ and \"
// escapes; at ends after the closing quote. Any other backslash stays as written.
bool readQuoted(const std::string& text, size_t& at, std::string& out) {
    out.clear();
    for (++at; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\' && at + 1 < text.size() && (text[at + 1] == '\\' || text[at + 1] == '"')) {
            out += text[++at];
            continue;
        }
        out += c;
    }
    return false;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// A value that a quoted string cannot carry on one line.
bool needsHex(const std::string& value) {
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
    return false;
}

// A line that can go on a hex list: a blank line, a section or a value never does, so a list
// left open at the end of a file cannot swallow what is written after it.
bool continuesHexList(const std::string& line) {
    const std::string text = trimmed(line);
    return !text.empty() && text.front() != '[' && text.front() != '"' && text.front() != '@';
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            // Carriage returns at the very end of the file end its last line as CR LF would:
            // kept, they would become CR LF when the line is written, in an LF file too.
            std::string line = text.substr(start);
            while (!line.empty() && line.back() == '\r') line.pop_back();
            if (start < text.size()) lines.push_back(line);
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void appendUtf16(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

// Decodes one UTF-8 sequence at text[at]; a byte that starts no valid sequence stands for
// itself (as in Latin-1), so no byte is lost.
uint32_t decodeUtf8(const std::string& text, size_t& at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    size_t length = 0;
    uint32_t code = 0;
    if (first < 0x80) {
        ++at;
        return first;
    }
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        code = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        code = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        code = first & 0x07;
    }
    bool valid = length != 0 && at + length <= text.size();
    for (size_t i = 1; valid && i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) valid = false;
        else code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
    if (!valid) {
        ++at;
        return first;
    }
    at += length;
    return code;
}

std::string hexList(const std::string& bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
        out += pair;
    }
    return out;
}

}  // namespace

std::string RegFile::utf16leToUtf8(const std::string& bytes) {
    std::string out;
    const auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;  // a lone surrogate
        appendUtf8(out, code);
    }
    return out;
}

std::string RegFile::utf8ToUtf16le(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    size_t at = 0;
    while (at < text.size()) {
        const uint32_t code = decodeUtf8(text, at);
        if (code >= 0x10000) {
            appendUtf16(out, 0xD800 + ((code - 0x10000) >> 10));
            appendUtf16(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            appendUtf16(out, code);
        }
    }
    return out;
}

void RegFile::clear() {
    entries_.clear();
    utf16_ = false;
    utf8Mark_ = false;
    newline_ = "\r\n";
    Entry header;
    header.kind = Kind::Header;
    header.lines = {kHeader};
    entries_.push_back(header);
    Entry blank;
    blank.lines = {""};
    entries_.push_back(blank);
}

bool RegFile::parse(const std::string& bytes) {
    entries_.clear();
    utf16_ = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    utf8Mark_ = !utf16_ && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::string text;
    if (utf16_) text = utf16leToUtf8(bytes.substr(2));
    else if (utf8Mark_) text = bytes.substr(3);
    else text = bytes;
    newline_ = (text.find('\n') == std::string::npos || text.find("\r\n") != std::string::npos) ? "\r\n" : "\n";

    std::vector<std::string> lines = splitLines(text);
    size_t at = 0;
    while (at < lines.size() && trimmed(lines[at]).empty()) {
        Entry blank;
        blank.lines = {lines[at++]};
        entries_.push_back(blank);
    }
    if (at == lines.size()) return false;
    const std::string first = trimmed(lines[at]);
    if (first != kHeader && first != kOldHeader) {
        entries_.clear();
        return false;
    }
    Entry header;
    header.kind = Kind::Header;
    header.lines = {lines[at++]};
    entries_.push_back(header);
    while (at < lines.size()) addLogicalLine(lines, at);
    return true;
}

void RegFile::addLogicalLine(std::vector<std::string>& lines, size_t& at) {
    Entry entry;
    const std::string line = trimmed(lines[at]);
    entry.lines.push_back(lines[at++]);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        entry.kind = Kind::Section;
        entry.key = trimmed(line.substr(1, line.size() - 2));
        entries_.push_back(entry);
        return;
    }
    if (line.empty() || (line.front() != '"' && line.front() != '@')) {
        entries_.push_back(entry);  // blank, comment or a line that says nothing we can read
        return;
    }
    // A hex list may go on over lines that end in a backslash.
    std::string logical = line;
    size_t nameEnd = 0;
    std::string name;
    if (line.front() == '@') nameEnd = 1;
    else if (!readQuoted(line, nameEnd, name)) nameEnd = line.size();
    const size_t equals = logical.find('=', nameEnd);
    const bool hex = equals != std::string::npos && startsWithNoCase(trimmed(logical.substr(equals + 1)), "hex");
    while (hex && !logical.empty() && logical.back() == '\\' && at < lines.size() && continuesHexList(lines[at])) {
        logical.pop_back();
        logical += trimmed(lines[at]);
        entry.lines.push_back(lines[at++]);
    }
    entry.kind = parseValue(logical, entry) ? Kind::Value : Kind::Other;
    entries_.push_back(entry);
}

bool RegFile::parseHexBytes(const std::string& list, std::string& bytes) {
    bytes.clear();
    int high = -1;
    bool pieceDone = false;
    for (char c : list) {
        if (isSpace(c)) continue;
        if (c == ',') {
            if (high >= 0 || !pieceDone) return false;
            pieceDone = false;
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0 || pieceDone) return false;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
            pieceDone = true;
        }
    }
    return high < 0 && (pieceDone || bytes.empty());
}

bool RegFile::parseValue(const std::string& text, Entry& entry) {
    size_t at = 0;
    if (text[0] == '@') {
        entry.name.clear();
        at = 1;
    } else if (!readQuoted(text, at, entry.name)) {
        return false;
    }
    while (at < text.size() && isSpace(text[at])) ++at;
    if (at >= text.size() || text[at] != '=') return false;
    const std::string value = trimmed(text.substr(at + 1));
    if (value.empty()) return false;

    if (value[0] == '"') {
        size_t end = 0;
        if (!readQuoted(value, end, entry.data) || end != value.size()) return false;
        entry.type = 1;
        return true;
    }
    if (startsWithNoCase(value, "dword:")) {
        const std::string digits = value.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t number = 0;
        for (char c : digits) {
            const int digit = hexDigit(c);
            if (digit < 0) return false;
            number = number * 16 + static_cast<uint32_t>(digit);
        }
        entry.type = 4;
        entry.data.clear();
        for (int i = 0; i < 4; ++i) entry.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    if (!startsWithNoCase(value, "hex")) return false;
    size_t colon = 3;
    entry.type = 3;  // REG_BINARY
    if (value.size() > 3 && value[3] == '(') {
        const size_t close = value.find(')', 4);
        if (close == std::string::npos || close == 4 || close > 12) return false;
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            const int digit = hexDigit(value[i]);
            if (digit < 0) return false;
            type = type * 16 + static_cast<uint32_t>(digit);
        }
        entry.type = type;
        colon = close + 1;
    }
    if (colon >= value.size() || value[colon] != ':') return false;
    std::string bytes;
    if (!parseHexBytes(value.substr(colon + 1), bytes)) return false;
    // Strings are stored as UTF-16LE; the program works with 8-bit text.
    if (entry.type == 1 || entry.type == 2 || entry.type == 7) entry.data = utf16leToUtf8(bytes);
    else entry.data = bytes;
    return true;
}

size_t RegFile::findValue(const std::string& key, const std::string& name) const {
    size_t found = std::string::npos;
    bool inKey = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (entry.kind == Kind::Section) inKey = equalNoCase(entry.key, key);
        else if (inKey && entry.kind == Kind::Value && equalNoCase(entry.name, name)) found = i;
    }
    return found;
}

size_t RegFile::insertPoint(const std::string& key) const {
    size_t point = std::string::npos;
    bool inKey = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (entry.kind == Kind::Section) {
            inKey = equalNoCase(entry.key, key);
            if (inKey) point = i + 1;
        } else if (inKey && entry.kind == Kind::Value) {
            point = i + 1;
        }
    }
    return point;
}

bool RegFile::find(const std::string& key, const std::string& name, uint32_t& type, std::string& data) const {
    const size_t at = findValue(key, name);
    if (at == std::string::npos) return false;
    type = entries_[at].type;
    data = entries_[at].data;
    return true;
}

void RegFile::setString(const std::string& key, const std::string& name, const std::string& value) {
    if (entries_.empty()) clear();
    Entry entry;
    entry.kind = Kind::Value;
    entry.name = name;
    entry.type = 1;
    entry.data = value;
    entry.lines = splitLines(stringValueText(name, value, "\n"));

    const size_t existing = findValue(key, name);
    if (existing != std::string::npos) {
        entries_[existing] = entry;
        return;
    }
    const size_t point = insertPoint(key);
    if (point != std::string::npos) {
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(point), entry);
        return;
    }
    Entry blank;
    blank.lines = {""};
    if (!entries_.back().lines.empty() && !trimmed(entries_.back().lines.back()).empty()) entries_.push_back(blank);
    Entry section;
    section.kind = Kind::Section;
    section.key = key;
    section.lines = {"[" + key + "]"};
    entries_.push_back(section);
    entries_.push_back(entry);
    entries_.push_back(blank);
}

std::string RegFile::stringValueText(const std::string& name, const std::string& value, const std::string& newline) {
    std::string text = name.empty() ? std::string("@") : quoted(name);
    text += '=';
    if (!needsHex(value)) return text + quoted(value);

    // Line breaks and other control bytes cannot stand in quotes: the UTF-16LE bytes as hex(1).
    text += "hex(1):";
    const std::string list = hexList(utf8ToUtf16le(value));
    size_t lineLength = text.size();
    size_t at = 0;
    while (at < list.size()) {
        // Each piece is "xx," (the last one "xx"); a line that is full ends in a backslash.
        const size_t piece = std::min<size_t>(3, list.size() - at);
        if (lineLength + piece > kHexLineWidth) {
            text += "\\" + newline + "  ";
            lineLength = 2;
        }
        text += list.substr(at, piece);
        lineLength += piece;
        at += piece;
    }
    return text;
}

std::string RegFile::serialize() const {
    std::string text;
    for (const Entry& entry : entries_)
        for (const std::string& line : entry.lines) text += line + newline_;
    if (utf16_) return "\xFF\xFE" + utf8ToUtf16le(text);
    if (utf8Mark_) return "\xEF\xBB\xBF" + text;
    return text;
}

}  // namespace Quilna
