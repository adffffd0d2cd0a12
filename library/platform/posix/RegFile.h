#pragma once
// The text of a Windows registry export (.reg file) as the POSIX backend keeps registry keys:
// "Windows Registry Editor Version 5.00", [HKEY_...] sections and their values. Editing keeps
// every line it does not change (comments, other keys, lines it cannot read), so the file
// imports into a Windows registry as it did before.

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

class RegFile {
public:
    // Reads the bytes of a file: UTF-16LE with byte-order mark (as the registry editor
    // exports), or 8-bit text (UTF-8, with or without mark). False when the first line is not
    // a .reg header; such a file has no values.
    bool parse(const std::string& bytes);

    // Starts an empty file (header only).
    void clear();

    // The value of a key section; key and value names compare without case, as in the registry.
    // Strings (types 1, 2, 7) come as 8-bit text, separators and trailing zeros kept; dwords as
    // 4 bytes little-endian; other types as their raw bytes. When a name occurs more than once,
    // the last one counts, as in an import.
    bool find(const std::string& key, const std::string& name, uint32_t& type, std::string& data) const;

    // Stores a string value (type 1): replaces the value's lines, or adds them after the last
    // value of the key's section, or adds the section at the end.
    void setString(const std::string& key, const std::string& name, const std::string& value);

    // The whole file in the encoding and line ends it was read with (new files: 8-bit, CR LF).
    std::string serialize() const;

    // One value line (continuation lines included, without the final line end).
    static std::string stringValueText(const std::string& name, const std::string& value, const std::string& newline);

    static std::string utf16leToUtf8(const std::string& bytes);
    static std::string utf8ToUtf16le(const std::string& text);

private:
    enum class Kind { Header, Section, Value, Other };
    struct Entry {
        Kind kind = Kind::Other;
        std::vector<std::string> lines;  // the physical lines, without line ends
        std::string key;                 // Section: the key path between the brackets
        std::string name;                // Value: the value name ("" for @)
        uint32_t type = 0;
        std::string data;
    };

    void addLogicalLine(std::vector<std::string>& lines, size_t& at);
    static bool parseValue(const std::string& text, Entry& entry);
    static bool parseHexBytes(const std::string& list, std::string& bytes);
    // Index of the last value of that name in a section of that key, or npos.
    size_t findValue(const std::string& key, const std::string& name) const;
    // Where a new value of the key goes: after the last value of its last section, or npos.
    size_t insertPoint(const std::string& key) const;

    std::vector<Entry> entries_;
    bool utf16_ = false;
    bool utf8Mark_ = false;
    std::string newline_ = "\r\n";
};

}  // namespace Quilna
