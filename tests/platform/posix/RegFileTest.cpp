// The .reg text of the POSIX registry: reading exports of the registry editor, hand-written
// files and the program's own output, and editing without losing what it does not touch.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/RegFile.h"
#include "platform/posix/RegFileCache.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources";

std::string stringOf(const RegFile& file, const std::string& name, uint32_t expectedType = 1) {
    uint32_t type = 0;
    std::string data;
    if (!file.find(kKey, name, type, data)) return "<missing>";
    EXPECT_EQ(type, expectedType) << name;
    return data;
}

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(RegFile, ReadsAHandWrittenExportWithEveryValueForm) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; installed by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Other]\r\n"
        "\"Root\"=\"wrong key\"\r\n"
        "\r\n"
        "[hkey_local_machine\\software\\quilna\\resources]\r\n"
        "\"Root\"=\"C:\\\\Prog \\\"x\\\"\"\r\n"
        "@=\"default\"\r\n"
        "\"Level\"=dword:0000002a\r\n"
        "\"Short\"=dword:7\r\n"
        // "C:\Log" and "%TEMP%" as REG_EXPAND_SZ, with the terminating zero.
        "\"LogDir\"=hex(2):43,00,3a,00,5c,00,4c,00,6f,00,67,00,00,00\r\n"
        // "a", "bc" as REG_MULTI_SZ, over continuation lines.
        "\"List\"=hex(7):61,00,00,00,\\\r\n"
        "  62,00,63,00,00,00,\\\r\n"
        "  00,00\r\n"
        "\"Blob\"=hex:01,ff,\\\r\n"
        "  7f\r\n"
        "\"Wide\"=hex(1):e9,00,3d,d8,00,de\r\n"
        "\"Twice\"=\"first\"\r\n"
        "\"twice\"=\"second\"\r\n";
    RegFile file;
    ASSERT_TRUE(file.parse(text));

    EXPECT_EQ(stringOf(file, "Root"), "C:\\Prog \"x\"");
    EXPECT_EQ(stringOf(file, "ROOT"), "C:\\Prog \"x\"") << "names compare without case";
    EXPECT_EQ(stringOf(file, ""), "default");
    EXPECT_EQ(stringOf(file, "Level", 4), std::string("\x2a\0\0\0", 4));
    EXPECT_EQ(stringOf(file, "Short", 4), std::string("\x07\0\0\0", 4));
    EXPECT_EQ(stringOf(file, "LogDir", 2), std::string("C:\\Log\0", 7));
    EXPECT_EQ(stringOf(file, "List", 7), std::string("a\0bc\0\0", 6));
    EXPECT_EQ(stringOf(file, "Blob", 3), "\x01\xff\x7f");
    EXPECT_EQ(stringOf(file, "Wide"), "\xc3\xa9\xf0\x9f\x98\x80") << "UTF-16 pairs become UTF-8";
    EXPECT_EQ(stringOf(file, "Twice"), "second") << "the last one counts, as in an import";
    EXPECT_EQ(stringOf(file, "Absent"), "<missing>");

    uint32_t type = 0;
    std::string data;
    EXPECT_FALSE(file.find(kKey + "\\Sub", "Root", type, data));
}

TEST(RegFile, ReadsUtf16ExportsAndWritesThemBackInTheirEncoding) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + kKey + "]\r\n\"A\"=\"x\"\r\n";
    RegFile file;
    ASSERT_TRUE(file.parse("\xFF\xFE" + utf16(text)));
    EXPECT_EQ(stringOf(file, "A"), "x");
    file.setString(kKey, "B", "y");
    const std::string written = file.serialize();
    ASSERT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(written, "\xFF\xFE" + utf16(text + "\"B\"=\"y\"\r\n"));

    RegFile marked;
    ASSERT_TRUE(marked.parse("\xEF\xBB\xBF" + text));
    EXPECT_EQ(stringOf(marked, "A"), "x");
    EXPECT_EQ(marked.serialize().substr(0, 3), "\xEF\xBB\xBF");
}

