#include "report/Formatting.h"
#include "report/PostgresDatabase.h"
#include "report/TextCleaning.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Quilna {
namespace {

TEST(TextCleaningTest, OnlyValidUtf8WithoutControlsIsKept) {
    using TextCleaning::cleanText;
    using TextCleaning::isClean;
    for (const std::string clean : {"plain ascii", "M\xc3\xbcller", "\xf0\x9f\x93\x81 dir"})
        EXPECT_TRUE(isClean(clean) && cleanText(clean) == clean) << clean;
    // Windows-1252 bytes, as a scanner in a Western code page writes them.
    EXPECT_EQ(cleanText("M\xfcller \x80"), "M\xc3\xbcller \xe2\x82\xac");
    // Unassigned code page bytes and control characters.
    EXPECT_EQ(cleanText("a\201b\001c\177d\td"), "a_b_c_d_d");
    // Overlong forms, surrogates and cut sequences are not UTF-8: each byte is read alone.
    EXPECT_EQ(cleanText("\xc0\xaf"), "\xc3\x80\xc2\xaf");
    EXPECT_FALSE(isClean("\xc2\x85"));  // a C1 control written in UTF-8
    EXPECT_EQ(TextCleaning::displayWidth("M\xc3\xbcller \xe2\x82\xac"), 8u);
}

TEST(FormattingTest, NumbersAndEscapes) {
    using namespace Formatting;
    EXPECT_EQ(sizeText(1536), "1.50 KiB");
    EXPECT_EQ(sizeText(9.995 * 1024), "10.0 KiB");
    EXPECT_EQ(sizeText(10.5 * 1024 * 1024), "10.5 MiB");
    EXPECT_EQ(sizeText(205.0 * (1ll << 30)), "205 GiB");
    EXPECT_EQ(countText(-1000), "-1,000");
    EXPECT_EQ(countText(WideInt{9100000000000000000} * 2), "18,200,000,000,000,000,000");
    EXPECT_EQ(integerText(-(WideInt{1} << 100)), "-1267650600228229401496703205376");
    EXPECT_EQ(shareText(1, 0), "-");
    EXPECT_EQ(shareText(452, 1000), "45.2%");
    EXPECT_EQ(shareText(1, 2000) + shareText(1, 2001) + shareText(0, 1), "0.1%<0.1%0.0%");
    EXPECT_EQ(weightText(11384671.615009999), "11384671.61501");
    EXPECT_EQ(weightText(12.0), "12");
    EXPECT_EQ(weightText(HUGE_VAL), "null");
    EXPECT_EQ(csvField("Users,Staff"), "\"Users,Staff\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    // What a spreadsheet would take for a formula shows as text.
    for (const char* formula : {"=1+1", "+1", "-1", "@SUM(1+1)", "\tx", "\rx"})
        EXPECT_EQ(csvField(formula), "\"'" + std::string(formula) + "\"") << formula;
    EXPECT_EQ(csvField("=a,\"b\""), "\"'=a,\"\"b\"\"\"");
    EXPECT_EQ(csvField("a=1"), "a=1");
    EXPECT_EQ(jsonString("C:\\Data\\\"x\"\n\x01"), "\"C:\\\\Data\\\\\\\"x\\\"\\n\\u0001\"");
    EXPECT_EQ(PostgresDatabase::numberedParameters("SELECT ? WHERE a = '?' AND b = ?"),
              "SELECT $1 WHERE a = '?' AND b = $2");
}

TEST(FormattingTest, DayStampsNameTheirLocalDate) {
    using Formatting::dayText;
    // Local midnight of 2013-04-05 in UTC+2, the evening before in UTC.
    EXPECT_EQ(dayText(1365112800), "2013-04-05");
    EXPECT_EQ(dayText(951782400), "2000-02-29");
    EXPECT_EQ(dayText(999999999999999999), "(no date)");
    EXPECT_EQ(Formatting::localTimeText(1365163200), "2013-04-05 12:00");

    using Formatting::parseLocalTime;
    EXPECT_EQ(parseLocalTime("2013-04-05T23:59:59"), 1365206399);
    EXPECT_EQ(parseLocalTime("2016-02-29"), 1456704000);
    for (const char* bad : {"", "2013-04-05T12:00", "2015-02-29", "2013-04-05T24:00:00", "2013-04-05T00:60:00",
                            "2013-04-05T00:00:60", "2013-4-05", "+013-04-05"})
        EXPECT_FALSE(parseLocalTime(bad)) << bad;
}

}  // namespace
}  // namespace Quilna
