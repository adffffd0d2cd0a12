#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "common/ConfReader.h"
#include "common/DOMNode.h"
#include "logger/LogCommons.h"
#include "support/FakePlatform.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::CapturedLog;

// A reader over a text, with every debug line on and its log in memory. Paths are written as
// on POSIX unless a test chooses the Windows syntax.
class ConfReaderTest : public ::testing::Test {
protected:
    ConfReaderTest() {
        setDebugLevel(5);
        fake.syntax = PathSyntax{};
    }

    ConfReader& read(const std::string& text) {
        built = reader.buildTreeFromText(text, "test.conf");
        return reader;
    }

    // The children of a node as name/type/value triples.
    static std::vector<std::string> describe(const DOMNode* parent) {
        std::vector<std::string> entries;
        for (const DOMNode* node = parent ? parent->firstChild() : nullptr; node; node = node->nextSibling())
            entries.push_back(node->name() + "|" + node->type() + "|" + node->value());
        return entries;
    }
    std::vector<std::string> topLevel() const { return describe(reader.root()); }

    TestSupport::LogStateScope state;
    FakePlatform fake;
    CapturedLog log;
    ConfReader reader{log.centre};
    bool built = false;
};

using Entries = std::vector<std::string>;

TEST_F(ConfReaderTest, EntriesWithAndWithoutTypesValuesAndChildren) {
    read("a () = '' { }");
    EXPECT_TRUE(built);
    EXPECT_EQ(topLevel(), (Entries{"a||"}));

    read("a (String) = \"x\" { b (Integer) = \"5\" { } }");
    EXPECT_EQ(topLevel(), (Entries{"a|String|x"}));
    EXPECT_EQ(describe(reader.find("a")), (Entries{"b|Integer|5"}));
    EXPECT_EQ(reader.root()->name(), "Root");
}

TEST_F(ConfReaderTest, ValuesLoseTheirQuotesAndKeepEscapedBackslashesOnly) {
    read("plain () = word {} single () = 'one two' {}\n"
         "doubled () = \"C:\\\\dir\" {} single-backslash () = \"C:\\dir\" {}\n"
         "escaped () = \"say \\\"hi\\\"\" {}");
    EXPECT_EQ(topLevel(), (Entries{"plain||word", "single||one two", "doubled||C:\\dir",
                                   "single-backslash||C:\\ir", "escaped||say \\hi\\"}));
}

TEST_F(ConfReaderTest, LayoutIsFreeCarriageReturnsIncludedAndNamesInAnyScript) {
    const Entries expected{"a|String|v"};
    for (const char* text : {"a(String)=\"v\"{}", "a\n(\nString\n)\n=\n\"v\"\n{\n}\n", "a (String) = \"v\" {\r\n}\r\n",
                             "\x01" "a\t(String)\x1f=\"v\"{}"}) {
        read(text);
        EXPECT_EQ(topLevel(), expected) << text;
    }
    read("st\xc3\xa4" "dte (String) = 'M\xc3\xbc" "nchen \xe6\x9d\xb1\xe4\xba\xac' {}");
    EXPECT_EQ(topLevel(), (Entries{"st\xc3\xa4" "dte|String|M\xc3\xbc" "nchen \xe6\x9d\xb1\xe4\xba\xac"}));
}

TEST_F(ConfReaderTest, CommentsOfEveryKindAreSkipped) {
    read("# settings of the scanner\n"
         "hoardscan () = '' { // the program's own block\n"
         "  buffer (Integer) = '1000' {} # records per flush\n"
         "  /* a block\n     comment */ extension /* here too */ (Bool) = 'true' {}\n"
         "}\r\n"
         "// the end\r\n");
    EXPECT_TRUE(built);
    EXPECT_EQ(topLevel(), (Entries{"hoardscan||"}));
    EXPECT_EQ(describe(reader.find("hoardscan")), (Entries{"buffer|Integer|1000", "extension|Bool|true"}));
    read("a (String) = '# not a comment' {}");
    EXPECT_EQ(topLevel(), (Entries{"a|String|# not a comment"}));
}

