// The configuration text: its tokens, the tree of entries, typed lookups and references.
#include <gtest/gtest.h>

#include <tuple>

#include "config/ConfReader.h"
#include "config/ConfSearcher.h"
#include "config/DOMNode.h"
#include "config/Tokenizer.h"
#include "config/WhitespaceSearcher.h"
#include "logger/ConfigurationLog.h"
#include "support/CapturedLog.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::CapturedLog;
using Entries = std::vector<std::string>;

// A reader with every debug line on and its log in memory; paths as on POSIX unless a test says.
class ConfReaderTest : public ::testing::Test {
protected:
    ConfReaderTest() {
        setDebugLevel(5);
        fake.syntax = PathSyntax{};
    }

    bool read(const std::string& text) { return reader.buildTreeFromText(text, "test.conf"); }

    // The children of a node as name|type|value.
    static Entries describe(const DOMNode* parent) {
        Entries entries;
        for (const DOMNode* node = parent ? parent->firstChild() : nullptr; node; node = node->nextSibling())
            entries.push_back(node->name() + "|" + node->type() + "|" + node->value());
        return entries;
    }
    Entries topLevel() const { return describe(reader.root()); }

    // A typed lookup as "result:value", the value left "-" unless the lookup succeeded.
    std::string lookup(const std::string& type, const std::string& path) const {
        std::string text = "-";
        bool flag = false;
        int32_t number = 7;
        TimeSpanParts span;
        const int result = type == "Bool"       ? reader.getBool(path, flag)
                           : type == "Integer"  ? reader.getInteger(path, number)
                           : type == "TimeSpan" ? reader.getTimeSpan(path, span)
                           : type == "DirName"  ? reader.getDirName(path, text)
                           : type == "FileName" ? reader.getFileName(path, text)
                                                : reader.getString(path, text, type == "string", type == "string");
        if (result == ConfResult::Found && type == "Bool") text = flag ? "true" : "false";
        if (result == ConfResult::Found && type == "Integer") text = std::to_string(number);
        if (result == ConfResult::Found && type == "TimeSpan")
            text = std::to_string(span.days) + "d" + std::to_string(span.seconds) + "s";
        return std::to_string(result) + ":" + text;
    }

    TestSupport::LogStateScope state;
    FakePlatform fake;
    CapturedLog log;
    ConfReader reader{fake, makeSmart<ConfigurationLog>(fake, log.centre)};
};

TEST_F(ConfReaderTest, EntriesLayoutQuotesCommentsAndLongTrees) {
    const std::vector<std::pair<std::string, Entries>> cases{
        {"a () = '' { }", {"a||"}},
        {"\001a\n(\nString\r\n)\t=\037\"v\"\n{\n}\n", {"a|String|v"}},
        {"plain () = word {} single () = 'one two' {}\n"
         "doubled () = \"C:\\\\dir\" {} single-backslash () = \"C:\\dir\" {}\n"
         "escaped () = \"say \\\"hi\\\"\" {}",
         {"plain||word", "single||one two", "doubled||C:\\dir", "single-backslash||C:\\ir", "escaped||say \\hi\\"}},
        {"a (String) = '# not a comment' {}", {"a|String|# not a comment"}},
        {"# settings\nh () = '' { // own block\n  b (Integer) = '1000' {} # per flush\n"
         "  /* a block\n     comment */ e /* here too */ (Bool) = 'true' {}\n}\r\n// the end\r\n",
         {"h||"}},
    };
    for (const auto& [text, entries] : cases) {
        EXPECT_TRUE(read(text)) << text;
        EXPECT_EQ(topLevel(), entries) << text;
    }
    EXPECT_EQ(describe(reader.find("h")), (Entries{"b|Integer|1000", "e|Bool|true"}));
    std::string wide;  // a long tree is freed without deep recursion
    for (int entry = 0; entry < 200000; ++entry) wide += "e()=''{}";
    read(wide);
    EXPECT_EQ(topLevel().size(), 200000u);
}

