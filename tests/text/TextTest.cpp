#include <gtest/gtest.h>

#include <string>

#include "text/StringUtils.h"
#include "text/TextEncoding.h"

namespace Quilna {
namespace {

using namespace StringUtils;
using Pieces = std::vector<std::string>;

TEST(StringUtils, TrimSplitCaseEscapesAndNumbersThatNeverWrap) {
    EXPECT_EQ(trimmed("\x01\t  word in\r\n "), "word in");  // controls count as blanks
    EXPECT_EQ(trimmed(" \x01\x1f"), "");
    EXPECT_EQ(trimmed(" \xc3\xa9t\xc3\xa9 "), "\xc3\xa9t\xc3\xa9");  // UTF-8 letters at the ends stay
    std::string left = "  a b  ", right = left, upper = "Ab\xc9z-Q";
    EXPECT_EQ(std::make_tuple(trimLeft(left), trimRight(right), lowerCopy("Ab\xc9z-Q"), toUpper(upper)),
              std::make_tuple("a b  ", "  a b", "ab\xc9z-q", "AB\xc9Z-Q"));

    std::string text = "host:fixed:c:\\dir", none = "whole", colons = "a:b:c";
    EXPECT_EQ((std::vector<std::string>{splitFirst(text, ':'), text, splitFirst(none, ':'), none}),
              (Pieces{"host", "fixed:c:\\dir", "whole", ""}));
    EXPECT_EQ(split("a,,b,c", ','), (Pieces{"a", "", "b", "c"}));
    EXPECT_EQ(split(",a,,", ',', 0, true), (Pieces{"a"}));
    EXPECT_EQ(split("c:\\users\\ann\\x.doc", '\\', 3), (Pieces{"c:", "users", "ann\\x.doc"}));
    EXPECT_TRUE(split("", ',', 0, true).empty());
    EXPECT_EQ(split("a::b::c", "::", 2), (Pieces{"a", "b::c"}));
    EXPECT_EQ(split("a::b::", "::"), (Pieces{"a", "b", ""}));
    EXPECT_EQ((std::pair{replaceChar(colons, ':', '_'), colons}), std::pair(size_t{2}, std::string("a_b_c")));

    // Controls per byte as \xNN: C0, DEL, C1 as UTF-8 and as lone bytes (an overlong form is no
    // sequence), the line, paragraph and direction separators; letters, and bytes that are no
    // control, stay.
    const std::vector<std::pair<std::string, std::string>> escapes{
        {"a\tb\r\n\x1b[31m\x7f\x01 C:\\x \xc3\xa9", "a\\x09b\\x0d\\x0a\\x1b[31m\\x7f\\x01 C:\\x \xc3\xa9"},
        {std::string("\0", 1), "\\x00"},
        {"\x1a\x1b\x1c|\xc2\x80\xc2\x85\xc2\x9f\xc2\xa0|\x9b[2J\xe9\xa0",
         "\\x1a\\x1b\\x1c|\\xc2\\x80\\xc2\\x85\\xc2\\x9f\xc2\xa0|\\x9b[2J\xe9\xa0"},
        {"\xe2\x80\xa7\xe2\x80\xa8\xe2\x80\xa9\xe2\x80\xae\xe2\x81\xa6\xe2\x80\x8f\xd8\x9c\xe2\x80\xaf",
         "\xe2\x80\xa7\\xe2\\x80\\xa8\\xe2\\x80\\xa9\\xe2\\x80\\xae\\xe2\\x81\\xa6\\xe2\\x80\\x8f\\xd8\\x9c\xe2\x80"
         "\xaf"},
        {"\xe0\x82\x9b\xc2", "\xe0\\x82\\x9b\xc2"},
        {"\xf0\x9f\x98\x80 \xe6\x96\x87", "\xf0\x9f\x98\x80 \xe6\x96\x87"}};
    for (const auto& [text, escaped] : escapes) EXPECT_EQ(escapeControls(text), escaped) << escaped;

    EXPECT_EQ(exactNumberText(5368709121.0), "5368709121");
    EXPECT_EQ(exactNumberText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(std::stod(exactNumberText(1e300)), 1e300);
    EXPECT_EQ(exactNumberText(-3), "-3");

    const std::vector<std::pair<const char*, int32_t>> int32s{
        {"  12abc", 12},           {"abc", 0}, {"+8", 8}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN},
        {"-2147483648", INT32_MIN}};
    for (const auto& [text, expected] : int32s) EXPECT_EQ(toInt32(text), expected) << text;
    EXPECT_EQ(toInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(toInt32InRange(" -2147483648x"), std::optional<int32_t>(INT32_MIN));
    EXPECT_EQ(toInt32InRange("2147483647"), std::optional<int32_t>(INT32_MAX));
    EXPECT_EQ(toInt32InRange("2147483648"), std::nullopt);
    EXPECT_EQ(toInt32InRange("-2147483649"), std::nullopt);

    const std::vector<std::pair<const char*, uint64_t>> leading{{"007x", 7},
                                                                {" 7", 0},
                                                                {"18446744073709551615%", UINT64_MAX},
                                                                {"18446744073709551616", UINT64_MAX},
                                                                {"36893488147419103233", UINT64_MAX}};
    for (const auto& [text, expected] : leading) EXPECT_EQ(leadingDigits(text), expected) << text;
    const std::vector<std::tuple<const char*, uint64_t, std::optional<uint64_t>>> decimals{
        {"18446744073709551615", UINT64_MAX, UINT64_MAX},
        {"18446744073709551616", UINT64_MAX, std::nullopt},
        {"1000", 999, std::nullopt},
        {"999", 999, 999},
        {"", UINT64_MAX, std::nullopt},
        {"1 ", UINT64_MAX, std::nullopt},
        {"8", 9, 8},
        {"9", 9, 9}};
    for (const auto& [text, limit, expected] : decimals) EXPECT_EQ(decimalNumber(text, limit), expected) << text;
}

// Files as Windows tools write them (UTF-8 with or without a mark, Windows-1252, mixed lines) read as UTF-8.
TEST(TextEncoding, FilesAreReadAsUtf8AndLinesThatAreNotAsWindows1252) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain ascii\r\n", "plain ascii\r\n"},
        {"\xC3\x9F \xE7\x9B\xAE \xF0\x9F\x98\x80\n", "\xC3\x9F \xE7\x9B\xAE \xF0\x9F\x98\x80\n"},
        {"\xEF\xBB\xBF:\\\xC3\xBC\n", ":\\\xC3\xBC\n"},
        {":\\\xFC-\r\n", ":\\\xC3\xBC-\r\n"},
        {"\x80 \x8A \x9F \x81 \xA0", "\xE2\x82\xAC \xC5\xA0 \xC5\xB8 \xC2\x81 \xC2\xA0"},
        // One line of each: only the one that is not UTF-8 is converted.
        {"\xC3\xA9t\xC3\xA9\n\xE9t\xE9\n", "\xC3\xA9t\xC3\xA9\n\xC3\xA9t\xC3\xA9\n"},
        // Overlong forms, surrogates and cut sequences are no UTF-8.
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},
    };
    for (const auto& [file, read] : cases) {
        std::string text = file;
        TextEncoding::decodeFileText(text);
        EXPECT_EQ(text, read) << file;
    }
    EXPECT_FALSE(TextEncoding::isValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

}  // namespace
}  // namespace Quilna
