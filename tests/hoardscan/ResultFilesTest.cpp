#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "hoardscan/ResultFiles.h"
#include "hoardscan/RulesTestSupport.h"
#include "hoardscan/ScanSettings.h"
#include "hoardscan/Tallies.h"
#include "results/AccountRecordFormat.h"
#include "results/ResultFileReader.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"
#include "time/TimeTestSupport.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

struct ResultFilesTest : ::testing::Test {
    ResultFilesTest() {
        settings.workingDirectory = directory.text() + "/work/";
        settings.tempDirectory = directory.text() + "/side/";
        fs::create_directory(settings.workingDirectory);
        fs::create_directory(settings.tempDirectory);
    }
    static std::string read(const std::string& path) { return TestSupport::TestDirectory::readFile(path); }

    TestSupport::TestDirectory directory;
    ScanSettings settings;
    RulesTest::TestLog log{1};
    Tallies tallies;
    const uint32_t pid = 4242;
};

TEST(ResultFilesDay, TheDayStampIsTheNearestLocalMidnightWithNoonCountingForward) {
    TimeTest::ZoneScope zone("+02:00");
    const int32_t april5 = TimeTest::utc(2013, 4, 5) - 2 * 3600;                                // local midnight
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 5, 9, 59, 59))), april5);   // 11:59:59 local
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 5, 10))), april5 + 86400);  // noon local
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 4, 23))), april5);          // 01:00 local
}

// A name as the walk hands it over, and as the key, the inactive-file table and the logs give it back.
struct OddName {
    std::string written, key, table, log;
};

std::vector<OddName> oddNames() {
    std::string longName;
    for (int i = 0; i < 20000; ++i) longName += "\xc3\xa9";
    return {
        {"a:b,c;d", "a_b,c;d", "a:b_c;d", "a:b,c;d"},
        {"tab\tcr\r\nlf\x01\x1f\x7f", "tab_cr__lf__\x7f", "tab_cr__lf__\x7f", "tab_cr__lf__\x7f"},
        {longName, longName, longName, longName},
    };
}

RecordKey keyOf(const std::string& name) {
    RecordKey key;
    key.fields = {"OSLO", "PC42", "C", name, name, name, name, "plain", "cold", "frozen"};
    return key;
}

// Everything written reads back through the report's reader, odd names and sizes near 2^64 included.
TEST_F(ResultFilesTest, EveryResultFileReadsBackToTheRecordsWritten) {
    settings.inactiveLog = true;
    settings.temperatureMonitor = "very-cold";
    settings.temperatureMonitorSize = 4096;
    const int64_t belowTop = 9223372036854774784;  // 2^63 - 1024: twice it is 2^64 - 2048
    const int64_t top = 9223372036854775807;       // 2^63 - 1
    ResultFiles files(log.unit(), settings, pid);
    files.startRun();
    const auto addFiles = [&](const std::string& name, int64_t logical, int64_t physical, int times) {
        const std::string key = AccountRecordFormat::keyText(keyOf(name));
        for (int i = 0; i < times; ++i) tallies.addAccountRecord(key, logical, physical);
    };
    uint64_t visit = 0;
    for (const OddName& name : oddNames()) {
        addFiles(name.written, 4294967297, 4294971392, 1);  // 2^32 + 1, in whole clusters
        tallies.addInactiveRow(name.written, "/d/" + name.written + "/", top, "2013-04-05T12:00:00", "frozen");
        tallies.addTemperatureRow(++visit, "/t/" + name.written + "/", belowTop);
        tallies.addTemperatureRow(visit, "/t/" + name.written + "/", belowTop);
        tallies.addExtension(name.written);
    }
    tallies.addTemperatureRow(++visit, "/at-limit/", 4096);
    tallies.addTemperatureRow(++visit, "/below-limit/", 4095);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    ASSERT_TRUE(files.flushInactiveRows(tallies));
    // The second flush repeats every key, with two files just below 2^63 bytes each.
    for (const OddName& name : oddNames()) addFiles(name.written, belowTop, belowTop, 2);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    ASSERT_TRUE(files.flushTemperatureRows(tallies));
    ASSERT_TRUE(files.writeExtensionLog(tallies));
    files.finishAccountRecords(true);
    files.finishInactiveRows(true);
    files.finishTemperatureLog(true);
    files.finishExtensionLog(true);
    ASSERT_EQ(files.finishedFiles(), 4);

    const std::string day = std::to_string(ResultFiles::dayStamp(DateTime()));
    const auto reader = [&](const std::string& path) {
        ResultFileReader reader(path);
        const auto name = reader.name();
        EXPECT_TRUE(name && !name->unfinished && name->day == std::stoll(day) && name->processId == pid) << path;
        return reader;
    };
    // Each key twice, its values summed: 3 files, 2^32 + 1 and 2^64 - 2048 bytes.
    const auto totals = reader(settings.workingDirectory + "Hoardscan-" + day + "-4242.data").accountTotals();
    ASSERT_EQ(totals.size(), oddNames().size());
    const double bytes = 4294967297.0 + 18446744073709549568.0, onDisk = 4294971392.0 + 18446744073709549568.0;
    for (const OddName& name : oddNames()) {
        const AccountValues& values = totals.at(AccountRecordFormat::keyText(keyOf(name.key)));
        EXPECT_EQ(std::make_tuple(values.files, values.bytes, values.bytesOnDisk), std::make_tuple(3.0, bytes, onDisk));
        EXPECT_DOUBLE_EQ(values.weightedSize, bytes * 0.00001 + onDisk * 0.0001);
    }

    const auto rows = reader(settings.tempDirectory + "HoardscanInactive-" + day + "-4242.csv").inactiveRows();
    ASSERT_EQ(rows.size(), oddNames().size());
    for (size_t i = 0; i < rows.size(); ++i)  // 9007199254740991 KiB: (2^63 - 1) / 1024
        EXPECT_EQ(rows[i].name + "|" + rows[i].directory + "|" + std::to_string(rows[i].kib) + "|" +
                      rows[i].lastAccess + "|" + rows[i].temperature,
                  oddNames()[i].table + "|/d/" + oddNames()[i].table + "/|9007199254740991|2013-04-05T12:00:00|frozen");

    ResultFileReader temperatureLog = reader(settings.tempDirectory + "Hoardscan-very-cold-" + day + "-4242.log");
    EXPECT_EQ(temperatureLog.name()->monitor, "very-cold");
    std::map<std::string, double> directories, expectedDirectories{{"/at-limit/", 4096}};
    for (const TemperatureRow& row : temperatureLog.temperatureRows()) directories[row.directory] = row.bytes;
    for (const OddName& name : oddNames()) expectedDirectories["/t/" + name.log + "/"] = 18446744073709549568.0;
    EXPECT_EQ(directories, expectedDirectories);

    std::vector<std::string> extensions;
    for (const OddName& name : oddNames()) extensions.push_back(name.log);
    EXPECT_EQ(reader(settings.tempDirectory + "HoardscanExtension-" + day + "-4242.log").extensions(), extensions);
}

