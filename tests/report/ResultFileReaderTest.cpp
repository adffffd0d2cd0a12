#include "hoardscan/ResultFileReader.h"

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

namespace Quilna {
namespace {

using ReportTest::TempFolder;
using ReportTest::writeText;

TEST(ResultFileReaderTest, NamesOfEveryResultFileAreTakenApart) {
    struct Case {
        std::string name;
        ResultFileKind kind;
        int64_t day;
        int64_t processId;
        std::string monitor;
        bool unfinished;
    };
    const std::vector<Case> cases = {
        {"Hoardscan-1365112800-4242.data", ResultFileKind::AccountRecords, 1365112800, 4242, "", false},
        {"Hoardscan-1365112800-4242.make", ResultFileKind::AccountRecords, 1365112800, 4242, "", true},
        {"HoardscanInactive-1365112800-7.csv", ResultFileKind::InactiveFiles, 1365112800, 7, "", false},
        {"HoardscanInactive-1365112800-7.csv.make", ResultFileKind::InactiveFiles, 1365112800, 7, "", true},
        {"Hoardscan-cold-1365112800-7.log", ResultFileKind::TemperatureLog, 1365112800, 7, "cold", false},
        {"Hoardscan-very-cold-1-2.log", ResultFileKind::TemperatureLog, 1, 2, "very-cold", false},
        {"HoardscanExtension-1365112800-9.log", ResultFileKind::ExtensionLog, 1365112800, 9, "", false},
    };
    for (const Case& c : cases) {
        const auto name = ResultFileReader::parseName(c.name);
        ASSERT_TRUE(name) << c.name;
        EXPECT_EQ(name->kind, c.kind) << c.name;
        EXPECT_EQ(name->day, c.day) << c.name;
        EXPECT_EQ(name->processId, c.processId) << c.name;
        EXPECT_EQ(name->monitor, c.monitor) << c.name;
        EXPECT_EQ(name->unfinished, c.unfinished) << c.name;
    }
    for (const char* other : {"Hoardscan-1365112800-4242.log", "Hoardscan-12a-3.data", "Hoardscan--3.data",
                              "Hoardscan-1-2-3.data", "HoardscanInactive-1-2.log", "hoardscan-1-2.data",
                              "Hoardscan.log", "HoardscanExtension-1-2.log.make", "Hoardscan--1-2.log",
                              "Hoardscan-1-2.data.make", "Hoardscan-1-2.csv", "notes.txt",
                              // Day stamps and process ids beyond 64 bits are no numbers, not zeros.
                              "Hoardscan-18446744073709551616-2.data", "Hoardscan-1-99999999999999999999.data"}) {
        EXPECT_FALSE(ResultFileReader::parseName(other)) << other;
    }
}

TEST(ResultFileReaderTest, AccountRecordsKeepTheirFieldsAndRepeatedKeysSum) {
    TempFolder folder;
    const RecordKey sales = ReportTest::makeKey("PC42", "sales", "ann", "Users,Staff", "doc", "hot", "warm");
    const RecordKey it = ReportTest::makeKey("PC42", "it", "bob", "UNDEF", "iso", "frozen", "cold");
    // The second flush repeats the sales key; the old six-digit form of a value still reads.
    const std::string text = "1:1365112800:29:" + sales.text() + "\n1:2:1536:4096:0.41536\n" +
                             "1:1365112800:29:" + it.text() + "\n1:1:1.23457e+008:123457536:24691.32\n" +
                             "1:1365199200:29:" + sales.text() + "\n1:1:1000:4096:0.4196\n";
    writeText(folder / "Hoardscan-1365112800-1.data", text);
    ResultFileReader reader(folder / "Hoardscan-1365112800-1.data");

    const std::vector<AccountRecord> records = reader.accountRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].line, 1);
    EXPECT_EQ(records[2].line, 5);
    EXPECT_EQ(records[2].day, 1365199200);
    EXPECT_EQ(records[0].key.fields, sales.fields);
    EXPECT_EQ(records[0].key[KeyField::Group], "Users,Staff");
    EXPECT_EQ(records[1].key[KeyField::AccessTemperature], "frozen");
    EXPECT_EQ(records[1].values.bytes, 123457000.0);