TEST_F(ConfReaderTest, SyntaxErrorsNameTheLineAndKeepEarlierEntries) {
    read("first () = '1' {}\n"
         "second () = '2' {}\n"
         "\n"
         "third (String) '3' {}\n"
         "fourth () = '4' {}\n");
    EXPECT_FALSE(built);
    EXPECT_EQ(topLevel(), (Entries{"first||1", "second||2"}));
    EXPECT_EQ(log.containing("ConfReader: Missing '='.").size(), 1u);
    const auto errors = log.containing("(17.01.02)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("test.conf"), std::string::npos);
    EXPECT_NE(errors[0].find("Configuration: Error in conf file. (Code: 1.1)"), std::string::npos);
    EXPECT_NE(errors[0].find("in entry \"third\", found \"'3'\""), std::string::npos);
    EXPECT_NE(errors[0].find("  4"), std::string::npos) << errors[0];  // the line number parameter
    ASSERT_EQ(log.containing(", line 4.").size(), 1u);
}

TEST_F(ConfReaderTest, TheInstallationsCatalogueWordsTheErrors) {
    LogCommons catalogue;
    const auto installation = std::filesystem::path(QUILNA_SOURCE_DIR) / "examples/installation/";
    ASSERT_TRUE(catalogue.loadMessages(installation.string(), "configuration").status);
    setCatalogue(&catalogue);
    read("a (String) = 'x' {}\nb (String) 'y' {}\nc (String) = '${a' {}");
    std::string value;
    reader.getString("c", value);
    const auto syntax = log.containing("(17.01.02)");
    ASSERT_EQ(syntax.size(), 1u);
    EXPECT_NE(syntax[0].find(": Error in the configuration file test.conf: Configuration: Error in conf file."),
              std::string::npos)
        << syntax[0];
    EXPECT_EQ(syntax[0].substr(syntax[0].size() - 9), " (line 2)");
    read("c (String) = '${a' {}");
    reader.getString("c", value);
    const auto reference = log.containing("(17.01.03)");
    ASSERT_EQ(reference.size(), 1u);
    EXPECT_NE(reference[0].find(": Cannot expand the references in the value of c: no closing brace."),
              std::string::npos)
        << reference[0];
}

TEST_F(ConfReaderTest, EachMissingTokenIsReported) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"a = '' {}", "Missing '('."},        {"a (String 'x' {}", "Missing ')'."},
        {"a () '' {}", "Missing '='."},       {"a () = '' b {}", "Missing '{'."},
        {"ok () = '' {\n}\nb\n(\n)\n= '' }", "Missing '{'."}};
    for (const auto& [text, message] : cases) {
        log.clear();
        read(text);
        EXPECT_FALSE(built) << text;
        EXPECT_EQ(log.containing(message).size(), 1u) << text;
    }
    EXPECT_EQ(log.containing(", line 6.").size(), 1u);
}

// Unbalanced braces and a text cut short are errors with their line; the entries read before
// stay, so that the settings they hold still count.
TEST_F(ConfReaderTest, UnbalancedBracesAndTextsCutShortAreReportedWithTheirLine) {
    const std::vector<std::tuple<const char*, Entries, const char*>> cases{
        {"a () = '' {}\n} b () = '' {}", {"a||"}, "Unexpected '}': it closes no entry. (line 2)"},
        {"a () = 'x' {\n b () = 'y' {", {"a||x"},
         "Missing '}' of entry \"b\" opened in line 2, found the end of the file. (line 2)"},
        {"a () = 'x' {}\nb () = ", {"a||x"}, "Missing a value in entry \"b\", found the end of the file. (line 2)"},
        {"a () = 'x' {}\n\nb (String", {"a||x"}, "Missing ')' in entry \"b\", found the end of the file. (line 3)"},
    };
    for (const auto& [text, entries, message] : cases) {
        log.clear();
        read(text);
        EXPECT_FALSE(built) << text;
        EXPECT_EQ(topLevel(), entries) << text;
        const auto errors = log.containing("(17.01.02)");
        ASSERT_EQ(errors.size(), 1u) << text;
        EXPECT_NE(errors[0].find(std::string(message).substr(0, std::string(message).find(" (line"))), std::string::npos)
            << errors[0];
        const std::string line = std::string(message).substr(std::string(message).find("(line ") + 6);
        EXPECT_EQ(errors[0].substr(errors[0].size() - line.size() + 1), line.substr(0, line.size() - 1)) << errors[0];
    }
    read("a () = 'x' { b () = 'y' {");  // a block that reaches the end keeps its entries
    EXPECT_EQ(describe(reader.find("a")), (Entries{"b||y"}));
}

