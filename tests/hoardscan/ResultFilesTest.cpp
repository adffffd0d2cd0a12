#include <gtest/gtest.h>

#include <filesystem>

#include "ResultFilesFixture.h"
#include "common/StringUtils.h"
#include "common/TimeTestSupport.h"
#include "hoardscan/ResultFiles.h"
#include "hoardscan/Tallies.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;
namespace fs = std::filesystem;

using ResultFilesTest = ResultFilesFixture;

TEST(ResultFilesDay, TheDayStampIsTheNearestLocalMidnightWithNoonCountingForward) {
    TimeTest::ZoneScope zone("+02:00");
    const int32_t april5 = TimeTest::utc(2013, 4, 5) - 2 * 3600;  // local midnight
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 5, 9, 59, 59))), april5);  // 11:59:59 local
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 5, 10))), april5 + 86400);  // noon local
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 4, 23))), april5);       // 01:00 local
}

TEST_F(ResultFilesTest, AccountRecordsAreWrittenLosslesslyAndFinishedUnderTheirDataName) {
    ResultFiles files(log.unit(), settings, pid);
    tallies.addAccountRecord("0:OSLO:0:PC42", 1000, 4096);
    tallies.addAccountRecord("0:OSLO:0:PC42", 536, 0);
    tallies.addAccountRecord("0:BIG", 123456789, 9007199254740993);  // above 2^53: not a plain integer
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    EXPECT_TRUE(tallies.accountRecords().empty());
    tallies.addAccountRecord("0:OSLO:0:PC42", 1, 4096);
    ASSERT_TRUE(files.flushAccountRecords(tallies));

    const std::string make = files.accountFile().name();
    const int32_t day = ResultFiles::dayStamp(DateTime());
    EXPECT_EQ(fs::path(make).filename().string(), "Hoardscan-" + std::to_string(day) + "-4242.make");
    const std::string d = std::to_string(day);
    const std::string expected = "1:" + d + ":29:0:BIG\n1:1:123456789:9007199254740992:" +
                                 StringUtils::exactNumberText(123456789 * 0.00001 + 9007199254740992.0 * 0.0001) +
                                 "\n1:" + d + ":29:0:OSLO:0:PC42\n1:2:1536:4096:" +
                                 StringUtils::exactNumberText(1536 * 0.00001 + 4096 * 0.0001) + "\n1:" + d +
                                 ":29:0:OSLO:0:PC42\n1:1:1:4096:" +
                                 StringUtils::exactNumberText(1 * 0.00001 + 4096 * 0.0001) + "\n";
    EXPECT_EQ(read(make), expected);

    files.finishAccountRecords(true);
    EXPECT_EQ(names(settings.workingDirectory),
              (std::vector<std::string>{"Hoardscan-" + d + "-4242.data"}));
    EXPECT_EQ(read(settings.workingDirectory + "Hoardscan-" + d + "-4242.data"), expected);
}

TEST_F(ResultFilesTest, AnEmptyRunStillLeavesEmptyFinishedFiles) {
    settings.inactiveLog = true;
    ResultFiles files(log.unit(), settings, pid);
    files.startRun();
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    ASSERT_TRUE(files.flushInactiveRows(tallies));
    files.finishInactiveRows(true);
    files.finishAccountRecords(true);
    const std::string d = std::to_string(ResultFiles::dayStamp(DateTime()));
    EXPECT_EQ(names(settings.workingDirectory), (std::vector<std::string>{"Hoardscan-" + d + "-4242.data"}));
    EXPECT_EQ(names(settings.tempDirectory), (std::vector<std::string>{"HoardscanInactive-" + d + "-4242.csv"}));
    EXPECT_EQ(read(settings.workingDirectory + "Hoardscan-" + d + "-4242.data"), "");
    EXPECT_EQ(read(settings.tempDirectory + "HoardscanInactive-" + d + "-4242.csv"), "");  // no header either
}

