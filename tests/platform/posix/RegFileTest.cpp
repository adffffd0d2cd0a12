// The .reg text of the POSIX registry: read as exported or hand-written, edited losing no line.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/RegFile.h"

namespace Quilna {
namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources";
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n[" + kKey + "]\r\n";

std::string stringOf(const RegFile& file, const std::string& name, uint32_t expectedType = 1,
                     const std::string& key = kKey) {
    uint32_t type = 0;
    std::string data;
    if (!file.find(key, name, type, data)) return "<missing>";
    EXPECT_EQ(type, expectedType) << name;
    return data;
}

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

TEST(RegFile, ReadsAHandWrittenExportWithEveryValueForm) {
    RegFile file;
    ASSERT_TRUE(file.parse(
        "Windows Registry Editor Version 5.00\r\n\r\n; installed by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Other]\r\n\"Root\"=\"wrong key\"\r\n\r\n"
        "[hkey_local_machine\\software\\quilna\\resources]\r\n"
        "\"Root\"=\"C:\\\\Prog \\\"x\\\"\"\r\n@=\"default\"\r\n\"Level\"=dword:0000002a\r\n\"Short\"=dword:7\r\n"
        "\"LogDir\"=hex(2):43,00,3a,00,5c,00,4c,00,6f,00,67,00,00,00\r\n"
        "\"List\"=hex(7):61,00,00,00,\\\r\n  62,00,63,00,00,00,\\\r\n  00,00\r\n"
        "\"Blob\"=hex:01,ff,\\\r\n  7f\r\n\"Wide\"=hex(1):e9,00,3d,d8,00,de\r\n"
        "\"Twice\"=\"first\"\r\n\"twice\"=\"second\"\r\n"));
    const std::vector<std::tuple<std::string, uint32_t, std::string>> values{
        {"Root", 1, "C:\\Prog \"x\""},
        {"ROOT", 1, "C:\\Prog \"x\""},  // names compare without case
        {"", 1, "default"},
        {"Level", 4, std::string("\x2a\0\0\0", 4)},
        {"Short", 4, std::string("\x07\0\0\0", 4)},
        {"LogDir", 2, std::string("C:\\Log\0", 7)},
        {"List", 7, std::string("a\0bc\0\0", 6)},
        {"Blob", 3, "\x01\xff\x7f"},
        {"Wide", 1, "\xc3\xa9\xf0\x9f\x98\x80"},  // UTF-16 pairs become UTF-8
        {"Twice", 1, "second"},                   // the last one counts, as in an import
        {"Absent", 1, "<missing>"}};
    for (const auto& [name, type, expected] : values) EXPECT_EQ(stringOf(file, name, type), expected) << name;
    EXPECT_EQ(stringOf(file, "Root", 1, kKey + "\\Sub"), "<missing>");
}

TEST(RegFile, WrittenValuesReadBackTheSameInEveryEncoding) {
    const std::vector<std::pair<std::string, std::string>> values{
        {"Tricky", "C:\\dir \"quoted\" ${Root} \\\" end\\"},
        {"Lines", "two\r\nlines\tand a tab, caf\xc3\xa9"},
        {"N", std::string(200, '\n')},
        {"Unusual", std::string("a\0b\xe2\x82\xac\xf0\x9f\x98\x80", 10)},
        {"Empty", ""},
        {"", "default"},
        {"Na\"me\\", "odd name"}};
    RegFile file;
    file.clear();
    for (const auto& [name, value] : values) file.setString(kKey, name, value);
    const std::string text = file.serialize();
    ASSERT_TRUE(file.parse(text));
    for (const auto& [name, value] : values) EXPECT_EQ(stringOf(file, name), value) << name;
    // One header, one section, hex lines no wider than the editor writes them and broken after a byte.
    EXPECT_EQ(text.rfind(kHeader, 0), 0u);
    EXPECT_EQ(text.find("[" + kKey + "]"), text.rfind("[" + kKey + "]"));
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        EXPECT_TRUE(line.size() <= 80 && (!line.ends_with('\\') || line.ends_with(",\\"))) << line;
    }