    const auto totals = reader.accountTotals();
    ASSERT_EQ(totals.size(), 2u);
    const AccountValues& salesTotal = totals.at(sales.text());
    EXPECT_EQ(salesTotal.files, 3);
    EXPECT_EQ(salesTotal.bytes, 2536);
    EXPECT_EQ(salesTotal.bytesOnDisk, 8192);
    EXPECT_DOUBLE_EQ(salesTotal.weightedSize, 0.41536 + 0.4196);
    EXPECT_EQ(reader.contentSize(), text.size());
}

TEST(ResultFileReaderTest, MalformedRecordFilesNameTheFileAndLine) {
    const std::string key = ReportTest::makeKey("PC1", "a", "u", "g", "t", "hot", "hot").text();
    const std::string good = "1:86400:29:" + key + "\n1:1:2:3:0.5\n";
    struct Case {
        std::string text;
        int64_t line;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {good + "2:86400:29:" + key + "\n1:1:2:3:4\n", 3, "expected a record key line"},
        {good + "1:86400:30:" + key + "\n1:1:2:3:4\n", 3, "expected a record key line"},
        {good + "1:x:29:" + key + "\n1:1:2:3:4\n", 3, "expected a record key line"},
        {good + "1:99999999999999999999:29:" + key + "\n1:1:2:3:4\n", 3, "expected a record key line"},
        {good + "1:86400:29:0:a:0:b\n1:1:2:3:4\n", 3, "the record key has 2 fields, expected 10"},
        {good + "1:86400:29:" + key + ":0:extra\n1:1:2:3:4\n", 3, "the record key has 11 fields"},
        {"1:86400:29:" + key.substr(0, key.size() - 5) + "1:hot\n1:1:2:3:4\n", 1, "is not preceded by \"0:\""},
        {good + "1:86400:29:" + key + "\n1:1:2:3\n", 4, "the value line has 3 values, expected 4"},
        {good + "1:86400:29:" + key + "\n1:1:2:3:4:5\n", 4, "the value line has 5 values"},
        {good + "1:86400:29:" + key + "\n1:1:abc:3:4\n", 4, "the bytes value is not a number"},
        {good + "1:86400:29:" + key + "\n1:1:2:-3:4\n", 4, "the bytes on disk value is negative"},
        {good + "1:86400:29:" + key + "\n1:1.5:2:3:4\n", 4, "the files value is not a whole number"},
        {good + "1:86400:29:" + key + "\n1:1:2:3:nan\n", 4, "is not a number"},
        {good + "1:86400:29:" + key + "\n0:1:2:3:4\n", 4, "expected a value line"},
        {good + "1:86400:29:" + key + "\n", 3, "the record has no value line"},
        {good + "\n1:1:2:3:4\n", 3, "expected a record key line"},
        {good + "1:86400:29:" + key + "\n1:1:2:3:0.4", 4, "the last line has no line end"},
        {good + std::string(17 << 20, 'x'), 3, "the line is longer than 16 MiB"},
        // Whatever a file holds, no message repeats it: it may be a secret another user linked.
        {"root:$6$secret:19000:0:99999:7:::\n", 1, "expected a record key line"},
    };
    TempFolder folder;
    const auto file = folder / "Hoardscan-86400-1.data";
    for (const Case& c : cases) {
        writeText(file, c.text);
        try {
            ResultFileReader(file).forEachAccountRecord([](const AccountRecordView&) {});
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ResultFileError& error) {
            EXPECT_EQ(error.file(), file.string());
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_NE(error.reason().find(c.reason), std::string::npos) << error.what();
            for (const char* content : {"secret", "abc", "-3", "1.5", "0:a:0:b", "extra", "xxx"}) {
                EXPECT_EQ(error.reason().find(content), std::string::npos) << error.what();
            }
            EXPECT_EQ(std::string(error.what()).rfind(file.string() + ":" + std::to_string(c.line) + ": ", 0), 0u);
        }
    }
}