TEST_F(ConfReaderTest, HeldReportsWaitUntilReleased) {
    reader.holdReports();
    read("a (String) 'x' {}");
    EXPECT_TRUE(log.containing("(17.01.02)").empty());
    reader.releaseReports();
    EXPECT_EQ(log.containing("(17.01.02)").size(), 1u);
    read("b (String) 'x' {}");  // no longer held
    EXPECT_EQ(log.containing("(17.01.02)").size(), 2u);
}

TEST_F(ConfReaderTest, DeepNestingIsRefusedAndLongTreesAreFreed) {
    std::string deep;
    for (int level = 0; level < 100000; ++level) deep += "a()=''{";
    read(deep);
    EXPECT_FALSE(built);
    const auto errors = log.containing("(17.01.02)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("nested deeper than 256 levels"), std::string::npos);

    std::string wide;
    for (int entry = 0; entry < 200000; ++entry) wide += "e()=''{}";
    read(wide);
    EXPECT_TRUE(built);
    EXPECT_EQ(topLevel().size(), 200000u);
}

TEST_F(ConfReaderTest, BuildingFromAFileAndFailingToReadOne) {
    TestSupport::TestDirectory directory;
    const std::string path = directory.write("hoardscan.conf", "a (String) = 'from file' {}\n");
    EXPECT_TRUE(reader.buildTree(path));
    std::string value;
    EXPECT_EQ(reader.getString("a", value), ConfResult::Found);
    EXPECT_EQ(value, "from file");

    EXPECT_FALSE(reader.buildTree(directory.child("missing.conf")));
    const auto errors = log.containing("(17.01.01)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("missing.conf"), std::string::npos);
    EXPECT_EQ(reader.getString("a", value), ConfResult::Found);  // the old tree stays
}

TEST_F(ConfReaderTest, PathsFollowNamesExactly) {
    read("Quilna () = '' { directories () = '' { conf (DirName) = '/etc/q' {} } }\n"
         "twice (String) = 'first' {} twice (String) = 'second' {} \"quoted\" (String) = 'q' {}");
    std::string value;
    EXPECT_EQ(reader.getDirName("Quilna.directories.conf", value), ConfResult::Found);
    EXPECT_EQ(value, "/etc/q/");
    EXPECT_EQ(reader.getString("twice", value), ConfResult::Found);
    EXPECT_EQ(value, "first");
    EXPECT_EQ(reader.getString("\"quoted\"", value), ConfResult::Found);
    value = "unchanged";
    for (const char* path : {"quoted", "quilna.directories.conf", "Quilna.directories.conf.deeper", "Quilna.nothing", ""})
        EXPECT_EQ(reader.getDirName(path, value), ConfResult::NotFound) << path;
    EXPECT_EQ(value, "unchanged");
    EXPECT_FALSE(log.containing("ConfReader: Not found.").empty());
}

TEST_F(ConfReaderTest, TypesDecideWhetherAValueIsThere) {
    read("untyped () = 'v' {} text (String) = 'v' {}");
    std::string text = "unchanged";
    bool flag = true;
    int32_t number = 7;
    TimeSpanParts span;
    span.days = 3;
    EXPECT_EQ(reader.getString("untyped", text), ConfResult::NoValue);
    EXPECT_EQ(reader.getBool("untyped", flag), ConfResult::NoValue);
    EXPECT_EQ(reader.getInteger("untyped", number), ConfResult::NoValue);
    EXPECT_EQ(reader.getDirName("untyped", text), ConfResult::NoValue);
    EXPECT_EQ(reader.getFileName("untyped", text), ConfResult::NoValue);
    EXPECT_EQ(reader.getTimeSpan("untyped", span), ConfResult::NoValue);
    EXPECT_EQ(reader.getInteger("text", number), ConfResult::WrongType);
    EXPECT_EQ(log.containing("ConfReader: Found, but type is \"String\", not \"Integer\".").size(), 1u);
    EXPECT_EQ(text, "unchanged");
    EXPECT_TRUE(flag);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(span.days, 3);
}

TEST_F(ConfReaderTest, TypedConversions) {
    read("t (Bool) = 'TRUE' {} f (Bool) = 'False' {} padded (Bool) = ' true' {}\n"
         "n1 (Integer) = '12abc' {} n2 (Integer) = 'abc' {} n3 (Integer) = ' -42' {}\n"
         "n4 (Integer) = '2147483648' {} n5 (Integer) = '-99999999999999999999' {}\n"
         "s (String) = '  Mixed Case  ' {}\n"
         "period (TimeSpan) = 'P1D2H3M4S' {} bad-period (TimeSpan) = '1 day' {}\n"
         "file (FileName) = ' logs//a.log ' {} dir-like (FileName) = 'logs/' {} none (FileName) = '' {}\n"
         "wild (FileName) = 'a*.log' {}");
    bool flag = false;
    EXPECT_EQ(reader.getBool("t", flag), ConfResult::Found);
    EXPECT_TRUE(flag);
    EXPECT_EQ(reader.getBool("f", flag), ConfResult::Found);
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_EQ(reader.getBool("padded", flag), ConfResult::NotBool);
    EXPECT_TRUE(flag);

    int32_t number = 0;
    EXPECT_EQ(reader.getInteger("n1", number), ConfResult::Found);
    EXPECT_EQ(number, 12);
    EXPECT_EQ(reader.getInteger("n2", number), ConfResult::Found);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(reader.getInteger("n3", number), ConfResult::Found);
    EXPECT_EQ(number, -42);
    // Beyond 32 bits is refused, not cut to the largest number.
    EXPECT_EQ(reader.getInteger("n4", number), ConfResult::Invalid);
    EXPECT_EQ(reader.getInteger("n5", number), ConfResult::Invalid);
    EXPECT_EQ(number, -42);

    std::string text;
    EXPECT_EQ(reader.getString("s", text), ConfResult::Found);
    EXPECT_EQ(text, "  Mixed Case  ");
    EXPECT_EQ(reader.getString("s", text, true, true), ConfResult::Found);
    EXPECT_EQ(text, "mixed case");

    TimeSpanParts span;
    EXPECT_EQ(reader.getTimeSpan("period", span), ConfResult::Found);
    EXPECT_EQ(std::vector<int32_t>({span.days, span.hours, span.minutes, span.seconds}),
              std::vector<int32_t>({1, 2, 3, 4}));
    EXPECT_EQ(reader.getTimeSpan("bad-period", span), ConfResult::Invalid);

    EXPECT_EQ(reader.getFileName("file", text), ConfResult::Found);
    EXPECT_EQ(text, "logs/a.log");
    text = "unchanged";
    EXPECT_EQ(reader.getFileName("dir-like", text), ConfResult::Invalid);
    EXPECT_EQ(reader.getFileName("wild", text), ConfResult::Invalid);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(reader.getFileName("none", text), ConfResult::Found);
    EXPECT_EQ(text, "");
}

TEST_F(ConfReaderTest, ReferencesExpandWithDirectorySeparators) {
    read("base (DirName) = '/data' {} work (DirName) = '${base}scan' {}\n"
         "name (String) = 'scan' {} mixed (FileName) = '${base}//${name}.log' {}\n"
         "chain (String) = '${mixed}' {} empty (DirName) = '' {} from-empty (String) = '[${empty}]' {}");
    std::string value;
    EXPECT_EQ(reader.getDirName("work", value), ConfResult::Found);
    EXPECT_EQ(value, "/data/scan/");
    EXPECT_EQ(reader.getFileName("mixed", value), ConfResult::Found);
    EXPECT_EQ(value, "/data/scan.log");
    // The referenced entry's type is not compared with the requested one.
    EXPECT_EQ(reader.getString("chain", value), ConfResult::Found);
    EXPECT_EQ(value, "/data///scan.log");
    EXPECT_EQ(reader.getString("from-empty", value), ConfResult::Found);
    EXPECT_EQ(value, "[]");
    EXPECT_FALSE(log.containing("ConfReader: Reference \"base\" = \"/data\".").empty());
}

TEST_F(ConfReaderTest, ReferencesUseWindowsSeparatorsOnWindows) {
    fake.syntax = FakePlatform::windowsSyntax();
    read("base (DirName) = 'C:/data' {} work (DirName) = '${base}scan' {} unc (DirName) = '\\\\\\\\server//share' {}");
    std::string value;
    EXPECT_EQ(reader.getDirName("work", value), ConfResult::Found);
    EXPECT_EQ(value, "C:\\data\\scan\\");
    EXPECT_EQ(reader.getDirName("unc", value), ConfResult::Found);
    EXPECT_EQ(value, "\\\\server\\share\\");
}

TEST_F(ConfReaderTest, BrokenReferencesGiveTheirCodes) {
    read("open (String) = 'x${b' {} missing (String) = '${nowhere}' {} untyped () = 'u' {}\n"
         "to-untyped (String) = '${untyped}' {}");
    std::string value = "unchanged";
    EXPECT_EQ(reader.getString("open", value), ConfResult::UnclosedReference);
    const auto bad = log.containing("(17.01.03)");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_NE(bad[0].find("open"), std::string::npos);
    EXPECT_EQ(reader.getString("missing", value), ConfResult::NotFound);
    EXPECT_EQ(reader.getString("to-untyped", value), ConfResult::NoValue);
    EXPECT_EQ(value, "unchanged");
}

TEST_F(ConfReaderTest, ReferenceLoopsEnd) {
    read("self (String) = 'a${self}' {} ping (String) = '${pong}' {} pong (String) = '${ping}' {}\n"
         "grow (String) = '${grow}${grow}' {}");
    std::string value = "unchanged";
    for (const char* path : {"self", "ping", "grow"}) {
        log.clear();
        EXPECT_EQ(reader.getString(path, value), ConfResult::ReferenceLoop) << path;
        const auto loop = log.containing("(17.01.03)");
        ASSERT_EQ(loop.size(), 1u) << path;
        EXPECT_NE(loop[0].find(path), std::string::npos);
    }
    EXPECT_EQ(value, "unchanged");
}

// A large value referred to again and again: the expansion stops at its bound and names the key.
TEST_F(ConfReaderTest, ExpansionsBeyondTheirBoundAreRefused) {
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += "${big}";
    read("big (String) = '" + std::string(40000, 'x') + "' {} sixty (String) = '" + sixty + "' {}\n" +
         "half (DirName) = '" + std::string(32767, 'h') + "' {} whole (String) = '${half}${half}' {}\n" +
         "over (String) = '${half}${half}!' {}");
    std::string value = "unchanged";
    EXPECT_EQ(reader.getString("sixty", value), ConfResult::TooLong);
    EXPECT_EQ(reader.getString("over", value), ConfResult::TooLong);
    EXPECT_EQ(value, "unchanged");
    const auto refused = log.containing("(17.01.03)");
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_NE(refused[0].find("sixty"), std::string::npos) << refused[0];
    EXPECT_NE(refused[0].find("beyond 65536 bytes with the reference ${big}"), std::string::npos) << refused[0];
    EXPECT_NE(refused[1].find("over"), std::string::npos) << refused[1];
    // Up to the bound, the separator a directory brings along included.
    EXPECT_EQ(reader.getString("whole", value), ConfResult::Found);
    EXPECT_EQ(value.size(), 65536u);
}

TEST_F(ConfReaderTest, SixtyFourSubstitutionsAreAllowed) {
    auto chain = [](int links) {
        std::string text;
        for (int i = 0; i < links; ++i)
            text += "e" + std::to_string(i) + " (String) = '${e" + std::to_string(i + 1) + "}' {}\n";
        return text + "e" + std::to_string(links) + " (String) = 'end' {}\n";
    };
    std::string value;
    read(chain(ConfReader::maxSubstitutions));
    EXPECT_EQ(reader.getString("e0", value), ConfResult::Found);
    EXPECT_EQ(value, "end");
    read(chain(ConfReader::maxSubstitutions + 1));
    EXPECT_EQ(reader.getString("e0", value), ConfResult::ReferenceLoop);
}

TEST_F(ConfReaderTest, AnAbsentReaderAnswersSeven) {
    SmartPointer<ConfReader> none;
    std::string text;
    bool flag;
    int32_t number;
    TimeSpanParts span;
    EXPECT_EQ(ConfReader::getString(none.get(), "a", text), ConfResult::NoReader);
    EXPECT_EQ(ConfReader::getBool(none.get(), "a", flag), ConfResult::NoReader);
    EXPECT_EQ(ConfReader::getInteger(none.get(), "a", number), ConfResult::NoReader);
    EXPECT_EQ(ConfReader::getDirName(none.get(), "a", text), ConfResult::NoReader);
    EXPECT_EQ(ConfReader::getFileName(none.get(), "a", text), ConfResult::NoReader);
    EXPECT_EQ(ConfReader::getTimeSpan(none.get(), "a", span), ConfResult::NoReader);
    read("a (String) = 'x' {}");
    EXPECT_EQ(ConfReader::getString(&reader, "a", text), ConfResult::Found);
    EXPECT_EQ(text, "x");
}

TEST_F(ConfReaderTest, LookupsBeforeAnyTreeFindNothing) {
    ConfReader fresh(log.centre);
    std::string value;
    EXPECT_EQ(fresh.getString("a", value), ConfResult::NotFound);
    EXPECT_EQ(fresh.root(), nullptr);
}

}  // namespace
}  // namespace Quilna