    const std::string plain = kHeader + "\"A\"=\"x\"\r\n";
    ASSERT_TRUE(file.parse("\xFF\xFE" + utf16(plain)));
    EXPECT_EQ(stringOf(file, "A"), "x");
    file.setString(kKey, "B", "y");
    EXPECT_EQ(file.serialize(), "\xFF\xFE" + utf16(plain + "\"B\"=\"y\"\r\n"));
    ASSERT_TRUE(file.parse("\xEF\xBB\xBF" + plain));
    EXPECT_EQ(file.serialize(), "\xEF\xBB\xBF" + plain);
    // A lone surrogate becomes U+FFFD, a pair one character; bytes of no valid UTF-8 sequence stand for themselves.
    EXPECT_EQ(RegFile::utf16leToUtf8(std::string("\x00\xd8\x41\x00\x3d\xd8\x00\xde\x41\x00", 10)),
              "\xef\xbf\xbd\x41\xf0\x9f\x98\x80\x41");
    for (const std::string bytes : {"\xff", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"})
        EXPECT_EQ(RegFile::utf8ToUtf16le(bytes), utf16(bytes)) << bytes;
}

TEST(RegFile, EditingKeepsEveryOtherLineAndItsLineEnds) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n; a comment that stays\n[" + kKey +
                             "]\n\"Counter\"=\"3\"\n\"Broken\"=dword:xyz\n\"Kept\"=hex(2):41,00,\\\n  00,00\n";
    const std::string other = "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"Counter\"=\"other key\"\n";
    RegFile file;
    ASSERT_TRUE(file.parse(head + other));
    EXPECT_EQ(stringOf(file, "Broken"), "<missing>");
    file.setString(kKey, "Counter", "4");
    file.setString(kKey, "New", "n");
    file.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Third", "T", "t");
    std::string expected =
        head + "\"New\"=\"n\"\n" + other + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Third]\n\"T\"=\"t\"\n\n";
    expected.replace(expected.find("\"3\""), 3, "\"4\"");
    EXPECT_EQ(file.serialize(), expected);

    // Cut after a carriage return: LF stays the line end, written once and again.
    const std::string lines = "Windows Registry Editor Version 5.00\n\n[" + kKey + "]\n\"A\"=\"1\"";
    ASSERT_TRUE(file.parse(lines + "\r\r"));
    EXPECT_EQ(stringOf(file, "A"), "1");
    EXPECT_EQ(file.serialize(), lines + "\n");
    ASSERT_TRUE(file.parse(file.serialize()));
    EXPECT_EQ(file.serialize(), lines + "\n");
}

TEST(RegFile, MalformedTextGivesNoValuesAndLosesNoLine) {
    RegFile file;
    for (const std::string& text :
         {std::string(), std::string("\"Root\"=\"no header\"\n"), "[" + kKey + "]\n\"Root\"=\"x\"\n"})
        EXPECT_TRUE(!file.parse(text) && stringOf(file, "Root") == "<missing>") << text;
    // Lines that cannot be read are skipped; the readable ones still count.
    const std::string broken =
        "REGEDIT4\n[" + kKey + "\n[" + kKey +
        "]\n\"Open\"=\"no closing quote\n"
        "\"Odd\"=hex:1,2,3\n\"Half\"=hex:0\n\"Big\"=dword:123456789\n\"Type\"=hex(zz):00\n"
        "\"Trailing\"=\"x\" junk\n\"Escaped\"=\"ends\\\"\n\"NoValue\"=\n\"Deleted\"=-\n\"Good\"=\"yes\"\n"
        "garbage line\n\"Tail\"=hex:41,\\";
    ASSERT_TRUE(file.parse(broken));
    for (const char* name : {"Open", "Odd", "Half", "Big", "Type", "Trailing", "Escaped", "NoValue", "Deleted", "Tail"})
        EXPECT_EQ(stringOf(file, name), "<missing>") << name;
    EXPECT_EQ(stringOf(file, "Good"), "yes");
    EXPECT_EQ(file.serialize(), broken + "\n") << "nothing is lost when the file is written again";

    // A hex list left open swallows no value or section; a key added after it is found again.
    const std::string third = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Third";
    ASSERT_TRUE(file.parse(kHeader + "\"Open\"=hex:01,\\\r\n\"After\"=\"a\"\r\n\"Cut\"=hex:02,\\\\"));
    EXPECT_EQ(stringOf(file, "After"), "a") << "a value line is no continuation";
    EXPECT_EQ(stringOf(file, "Open", 3), "<missing>");
    file.setString(third, "T", "t");
    ASSERT_TRUE(file.parse(file.serialize()));
    EXPECT_EQ(stringOf(file, "T", 1, third), "t");
    EXPECT_EQ(stringOf(file, "After"), "a");
}

}  // namespace
}  // namespace Quilna