TEST(ResultFileReaderTest, LinesAcrossReadChunksAndCarriageReturnsReadWhole) {
    TempFolder folder;
    std::string text;
    constexpr int count = 30000;  // several read chunks
    for (int i = 0; i < count; ++i) {
        const std::string account = "account-" + std::to_string(i);
        text += "1:86400:29:" + ReportTest::makeKey("PC1", account, "u", "g", "t", "hot", "cold").text() + "\r\n1:" +
                std::to_string(i) + ":" + std::to_string(2 * i) + ":4096:0.5\r\n";
    }
    ASSERT_GT(text.size(), 2u << 20);
    const auto file = folder / "Hoardscan-86400-1.data";
    writeText(file, text);
    ResultFileReader reader(file);
    double files = 0, bytes = 0;
    int records = 0;
    reader.forEachAccountRecord([&](const AccountRecordView& record) {
        EXPECT_EQ(record[KeyField::Account], "account-" + std::to_string(records));
        EXPECT_EQ(record[KeyField::ModifyTemperature], "cold");
        files += record.values.files;
        bytes += record.values.bytes;
        ++records;
    });
    EXPECT_EQ(records, count);
    EXPECT_EQ(files, count * (count - 1.0) / 2);
    EXPECT_EQ(bytes, count * (count - 1.0));
    EXPECT_EQ(reader.contentSize(), text.size());

    // One changed byte changes the fingerprint.
    const uint64_t hash = reader.contentHash();
    text[text.size() - 4] = '6';
    writeText(file, text);
    ResultFileReader changed(file);
    changed.forEachAccountRecord([](const AccountRecordView&) {});
    EXPECT_NE(changed.contentHash(), hash);
    EXPECT_EQ(changed.contentSize(), reader.contentSize());
}

TEST(ResultFileReaderTest, InactiveTablesNeedTheirHeaderAndSixCells) {
    TempFolder folder;
    const auto file = folder / "HoardscanInactive-86400-1.csv";
    const std::string header = std::string(ResultFileReader::inactiveHeader) + "\n";
    writeText(file, header + "old_report.doc,/home/ann/old_stuff/,12,2013-04-05T12:00:00,cold,\n" +
                        "a.iso,C:\\Data\\,0,2012-01-01T00:00:00,frozen,\n");
    const auto rows = ResultFileReader(file).inactiveRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "old_report.doc");
    EXPECT_EQ(rows[0].directory, "/home/ann/old_stuff/");
    EXPECT_EQ(rows[0].kib, 12);
    EXPECT_EQ(rows[0].lastAccess, "2013-04-05T12:00:00");
    EXPECT_EQ(rows[0].temperature, "cold");
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[1].directory, "C:\\Data\\");

    writeText(file, "");
    EXPECT_TRUE(ResultFileReader(file).inactiveRows().empty());

    const std::vector<std::pair<std::string, int64_t>> bad = {
        {"a,b,1,t,cold,\n", 1},
        {header + "a,/d/,1,t,cold\n", 2},
        {header + "a,/d/,1,t,cold,x\n", 2},
        {header + "a,/d/,1,t,cold,\nb,/d/,x,t,cold,\n", 3},
        {header + ",/d/,1,t,cold,\n", 2},
    };
    for (const auto& [text, line] : bad) {
        writeText(file, text);
        try {
            ResultFileReader(file).inactiveRows();
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ResultFileError& error) {
            EXPECT_EQ(error.line(), line) << error.what();
        }
    }
}

TEST(ResultFileReaderTest, TemperatureLogsSplitAtTheLastSemicolon) {
    TempFolder folder;
    const auto file = folder / "Hoardscan-cold-86400-1.log";
    writeText(file, "/data/a;b/;1048576\nC:\\Users\\ann\\;9007199254740993\n");
    const auto rows = ResultFileReader(file).temperatureRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].directory, "/data/a;b/");
    EXPECT_EQ(rows[0].bytes, 1048576);
    EXPECT_EQ(rows[1].directory, "C:\\Users\\ann\\");
    EXPECT_EQ(rows[1].line, 2);

    for (const std::string bad : {"/data/\n", ";12\n", "/data/;12.5\n", "/data/;-1\n", "/data/;\n"}) {
        writeText(file, "/ok/;1\n" + bad);
        try {
            ResultFileReader(file).temperatureRows();
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const ResultFileError& error) {
            EXPECT_EQ(error.line(), 2) << error.what();
        }
    }
}

TEST(ResultFileReaderTest, ExtensionLogsGiveOneExtensionPerLine) {
    TempFolder folder;
    const auto file = folder / "HoardscanExtension-86400-1.log";
    writeText(file, "xyz\ntar.gz\n");
    EXPECT_EQ(ResultFileReader(file).extensions(), (std::vector<std::string>{"xyz", "tar.gz"}));
    writeText(file, "xyz\n\n");
    EXPECT_THROW(ResultFileReader(file).extensions(), ResultFileError);
    EXPECT_THROW(ResultFileReader(folder / "missing.log").extensions(), ResultFileError);
}

}  // namespace
}  // namespace Quilna