TEST_F(ResultFilesTest, SideFilesHoldTheirRowsWithTheHeaderOnceAndTheLimitInclusive) {
    settings.temperatureMonitor = "frozen";
    settings.temperatureMonitorSize = 4096;
    ResultFiles files(log.unit(), settings, pid);
    files.startRun();
    tallies.addInactiveRow("a,b.doc", "/data/x,y/", 2047, "2013-04-05T12:00:00", "cold");
    ASSERT_TRUE(files.flushInactiveRows(tallies));
    tallies.addInactiveRow("c.doc", "/data/", 4096, "2013-04-05T12:00:00", "frozen");
    ASSERT_TRUE(files.flushInactiveRows(tallies));
    tallies.addTemperatureRow("/data/at-limit/", 4096);
    tallies.addTemperatureRow("/data/below/", 4095);
    tallies.addTemperatureRow("/data/new\nline/", 8192);
    ASSERT_TRUE(files.flushTemperatureRows(tallies));
    tallies.addExtension("xyz");
    tallies.addExtension("a\tb");
    ASSERT_TRUE(files.writeExtensionLog(tallies));
    files.finishTemperatureLog(true);
    files.finishExtensionLog(true);
    files.finishInactiveRows(true);
    EXPECT_EQ(files.finishedFiles(), 3);
    EXPECT_TRUE(files.unfinishedFiles().empty());

    const std::string d = std::to_string(ResultFiles::dayStamp(DateTime()));
    EXPECT_EQ(read(settings.tempDirectory + "HoardscanInactive-" + d + "-4242.csv"),
              std::string(ResultFiles::inactiveHeader) +
                  "\na_b.doc,/data/x_y/,1,2013-04-05T12:00:00,cold,\nc.doc,/data/,4,2013-04-05T12:00:00,frozen,\n");
    EXPECT_EQ(read(settings.tempDirectory + "Hoardscan-frozen-" + d + "-4242.log"),
              "/data/at-limit/;4096\n/data/new_line/;8192\n");
    EXPECT_EQ(read(settings.tempDirectory + "HoardscanExtension-" + d + "-4242.log"), "xyz\na_b\n");
}

TEST_F(ResultFilesTest, AFileThatCannotBeCreatedKeepsItsBufferForTheNextFlush) {
    settings.workingDirectory = directory.text() + "/later/";
    ResultFiles files(log.unit(), settings, pid);
    tallies.addAccountRecord("0:A", 10, 4096);
    EXPECT_FALSE(files.flushAccountRecords(tallies));
    EXPECT_FALSE(files.flushAccountRecords(tallies));
    const std::string d = std::to_string(ResultFiles::dayStamp(DateTime()));
    const std::string name = settings.workingDirectory + "Hoardscan-" + d + "-4242.make";
    EXPECT_EQ(log.messages("CRITICAL", 17), (std::vector<std::string>{name, name}));
    EXPECT_EQ(tallies.accountRecords().size(), 1u);

    fs::create_directory(settings.workingDirectory);
    tallies.addAccountRecord("0:B", 1, 4096);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    const std::string content = read(name);
    EXPECT_EQ(content.substr(0, content.find('\n')), "1:" + d + ":29:0:A");
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 4);
}

TEST_F(ResultFilesTest, AnIncompleteFileKeepsItsUnfinishedName) {
    ResultFiles files(log.unit(), settings, pid);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    const std::string name = files.accountFile().name();
    files.finishAccountRecords(false);
    EXPECT_TRUE(fs::exists(name));
    EXPECT_FALSE(fs::exists(ResultFiles::finishedAccountName(name)));
    EXPECT_EQ(log.messages("ERROR", 31), (std::vector<std::string>{name}));
}

// The rename fails every attempt (the clock is faked, so the pauses cost nothing).
class NoRenames : public FakePlatform {
public:
    bool moveFile(const std::string&, const std::string&, bool) override { return false; }
};

TEST_F(ResultFilesTest, AFailedRenameIsReportedAndTheFileKeepsItsName) {
    NoRenames fake;
    fake.clock = 1700000000;
    settings.inactiveLog = true;
    ResultFiles files(log.unit(), settings, pid);
    ASSERT_TRUE(files.flushInactiveRows(tallies));
    const std::string name = files.inactiveFile().name();
    files.finishInactiveRows(true);
    EXPECT_TRUE(fs::exists(name));
    EXPECT_EQ(log.messages("ERROR", 13), (std::vector<std::string>{name + "|" + name.substr(0, name.size() - 5)}));
}

}  // namespace
}  // namespace Quilna
