#include "ReportTestSupport.h"

#include "report/Formatting.h"
#include "report/PostgresDatabase.h"
#include "report/TextCleaning.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Quilna {
namespace {

using namespace ReportTest;

TEST(TextCleaningTest, OnlyValidUtf8WithoutControlsIsKept) {
    using TextCleaning::cleanText;
    using TextCleaning::isClean;
    for (const std::string clean : {"plain ascii", "M\xc3\xbcller", "\xe2\x82\xac", "\xf0\x9f\x93\x81 dir"})
        EXPECT_TRUE(isClean(clean) && cleanText(clean) == clean) << clean;
    // Windows-1252 bytes, as a scanner in a Western code page writes them.
    EXPECT_EQ(cleanText("M\xfcller \x80"), "M\xc3\xbcller \xe2\x82\xac");
    EXPECT_EQ(cleanText("a\201b\001c\177d\td"), "a_b_c_d_d");
    // Overlong forms, surrogates and cut sequences are not UTF-8: each byte is read alone.
    EXPECT_EQ(cleanText("\xc0\xaf"), "\xc3\x80\xc2\xaf");
    EXPECT_FALSE(isClean("\xc2\x85"));  // a C1 control written in UTF-8
    EXPECT_EQ(TextCleaning::displayWidth("M\xc3\xbcller \xe2\x82\xac"), 8u);
}

TEST(FormattingTest, NumbersDatesAndEscapes) {
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
    // Local midnight of 2013-04-05 in UTC+2, the evening before in UTC; a stamp names the day it is nearest.
    EXPECT_EQ(dayText(1365112800) + dayText(1365163199), "2013-04-052013-04-05");
    EXPECT_EQ(dayText(951782400), "2000-02-29");
    EXPECT_EQ(dayText(999999999999999999) + dayText(253402300799), "(no date)(no date)");
    EXPECT_EQ(localTimeText(1365163200), "2013-04-05 12:00");
    EXPECT_EQ(parseLocalTime("2013-04-05T23:59:59"), 1365206399);
    EXPECT_EQ(parseLocalTime("2016-02-29"), 1456704000);
    for (const char* bad : {"", "2013-04-05T12:00", "2015-02-29", "2013-04-05T24:00:00", "2013-04-05T00:60:00",
                            "2013-04-05T00:00:60", "2013-4-05", "+013-04-05"})
        EXPECT_FALSE(parseLocalTime(bad)) << bad;
}

TEST(ResultFileReaderTest, MalformedFilesNameTheFileAndLine) {
    // Day stamps and process ids beyond 64 bits are no numbers, not zeros.
    for (const char* other :
         {"Hoardscan-1365112800-4242.log", "Hoardscan-12a-3.data", "Hoardscan--3.data", "HoardscanInactive-1-2.log",
          "Hoardscan-18446744073709551616-2.data", "Hoardscan-1-99999999999999999999.data",
          "HoardscanInactive-x-1-2.csv", "HoardscanExtension-x-1-2.log"})
        EXPECT_FALSE(ResultFileName::parse(other)) << other;

    const std::string key = AccountRecordFormat::keyText(makeKey("PC1", "a", "u", "g", "t", "hot", "hot"));
    // Zeros, and the old six-digit form of a value, are good values.
    const std::string good = "1:86400:29:" + key + "\n1:0:0:0:0\n1:86400:29:" + key + "\n1:1:1.23457e+008:4096:0.4\n";
    const std::string records = "Hoardscan-86400-1.data", inactive = "HoardscanInactive-86400-1.csv";
    const std::string header = std::string(InactiveTableFormat::header) + "\n";
    const std::vector<std::tuple<std::string, std::string, int64_t, std::string>> cases = {
        // line -1: no file
        {records, good + "2:86400:29:" + key + "\n1:1:2:3:4\n", 5, "expected a record key line"},
        {records, good + "1:86400:29:0:a:0:b\n1:1:2:3:4\n", 5, "the record key has 2 fields, expected 10"},
        {records, "1:86400:29:" + key.substr(0, key.size() - 5) + "1:hot\n1:1:2:3:4\n", 1, "is not preceded by \"0:\""},
        {records, good + "1:86400:29:" + key + "\n1:1:2:3\n", 6, "the value line has 3 values, expected 4"},
        {records, good + "1:86400:29:" + key + "\n1:1:2:-3:4\n", 6, "the bytes on disk value is negative"},
        {records, good + "1:86400:29:" + key + "\n", 5, "the record has no value line"},
        {records, good + "1:86400:29:" + key + "\n1:1:2:3:0.4", 6, "the last line has no line end"},
        {records, good + std::string(17 << 20, 'x'), 5, "the line is longer than 16 MiB"},
        // Whatever a file holds, no message repeats it: it may be a secret another user linked.
        {records, "root:$6$secret:19000:0:99999:7:::\n", 1, "expected a record key line"},
        // What the scanner writes reads back in ResultFilesTest; here lines it never writes.
        {inactive, "a,b,1,t,cold,\n", 1, ""},
        {inactive, header + "a,C:\\Data\\,0,2012-01-01T00:00:00,frozen,\nb,/d/,x,t,cold,\n", 3, ""},
        {"Hoardscan-cold-86400-1.log", "/ok;/;1\n/data/\n", 2, ""},
        {"HoardscanExtension-86400-1.log", "xyz\n\n", 2, ""},
        {"HoardscanExtension-86400-1.log", "", -1, ""},
    };
    TempFolder folder;
    for (const auto& [name, text, faultLine, reason] : cases) {
        SCOPED_TRACE(name + ": " + text.substr(0, 200));
        const fs::path file = folder.path() / name;
        fs::remove(file);
        if (faultLine >= 0) writeText(file, text);
        ResultFileReader reader(file);
        const int64_t line = std::max<int64_t>(faultLine, 0);
        try {
            const auto kind = ResultFileName::parse(name)->kind;
            if (kind == ResultFileKind::AccountRecords) reader.forEachAccountRecord([](const AccountRecordView&) {});
            if (kind == ResultFileKind::InactiveFiles) reader.inactiveRows();
            if (kind == ResultFileKind::TemperatureLog) reader.temperatureRows();
            if (kind == ResultFileKind::ExtensionLog) reader.extensions();
            ADD_FAILURE() << "accepted";
        } catch (const ResultFileError& error) {
            EXPECT_EQ(error.file(), file.string());
            EXPECT_EQ(error.line(), line) << error.what();
            EXPECT_TRUE(contains(error.reason(), reason));
            for (const char* content : {"secret", "-3", "0:a:0:b", "xxx"})
                EXPECT_FALSE(contains(error.reason(), content));
            const std::string where = file.string() + (line ? ":" + std::to_string(line) : "") + ": ";
            EXPECT_EQ(std::string(error.what()).rfind(where, 0), 0u) << error.what();
        }
    }
    EXPECT_TRUE(
        ResultFileReader(writeText(folder.path() / "HoardscanInactive-86400-1.csv", "")).inactiveRows().empty());
    // Report databases keep the fingerprint that tells a file imported before from another: FNV-1a of its bytes.
    ResultFileReader log(writeText(folder.path() / "Hoardscan-cold-86400-1.log", "/a/;0\n"));
    EXPECT_EQ(log.temperatureRows().at(0).bytes, 0);
    EXPECT_EQ(log.contentHash(), 0xb2b5106fea0116cdu);
}

TEST(ResultFileReaderTest, LinesAcrossReadChunksAndCarriageReturnsReadWhole) {
    TempFolder folder;
    std::string text;
    constexpr int count = 30000;  // several read chunks
    for (int i = 0; i < count; ++i) {
        text +=
            "1:86400:29:" + AccountRecordFormat::keyText(makeKey("PC1", std::to_string(i), "u", "g", "t", "hot", "c")) +
            "\r\n1:1:" + std::to_string(i) + ":4096:0.5\r\n";
    }
    ResultFileReader reader(writeText(folder.path() / "Hoardscan-86400-1.data", text));
    int records = 0;
    reader.forEachAccountRecord([&](const AccountRecordView& record) {
        EXPECT_EQ(record[KeyField::Account], std::to_string(records));
        EXPECT_EQ(record.values.bytes, records++);
        EXPECT_EQ(record.values.weightedSize, 0.5);
    });
    EXPECT_EQ(records, count);
    EXPECT_EQ(reader.contentSize(), text.size());
}

}  // namespace
}  // namespace Quilna