TEST_F(ConfReaderTest, SyntaxErrorsNameTheLineAndKeepEarlierEntries) {
    std::string deep;
    for (int level = 0; level < 257; ++level) deep += "a()=''{";
    const std::vector<std::tuple<std::string, Entries, std::string, int>> cases{
        {"first () = '1' {}\nsecond () = '2' {}\n\nthird (String) '3' {}\nfourth () = '4' {}\n",
         {"first||1", "second||2"},
         "Missing '=' in entry \"third\", found \"'3'\".",
         4},
        {"a = '' {}", {}, "Missing '(' in entry \"a\", found \"=\".", 1},
        {"a (String 'x' {}", {}, "Missing ')' in entry \"a\", found \"'x'\".", 1},
        {"a () = '' " + std::string(41, 'b') + " {}", {}, "found \"" + std::string(40, 'b') + "...\".", 1},
        {"ok () = '' {\n}\nb\n(\n)\n= '' }", {"ok||"}, "Missing '{' in entry \"b\", found \"}\".", 6},
        {"a () = '' {}\n} b () = '' {}", {"a||"}, "Unexpected '}': it closes no entry.", 2},
        {"a () = 'x' {\n b () = 'y' {",
         {"a||x"},
         "Missing '}' of entry \"b\" opened in line 2, found the end of the file.",
         2},
        {"a () = 'x' {\n", {"a||x"}, "Missing '}' of entry \"a\" opened in line 1, found the end of the file.", 1},
        {"a () = 'x' {}\nb () = ", {"a||x"}, "Missing a value in entry \"b\", found the end of the file.", 2},
        {"a () = 'x' {}\n\nb (String", {"a||x"}, "Missing ')' in entry \"b\", found the end of the file.", 3},
        {deep, {}, "nested deeper than 256 levels", 1},
    };
    for (const auto& [text, entries, message, line] : cases) {
        SCOPED_TRACE(text.substr(0, 100));
        log.clear();
        EXPECT_FALSE(read(text));
        EXPECT_EQ(topLevel(), entries);
        const auto errors = log.containing("(17.01.02)");
        ASSERT_EQ(errors.size(), 1u);
        for (const char* part : {"test.conf  Configuration: Error in conf file. (Code: 1.1)", message.c_str(),
                                 ">  ConfReader("})  // the trail names bare files
            EXPECT_NE(errors[0].find(part), std::string::npos) << errors[0];
        EXPECT_TRUE(errors[0].ends_with(")  " + std::to_string(line))) << errors[0];  // also without debugging
        EXPECT_EQ(log.containing(", line " + std::to_string(line) + ".").size(), 1u);
        EXPECT_EQ(log.containing("ConfReader: Missing '").size(), message.find("found \"") != std::string::npos);
    }
    read("a () = 'x' { b () = 'y' {");  // a block that reaches the end keeps its entries
    EXPECT_EQ(describe(reader.find("a")), (Entries{"b||y"}));
    EXPECT_TRUE(read(deep.substr(7) + std::string(256, '}')));  // 256 levels are allowed
}

