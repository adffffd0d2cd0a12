#include <gtest/gtest.h>

#include "common/StringUtils.h"

namespace Quilna {
namespace {

using namespace StringUtils;

TEST(StringUtils, TrimCountsControlsAsBlanksButNoLetterOfAnyScript) {
    std::string text = "\x01\t  word in\r\n ";
    EXPECT_EQ(trim(text), "word in");
    std::string left = "  a b  ";
    EXPECT_EQ(trimLeft(left), "a b  ");
    std::string right = "  a b  ";
    EXPECT_EQ(trimRight(right), "  a b");
    std::string blanks = " \x01\x1f";
    EXPECT_EQ(trim(blanks), "");
    EXPECT_EQ(trimmed(" \xc3\xa9t\xc3\xa9 "), "\xc3\xa9t\xc3\xa9");  // UTF-8 letters at the ends stay
    EXPECT_EQ(trimmed("\xe8\xb4\xa6\xe6\x88\xb7"), "\xe8\xb4\xa6\xe6\x88\xb7");
}

TEST(StringUtils, CaseConversionTouchesOnlyAsciiLetters) {
    std::string text = "Ab\xc9z-Q";
    EXPECT_EQ(lowerCopy(text), "ab\xc9z-q");
    EXPECT_EQ(toUpper(text), "AB\xc9Z-Q");
}

TEST(StringUtils, SplitFirstTakesTheHeadAndRemovesIt) {
    std::string text = "host:fixed:c:\\dir";
    EXPECT_EQ(splitFirst(text, ':'), "host");
    EXPECT_EQ(text, "fixed:c:\\dir");
    std::string none = "whole";
    EXPECT_EQ(splitFirst(none, ':'), "whole");
    EXPECT_TRUE(none.empty());
    std::string leading = ":rest";
    EXPECT_EQ(splitFirst(leading, ':'), "");
    EXPECT_EQ(leading, "rest");
}

TEST(StringUtils, SplitHonoursTheMaximumAndDropsEmptyPieces) {
    EXPECT_EQ(split("a,,b,c", ','), (std::vector<std::string>{"a", "", "b", "c"}));
    EXPECT_EQ(split("a,,b,c", ',', 0, true), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(split("c:\\users\\ann\\x.doc", '\\', 3), (std::vector<std::string>{"c:", "users", "ann\\x.doc"}));
    EXPECT_EQ(split(",a,", ',', 0, true), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("", ','), (std::vector<std::string>{""}));
    EXPECT_TRUE(split("", ',', 0, true).empty());
    EXPECT_EQ(split("a::b::c", "::", 2), (std::vector<std::string>{"a", "b::c"}));
    EXPECT_EQ(split("a::b::", "::"), (std::vector<std::string>{"a", "b", ""}));
}

TEST(StringUtils, ReplaceCharCounts) {
    std::string text = "a:b:c";
    EXPECT_EQ(replaceChar(text, ':', '_'), 2u);
    EXPECT_EQ(text, "a_b_c");
    EXPECT_EQ(replaceChar(text, ':', '_'), 0u);
}

TEST(StringUtils, NumberTexts) {
    EXPECT_EQ(intText(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(uint64Text(18446744073709551615ull), "18446744073709551615");
    EXPECT_EQ(doubleText(1.5), "1.5");
    EXPECT_EQ(doubleText(10.0), "10");
    EXPECT_EQ(doubleText(0.4196), "0.4196");
    EXPECT_EQ(doubleText(-0.25), "-0.25");
    // Cut to 19 characters before the zeros go.
    EXPECT_EQ(doubleText(123456789.123), "123456789.122999995");  // cut to 19 characters first
    EXPECT_EQ(doubleText(1e20), "1000000000000000000");
    EXPECT_EQ(doubleText(1e300).size(), 19u);
}

TEST(StringUtils, ExactNumberTextsReadBackTheSameValue) {
    EXPECT_EQ(exactNumberText(1536), "1536");
    EXPECT_EQ(exactNumberText(123456789), "123456789");
    EXPECT_EQ(exactNumberText(5368709121.0), "5368709121");
    EXPECT_EQ(exactNumberText(0.5), "0.5");
    EXPECT_EQ(exactNumberText(0.4196), "0.4196");
    EXPECT_EQ(exactNumberText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(std::stod(exactNumberText(1e300)), 1e300);
    EXPECT_EQ(exactNumberText(-3), "-3");
}

TEST(StringUtils, ControlBytesAreEscapedAndNothingElse) {
    EXPECT_EQ(escapeControls("a\tb\r\n\x1b[31m\x7f\x01 C:\\x \xc3\xa9"), "a\\x09b\\x0d\\x0a\\x1b[31m\\x7f\\x01 C:\\x \xc3\xa9");
    EXPECT_EQ(escapeControls(std::string("\0", 1)), "\\x00");
}

TEST(StringUtils, IntegerConversionsFollowTheCLibraryAndNeverWrap) {
    EXPECT_EQ(toInt32("  12abc"), 12);
    EXPECT_EQ(toInt32("abc"), 0);
    EXPECT_EQ(toInt32("-7"), -7);
    EXPECT_EQ(toInt32("+8"), 8);
    EXPECT_EQ(toInt32("99999999999"), 2147483647);
    EXPECT_EQ(toInt32("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(toInt32("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(toInt64("9223372036854775807"), 9223372036854775807ll);
    EXPECT_EQ(toInt32InRange(" -2147483648x"), std::optional<int32_t>(-2147483647 - 1));
    EXPECT_EQ(toInt32InRange("2147483647"), std::optional<int32_t>(2147483647));
    EXPECT_EQ(toInt32InRange("2147483648"), std::nullopt);
    EXPECT_EQ(toInt32InRange("-2147483649"), std::nullopt);
    EXPECT_EQ(leadingDigits("007x"), 7u);
    EXPECT_EQ(leadingDigits(" 7"), 0u);
    EXPECT_EQ(leadingDigits("18446744073709551615%"), UINT64_MAX);
    // 2^64 and beyond stay the largest number instead of wrapping to a small one.
    EXPECT_EQ(leadingDigits("18446744073709551616"), UINT64_MAX);
    EXPECT_EQ(leadingDigits("36893488147419103233"), UINT64_MAX);
    EXPECT_EQ(decimalNumber("18446744073709551615"), std::optional<uint64_t>(UINT64_MAX));
    EXPECT_EQ(decimalNumber("18446744073709551616"), std::nullopt);
    EXPECT_EQ(decimalNumber("1000", 999), std::nullopt);
    EXPECT_EQ(decimalNumber("999", 999), std::optional<uint64_t>(999));
    EXPECT_EQ(decimalNumber("7", 5), std::nullopt);
    EXPECT_EQ(decimalNumber(""), std::nullopt);
    EXPECT_EQ(decimalNumber("1 "), std::nullopt);
}

}  // namespace
}  // namespace Quilna