// A file that cannot be created is reported at each attempt; a write that fails part-way (a full
// disk) is cut back off the file, so the next flush writes the whole buffer again, nothing doubled.
TEST_F(ResultFilesTest, AFailedFlushKeepsItsBufferAndTheFileAsTheLastCompleteFlushLeftIt) {
    FakePlatform fake;
    settings.workingDirectory = directory.text() + "/later/";
    Tallies buffer(300);
    ResultFiles files(log.unit(), settings, pid);
    buffer.addAccountRecord("0:A", 10, 4096);
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    const std::string d = std::to_string(ResultFiles::dayStamp(DateTime()));
    const std::string name = settings.workingDirectory + "Hoardscan-" + d + "-4242.make";
    EXPECT_EQ(log.messages("CRITICAL", 17), (std::vector<std::string>{name, name}));
    EXPECT_EQ(buffer.accountRecords().size(), 1u);

    fs::create_directory(settings.workingDirectory);
    buffer.addAccountRecord("0:B", 0, 0);
    ASSERT_TRUE(files.flushAccountRecords(buffer));
    const std::string firstFlush = read(name);
    EXPECT_EQ(firstFlush, "1:" + d + ":29:0:A\n1:1:10:4096:0.4097\n1:" + d + ":29:0:B\n1:1:0:0:0\n");

    for (int i = 0; i < 300; ++i)
        buffer.addAccountRecord("0:" + std::string(100, 'k') + std::to_string(1000 + i), i, 4096);
    *fake.diskRoom = 5000;
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    EXPECT_EQ(read(name), firstFlush);
    EXPECT_EQ(log.messages("ERROR", 18).size(), 1u);
    EXPECT_EQ(buffer.accountRecords().size(), 300u);
    buffer.addAccountRecord("0:late", 1, 4096);
    EXPECT_EQ(buffer.lostAccountRecords(), 1u);

    fake.diskRoom->reset();
    ASSERT_TRUE(files.flushAccountRecords(buffer));
    const std::string written = read(name);
    EXPECT_EQ(written.substr(0, firstFlush.size()), firstFlush);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 * 302);
}

// The rename fails every attempt (the clock is faked, so the pauses cost nothing).
class NoRenames : public FakePlatform {
public:
    bool moveFile(const std::string&, const std::string&, bool) override { return false; }
};

TEST_F(ResultFilesTest, AnIncompleteFileOrAFailedRenameKeepsTheUnfinishedName) {
    ResultFiles files(log.unit(), settings, pid);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    const std::string name = files.accountFile().name();
    files.finishAccountRecords(false);
    EXPECT_EQ(log.messages("ERROR", 31), (std::vector<std::string>{name}));

    NoRenames fake;
    fake.clock = 1700000000;
    settings.inactiveLog = true;
    ResultFiles renamed(log.unit(), settings, pid);
    ASSERT_TRUE(renamed.flushInactiveRows(tallies));
    const std::string table = renamed.inactiveFile().name();
    renamed.finishInactiveRows(true);
    EXPECT_EQ(read(table), "");  // no header without rows
    EXPECT_EQ(log.messages("ERROR", 13), (std::vector<std::string>{table + "|" + table.substr(0, table.size() - 5)}));
}

}  // namespace
}  // namespace Quilna