TEST_F(ConfReaderTest, FilesAndTypedLookups) {
    EXPECT_EQ(lookup("String", "a"), "2:-");  // no tree yet
    TestSupport::TestDirectory directory;
    EXPECT_TRUE(reader.buildTree(directory.write("hoardscan.conf", "a (String) = 'from file' {}\n")));
    EXPECT_EQ(lookup("String", "a"), "0:from file");
    EXPECT_FALSE(reader.buildTree(directory.child("missing.conf")));
    const auto errors = log.containing("(17.01.01)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("missing.conf"), std::string::npos);
    EXPECT_EQ(lookup("String", "a"), "0:from file");  // the old tree stays
    read(
        "Quilna () = '' { directories () = '' { conf (DirName) = '/etc/q' {} } }\n"
        "twice (String) = 'first' {} twice (String) = 'second' {} \"quoted\" (String) = 'q' {}\n"
        "untyped () = 'v' {} t (Bool) = 'TRUE' {} f (Bool) = 'False' {} padded (Bool) = ' true' {}\n"
        "n1 (Integer) = '12abc' {} n2 (Integer) = 'abc' {} n3 (Integer) = ' -42' {}\n"
        "n4 (Integer) = '2147483648' {}\n"
        "s (String) = '  Mixed Case  ' {} period (TimeSpan) = 'P1D2H3M4S' {} bad-period (TimeSpan) = '1 day' {}\n"
        "file (FileName) = ' logs//a.log ' {} dir-like (FileName) = 'logs/' {} none (FileName) = '' {}");
    const std::vector<std::tuple<const char*, const char*, const char*>> cases{
        {"DirName", "Quilna.directories.conf", "0:/etc/q/"},
        {"String", "twice", "0:first"},
        {"String", "\"quoted\"", "0:q"},
        {"DirName", "quoted", "2:-"},
        {"DirName", "Quilna.directories.conf.deeper", "2:-"},
        {"String", "untyped", "1:-"},
        {"Integer", "twice", "3:-"},
        {"Bool", "t", "0:true"},
        {"Bool", "f", "0:false"},
        {"Bool", "padded", "4:-"},
        {"Integer", "n1", "0:12"},
        {"Integer", "n2", "0:0"},
        {"Integer", "n3", "0:-42"},
        {"Integer", "n4", "5:-"},  // beyond 32 bits is refused, not cut to the largest number
        {"String", "s", "0:  Mixed Case  "},
        {"string", "s", "0:mixed case"},
        {"TimeSpan", "period", "0:1d4s"},
        {"TimeSpan", "bad-period", "5:-"},
        {"FileName", "file", "0:logs/a.log"},
        {"FileName", "dir-like", "5:-"},
        {"FileName", "none", "0:"}};
    for (const auto& [type, path, expected] : cases) EXPECT_EQ(lookup(type, path), expected) << type << " " << path;
    EXPECT_EQ(log.containing("ConfReader: Found, but type is \"String\", not \"Integer\".").size(), 1u);
}

TEST_F(ConfReaderTest, ReferencesExpand) {
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += "${big}";
    auto chain = [](const std::string& name, int links) {
        std::string text;
        for (int i = 0; i < links; ++i)
            text += name + std::to_string(i) + " (String) = '${" + name + std::to_string(i + 1) + "}' {}\n";
        return text + name + std::to_string(links) + " (String) = 'end' {}\n";
    };
    read(
        "base (DirName) = '/data' {} work (DirName) = '${base}scan' {}\n"
        "name (String) = 'scan' {} mixed (FileName) = '${base}//${name}.log' {}\n"
        "chain (String) = '${mixed}' {} empty (DirName) = '' {} from-empty (String) = '[${empty}]' {}\n"
        "open (String) = 'x${b' {} missing (String) = '${nowhere}' {} untyped () = 'u' {}\n"
        "to-untyped (String) = '${untyped}' {}\n"
        "self (String) = 'a${self}' {} ping (String) = '${pong}' {} pong (String) = '${ping}' {}\n"
        "big (String) = '" +
        std::string(40000, 'x') + "' {} sixty (String) = '" + sixty + "' {}\n" + "half (DirName) = '" +
        std::string(32767, 'h') + "' {} whole (String) = '${half}${half}' {}\n" +
        "over (String) = '${half}${half}!' {}\n" + chain("e", ConfReader::maxSubstitutions) +
        chain("f", ConfReader::maxSubstitutions + 1));
    const std::vector<std::tuple<const char*, const char*, const char*>> cases{
        {"DirName", "work", "0:/data/scan/"},
        {"FileName", "mixed", "0:/data/scan.log"},
        {"String", "chain", "0:/data///scan.log"},  // the referenced entry's type is not compared
        {"String", "from-empty", "0:[]"},
        {"String", "open", "6:-"},
        {"String", "missing", "2:-"},
        {"String", "to-untyped", "1:-"},
        {"String", "untyped", "1:-"},
        {"String", "nowhere", "2:-"},
        {"String", "self", "8:-"},
        {"String", "ping", "8:-"},
        {"String", "sixty", "9:-"},
        {"String", "over", "9:-"},
        {"String", "e0", "0:end"},
        {"String", "f0", "8:-"}};
    for (const auto& [type, path, expected] : cases) EXPECT_EQ(lookup(type, path), expected) << path;
    // Up to the bound, the separator a directory brings along included.
    EXPECT_EQ(lookup("String", "whole"), "0:" + std::string(32767, 'h') + "/" + std::string(32767, 'h') + "/");

    const auto refused = log.containing("(17.01.03)");
    ASSERT_EQ(refused.size(), 6u);  // unclosed, two loops, two too long, the overlong chain
    EXPECT_NE(refused[1].find("self"), std::string::npos) << refused[1];
    EXPECT_NE(refused[3].find("sixty  its value grows beyond 65536 bytes with the reference ${big}"), std::string::npos)
        << refused[3];
    for (const char* line :
         {"Getting DirName work...", "Not found.", "Found, but has no value.",  // debug level 5
          "Got raw value \"${base}scan\".", "Reference \"base\" = \"/data\".", "Got final value \"/data/scan/\".",
          "Found, but reference inside value was not.", "Found, but reference inside value didn't have a value."})
        EXPECT_FALSE(log.containing(std::string("ConfReader: ") + line).empty()) << line;

    fake.syntax = FakePlatform::windowsSyntax();
    read("base (DirName) = 'C:/data' {} work (DirName) = '${base}scan' {} unc (DirName) = '\\\\\\\\server//share' {}");
    EXPECT_EQ(lookup("DirName", "work"), "0:C:\\data\\scan\\");
    EXPECT_EQ(lookup("DirName", "unc"), "0:\\\\server\\share\\");
}

// The tokens of a text, the insignificant ones in brackets.
Entries tokensOf(const std::string& text, const StringSearcher& searcher) {
    Tokenizer tokenizer(text, searcher);
    Entries pieces;
    Token token;
    while (tokenizer.next(token)) pieces.push_back(token.significant ? token.text : "[" + token.text + "]");
    return pieces;
}

TEST(Searchers, EntriesDelimitersQuotesAndComments) {
    const std::vector<std::pair<std::string, Entries>> cases{
        {"a(String)=\"v\"{}", {"a", "(", "String", ")", "=", "\"v\"", "{", "}"}},
        {"\t  a\r\nb", {"[\t]", "[  ]", "a", "[\r]", "\n", "b"}},
        {"abécd e", {"abécd", "[ ]", "e"}},
        {R"("a\"b c" x)", {R"("a\"b c")", "[ ]", "x"}},
        {"\"open ( = {", {"\"open ( = {"}},
        {"'a\\'", {"'a\\'"}},  // the escaped quote cannot close it
        {"# note = x\nb", {"# note = x", "\n", "b"}},
        {"a#b c", {"a#b", "[ ]", "c"}},  // a comment only at the start of a token
        {"ab//c\nd", {"ab", "//c", "\n", "d"}},
        {"//\nb", {"//", "\n", "b"}},
        {"//\r\n//x\r", {"//", "[\r]", "\n", "//x\r"}},  // a carriage return ends a comment only before a newline
        {"a /* x\n } */ b", {"a", "[ ]", "/* x\n } */", "[ ]", "b"}},
        {"/* 2*3 /x */ b/**/c", {"/* 2*3 /x */", "[ ]", "b", "/**/", "c"}},
        {"/*/ b", {"/*/ b"}},  // unclosed: the rest of the text
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(tokensOf(text, ConfSearcher()), tokens) << text;
    for (const char* comment : {"# x", "// x", "/* x */"}) EXPECT_TRUE(ConfSearcher::isComment(comment));
    for (const char* word : {"a#", "/x", "\"#\""}) EXPECT_FALSE(ConfSearcher::isComment(word));
    uint8_t significant = 0;  // a quote is closed only within the window
    EXPECT_EQ(ConfSearcher().findEnd("'ab' c", 0, 3, significant), 3u);
    EXPECT_EQ(ConfSearcher().findEnd("a//b", 0, 2, significant), 2u);  // nor a comment begun at its edge
    WhitespaceSearcher searcher;  // the rules files' words: cut at any whitespace, quoted stretches kept
    EXPECT_EQ(tokensOf("PC42:fixed:\"c:\\my dir\" exclude\r\n\tnext", searcher),
              (Entries{"PC42:fixed:\"c:\\my dir\"", "[ ]", "exclude", "[\r\n\t]", "next"}));
    searcher.quote = '\'';
    EXPECT_EQ(tokensOf("'a b' \"c d\"", searcher), (Entries{"'a b'", "[ ]", "\"c", "[ ]", "d\""}));
}

}  // namespace
}  // namespace Quilna
