#include "results/ResultFileReader.h"

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

namespace Quilna {
namespace {

using ReportTest::TempFolder;
namespace fs = std::filesystem;
using ReportTest::writeText;

TEST(ResultFileReaderTest, MalformedFilesNameTheFileAndLine) {
    // Day stamps and process ids beyond 64 bits are no numbers, not zeros.
    for (const char* other :
         {"Hoardscan-1365112800-4242.log", "Hoardscan-12a-3.data", "Hoardscan--3.data", "HoardscanInactive-1-2.log",
          "Hoardscan-18446744073709551616-2.data", "Hoardscan-1-99999999999999999999.data",
          "HoardscanInactive-x-1-2.csv", "HoardscanExtension-x-1-2.log"})
        EXPECT_FALSE(ResultFileName::parse(other)) << other;

    const std::string key = AccountRecordFormat::keyText(ReportTest::makeKey("PC1", "a", "u", "g", "t", "hot", "hot"));
    // Zeros, and the old six-digit form of a value, are good values.
    const std::string good = "1:86400:29:" + key + "\n1:0:0:0:0\n1:86400:29:" + key + "\n1:1:1.23457e+008:4096:0.4\n";
    const std::string records = "Hoardscan-86400-1.data", inactive = "HoardscanInactive-86400-1.csv";
    const std::string header = std::string(InactiveTableFormat::header) + "\n";
    struct Case {
        std::string name, text;
        int64_t line;  // -1: no such file
        std::string reason;
    };
    const std::vector<Case> cases = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + ": " + c.text.substr(0, 200));
        const fs::path file = folder.path() / c.name;
        fs::remove(file);
        if (c.line >= 0) writeText(file, c.text);
        ResultFileReader reader(file);
        const int64_t line = std::max<int64_t>(c.line, 0);
        try {
            const auto kind = ResultFileName::parse(c.name)->kind;
            if (kind == ResultFileKind::AccountRecords) reader.forEachAccountRecord([](const AccountRecordView&) {});
            if (kind == ResultFileKind::InactiveFiles) reader.inactiveRows();
            if (kind == ResultFileKind::TemperatureLog) reader.temperatureRows();
            if (kind == ResultFileKind::ExtensionLog) reader.extensions();
            ADD_FAILURE() << "accepted";
        } catch (const ResultFileError& error) {
            EXPECT_EQ(error.file(), file.string());
            EXPECT_EQ(error.line(), line) << error.what();
            EXPECT_NE(error.reason().find(c.reason), std::string::npos) << error.what();
            for (const char* content : {"secret", "-3", "0:a:0:b", "xxx"})
                EXPECT_EQ(error.reason().find(content), std::string::npos) << error.what();
            const std::string where = file.string() + (line ? ":" + std::to_string(line) : "") + ": ";
            EXPECT_EQ(std::string(error.what()).rfind(where, 0), 0u) << error.what();
        }
    }
    writeText(folder.path() / "HoardscanInactive-86400-1.csv", "");
    EXPECT_TRUE(ResultFileReader(folder.path() / "HoardscanInactive-86400-1.csv").inactiveRows().empty());
    // Report databases keep the fingerprint that tells a file imported before from another: FNV-1a of its bytes.
    writeText(folder.path() / "Hoardscan-cold-86400-1.log", "/a/;0\n");
    ResultFileReader log(folder.path() / "Hoardscan-cold-86400-1.log");
    EXPECT_EQ(log.temperatureRows().at(0).bytes, 0);
    EXPECT_EQ(log.contentHash(), 0xb2b5106fea0116cdu);
}

TEST(ResultFileReaderTest, LinesAcrossReadChunksAndCarriageReturnsReadWhole) {
    TempFolder folder;
    std::string text;
    constexpr int count = 30000;  // several read chunks
    for (int i = 0; i < count; ++i) {
        const std::string account = "account-" + std::to_string(i);
        text += "1:86400:29:" +
                AccountRecordFormat::keyText(ReportTest::makeKey("PC1", account, "u", "g", "t", "hot", "cold")) +
                "\r\n1:" + std::to_string(i) + ":" + std::to_string(2 * i) + ":4096:0.5\r\n";
    }
    ASSERT_GT(text.size(), 2u << 20);
    const auto file = folder.path() / "Hoardscan-86400-1.data";
    writeText(file, text);
    ResultFileReader reader(file);
    double bytes = 0;
    int records = 0;
    reader.forEachAccountRecord([&](const AccountRecordView& record) {
        EXPECT_EQ(record[KeyField::Account], "account-" + std::to_string(records++));
        bytes += record.values.bytes;
    });
    EXPECT_EQ(records, count);
    EXPECT_EQ(bytes, count * (count - 1.0));
    EXPECT_EQ(reader.contentSize(), text.size());
}

}  // namespace
}  // namespace Quilna