TEST(RegFile, WrittenValuesReadBackTheSame) {
    RegFile file;
    file.clear();
    const std::string tricky = "C:\\dir \"quoted\" ${Root} \\\" end\\";
    const std::string lines = "two\r\nlines\tand a tab, caf\xc3\xa9";
    const std::string longLines(200, '\n');
    file.setString(kKey, "Tricky", tricky);
    file.setString(kKey, "Lines", lines);
    file.setString(kKey, "Long", longLines);
    file.setString(kKey, "Empty", "");
    file.setString(kKey, "", "default");
    file.setString(kKey, "Na\"me\\", "odd name");

    RegFile back;
    ASSERT_TRUE(back.parse(file.serialize()));
    EXPECT_EQ(stringOf(back, "Tricky"), tricky);
    EXPECT_EQ(stringOf(back, "Lines"), lines);
    EXPECT_EQ(stringOf(back, "Long"), longLines);
    EXPECT_EQ(stringOf(back, "Empty"), "");
    EXPECT_EQ(stringOf(back, ""), "default");
    EXPECT_EQ(stringOf(back, "Na\"me\\"), "odd name");

    // One header, one section, hex lines no wider than the editor writes them.
    const std::string text = file.serialize();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n[" + kKey + "]\r\n", 0), 0u);
    EXPECT_EQ(text.find("[" + kKey + "]"), text.rfind("[" + kKey + "]"));
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
}

TEST(RegFile, EditingKeepsEveryOtherLine) {
    const std::string text =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; a comment that stays\n"
        "[" + kKey + "]\n"
        "\"Counter\"=\"3\"\n"
        "\"Broken\"=dword:xyz\n"
        "\"Kept\"=hex(2):41,00,\\\n"
        "  00,00\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
        "\"Counter\"=\"other key\"\n";
    RegFile file;
    ASSERT_TRUE(file.parse(text));
    EXPECT_EQ(stringOf(file, "Broken"), "<missing>");
    file.setString(kKey, "Counter", "4");
    file.setString(kKey, "New", "n");
    file.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Third", "T", "t");
    EXPECT_EQ(file.serialize(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "; a comment that stays\n"
              "[" + kKey + "]\n"
              "\"Counter\"=\"4\"\n"
              "\"Broken\"=dword:xyz\n"
              "\"Kept\"=hex(2):41,00,\\\n"
              "  00,00\n"
              "\"New\"=\"n\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
              "\"Counter\"=\"other key\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Third]\n"
              "\"T\"=\"t\"\n"
              "\n");
}

TEST(RegFile, AFileCutAfterACarriageReturnKeepsItsLineFeeds) {
    const std::string lines = "Windows Registry Editor Version 5.00\n\n[" + kKey + "]\n\"A\"=\"1\"";
    RegFile file;
    ASSERT_TRUE(file.parse(lines + "\r\r"));
    EXPECT_EQ(stringOf(file, "A"), "1");
    // Written once and again: LF stays the line end, no CR LF creeps in.
    EXPECT_EQ(file.serialize(), lines + "\n");
    RegFile again;
    ASSERT_TRUE(again.parse(file.serialize()));
    EXPECT_EQ(again.serialize(), lines + "\n");
}

TEST(RegFile, AHexListLeftOpenSwallowsNoValueOrSection) {
    const std::string third = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Third";
    RegFile file;
    ASSERT_TRUE(file.parse("Windows Registry Editor Version 5.00\r\n\r\n[" + kKey +
                           "]\r\n\"Open\"=hex:01,\\\r\n\"After\"=\"a\"\r\n\"Cut\"=hex:02,\\\\"));
    EXPECT_EQ(stringOf(file, "After"), "a") << "a value line is no continuation";
    EXPECT_EQ(stringOf(file, "Open", 3), "<missing>");
    // The new key goes after the list still open at the end; written and read again, it is there.
    file.setString(third, "T", "t");
    RegFile again;
    ASSERT_TRUE(again.parse(file.serialize()));
    uint32_t type = 0;
    std::string data;
    ASSERT_TRUE(again.find(third, "T", type, data));
    EXPECT_EQ(data, "t");
    EXPECT_EQ(stringOf(again, "After"), "a");
}

TEST(RegFile, MalformedTextGivesNoValuesAndNeverFails) {
    RegFile file;
    EXPECT_FALSE(file.parse(""));
    EXPECT_FALSE(file.parse("\"Root\"=\"no header\"\n"));
    EXPECT_FALSE(file.parse("[" + kKey + "]\n\"Root\"=\"x\"\n"));
    uint32_t type = 0;
    std::string data;
    EXPECT_FALSE(file.find(kKey, "Root", type, data));

    // Lines that cannot be read are skipped; the readable ones still count.
    const std::string broken =
        "REGEDIT4\n"
        "[" + kKey + "\n"
        "[" + kKey + "]\n"
        "\"Open\"=\"no closing quote\n"
        "\"Odd\"=hex:1,2,3\n"
        "\"Half\"=hex:0\n"
        "\"Big\"=dword:123456789\n"
        "\"Type\"=hex(zz):00\n"
        "\"Trailing\"=\"x\" junk\n"
        "\"NoValue\"=\n"
        "\"Deleted\"=-\n"
        "\"Good\"=\"yes\"\n"
        "garbage line\n"
        "\"Tail\"=hex:41,\\";
    ASSERT_TRUE(file.parse(broken));
    for (const char* name : {"Open", "Odd", "Half", "Big", "Type", "Trailing", "NoValue", "Deleted"})
        EXPECT_FALSE(file.find(kKey, name, type, data)) << name;
    EXPECT_EQ(stringOf(file, "Good"), "yes");
    EXPECT_FALSE(file.find(kKey, "Tail", type, data));
    EXPECT_EQ(file.serialize(), broken + "\n") << "nothing is lost when the file is written again";
}

TEST(RegFile, Utf16ConversionsKeepEveryCharacter) {
    const std::string text = std::string("a\0b", 3) + "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    EXPECT_EQ(RegFile::utf16leToUtf8(RegFile::utf8ToUtf16le(text)), text);
    // A lone surrogate cannot be UTF-8: it becomes the replacement character.
    EXPECT_EQ(RegFile::utf16leToUtf8(std::string("\x00\xd8\x41\x00", 4)), "\xef\xbf\xbd" "A");
    // A byte that starts no UTF-8 sequence stands for itself.
    EXPECT_EQ(RegFile::utf8ToUtf16le("\xff"), std::string("\xff\x00", 2));
}

// A large file read a hundred times is parsed once; a new file under the name is parsed again;
// what is no regular file is refused at once instead of waited on.
TEST(RegFileCache, ParsesEachFileOnceUntilItChangesAndNeverWaitsOnAFifo) {
    TestSupport::TestDirectory directory;
    const std::string path = directory.child("Resources.reg");
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + kKey + "]\r\n";
    for (int i = 0; i < 200000; ++i) text += "\"Filler" + std::to_string(i) + "\"=\"" + std::string(20, 'f') + "\"\r\n";
    text += "\"Root\"=\"first\"\r\n";
    std::ofstream(path, std::ios::binary) << text;
    posix::RegFileCache cache;
    for (int read = 0; read < 100; ++read) {
        const auto file = cache.load(path);
        ASSERT_TRUE(file);
        EXPECT_EQ(stringOf(*file, "Root"), "first");
    }
    EXPECT_EQ(cache.parses(), 1u);

    // Replaced the way the program writes: a new file renamed over the old one.
    std::ofstream(path + ".new", std::ios::binary) << "REGEDIT4\n[" + kKey + "]\n\"Root\"=\"second\"\n";
    std::filesystem::rename(path + ".new", path);
    ASSERT_TRUE(cache.load(path));
    EXPECT_EQ(stringOf(*cache.load(path), "Root"), "second");
    EXPECT_EQ(cache.parses(), 2u);

    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(cache.load(path));
    EXPECT_FALSE(cache.load(directory.text()));
    EXPECT_FALSE(cache.load(directory.child("missing.reg")));
    EXPECT_EQ(cache.parses(), 2u);
}

}  // namespace
}  // namespace Quilna
