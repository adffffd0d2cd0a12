// The log file agent: lines, housekeeping lines, rotation by start, time and size, moving the
// log, and the guards between writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "common/Monopoly.h"
#include "common/Resources.h"
#include "logger/LoggerAgentFile.h"
#include "LogTestSupport.h"
#include "support/FakePlatform.h"
#include "support/TestRegistryKey.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

// 2013-04-05T10:30:00Z.
constexpr int64_t kHalfPastTen = 1365157800;

class LogFileAgentTest : public ::testing::Test, protected LogTest::AgentScope {
protected:
    LogFileAgentTest() {
        fs::create_directories(dir.file("logs"));
        fake.environment["QUILNA_TZ"] = "+00:00";
        DateTime::resetProcessZone();
        setRotationInterval(TimeSpan(0));
        setAgentMessages(true);
        armInitRotation();
    }
    ~LogFileAgentTest() override { DateTime::resetProcessZone(); }

    std::string log(const std::string& name = "a.log") const { return dir.file("logs/" + name); }

    std::string resource(const std::string& name) {
        std::string value = "<missing>";
        readResource(name, value);
        return value;
    }

    // The rotated copies of a log, ordered by their counter.
    std::vector<std::string> rotated(const std::string& base = "a", const std::string& extension = ".log") const {
        std::vector<std::pair<int, std::string>> found;
        const std::regex pattern(base + "_\\d{8}T\\d{6}_(\\d+)" + std::regex_replace(extension, std::regex("\\."), "\\."));
        for (const auto& entry : fs::directory_iterator(dir.file("logs"))) {
            std::smatch match;
            const std::string name = entry.path().filename().string();
            if (std::regex_match(name, match, pattern)) found.emplace_back(std::stoi(match[1]), entry.path().string());
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> paths;
        for (const auto& item : found) paths.push_back(item.second);
        return paths;
    }

};

TEST_F(LogFileAgentTest, LinesBetweenOpeningHeaderAndClosingLine) {
    fake.clock = LogTest::sampleMoment;
    {
        LoggerAgentFile agent;
        EXPECT_EQ(rotationSize(), 10);
        EXPECT_FALSE(agent.write("no file bound yet"));
        ASSERT_TRUE(agent.setLogFile(log()));
        EXPECT_EQ(agent.location(), "file:///" + log());
        EXPECT_FALSE(fs::exists(log())) << "created by the first line only";
        EXPECT_TRUE(agent.write("one"));
        EXPECT_TRUE(agent.write("two"));
        EXPECT_EQ(resource("HoardscanLogOpened"), "20130405T060708");
    }
    EXPECT_EQ(LogTest::readFile(log()),
              "\r\nQuilna VERSION(6.3.0.0) REVISION(0)\r\n"
              "Opened log file \"" + log() + "\". Time: 2013-04-05T06:07:08 +00:00\r\n\r\n"
              "one\r\ntwo\r\n"
              "\r\nClosing log file \"" + log() + "\". Time: 2013-04-05T06:07:08. Reason: Quitting Logger Agent.\r\n\r\n");

    // Without agent messages only the lines are written; an existing log is appended to.
    setAgentMessages(false);
    {
        LoggerAgentFile agent;
        agent.setLogFile(log());
        EXPECT_TRUE(agent.write("three"));
    }
    EXPECT_TRUE(LogTest::readFile(log()).ends_with("Quitting Logger Agent.\r\n\r\nthree\r\n"));
}

TEST_F(LogFileAgentTest, SizeLimitZeroRotatesBeforeEveryLine) {
    setAgentMessages(false);
    setRotationScheme(Rotation::Size);
    auto agent = std::make_unique<LoggerAgentFile>();
    setRotationSize(0);
    agent->setLogFile(log());
    for (const char* line : {"one", "two", "three"}) ASSERT_TRUE(agent->write(line));

    // The first line found the new, empty file already at its limit.
    const std::vector<std::string> copies = rotated();
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(LogTest::readFile(copies[0]), "");
    EXPECT_EQ(LogTest::readFile(copies[1]), "one\r\n");
    EXPECT_EQ(LogTest::readFile(copies[2]), "two\r\n");
    EXPECT_EQ(LogTest::readFile(log()), "three\r\n");
    EXPECT_EQ(resource("HoardscanLogCounter"), "3");
    for (size_t i = 0; i < copies.size(); ++i)
        EXPECT_TRUE(copies[i].ends_with("_" + std::to_string(i) + ".log")) << copies[i];

    // The copy is named after the time the log was opened, as the registry keeps it for a
    // process that finds the log already there (the first one has ended: on Windows no file
    // is renamed while a writer has it open).
    agent.reset();
    writeResource("HoardscanLogOpened", "20130405T060708");
    LoggerAgentFile next;
    setRotationSize(0);  // a new agent sets the limit back to 10
    next.setLogFile(log());
    ASSERT_TRUE(next.write("four"));
    EXPECT_EQ(LogTest::readFile(log("a_20130405T060708_3.log")), "three\r\n");
}

TEST_F(LogFileAgentTest, OnlyTheNewestRotatedCopiesAreKept) {
    fake.clock = kHalfPastTen;
    setAgentMessages(false);
    setRotationScheme(Rotation::Size);
    LoggerAgentFile agent;
    setRotationSize(0);
    setRotationKeep(3);
    // An older copy with a larger counter (the counter started again) goes first; names that
    // are no copies of this log stay whatever they look like.
    const std::vector<std::string> others = {"a_20130405T103000_x.log", "a_notes.log", "b_20130405T103000_1.log",
                                             "a_20130405T103000_1.txt", "a_2013040ST103000_1.log"};
    for (const std::string& name : others) LogTest::writeFile(log(name), name);
    LogTest::writeFile(log("a_20120101T000000_99.log"), "last year");
    agent.setLogFile(log());
    // Twenty rotations leave three copies.
    for (int line = 0; line < 20; ++line) ASSERT_TRUE(agent.write("line " + std::to_string(line)));
    std::vector<std::string> copies = rotated();
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_TRUE(copies[0].ends_with("a_20130405T103000_17.log")) << copies[0];
    EXPECT_EQ(LogTest::readFile(copies[2]), "line 18\r\n");
    for (const std::string& name : others) EXPECT_EQ(LogTest::readFile(log(name)), name);

    setAgentMessages(true);
    setRotationKeep(1);
    ASSERT_TRUE(agent.write("one kept"));
    copies = rotated();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0].ends_with("a_20130405T103000_20.log")) << copies[0];
    const std::string text = LogTest::readFile(log());
    for (const char* removed : {"17", "18", "19"})
        EXPECT_NE(text.find("Removed the old log copy \"a_20130405T103000_" + std::string(removed) + ".log\" (keeping 1)."),
                  std::string::npos) << removed;

    setRotationKeep(0);
    ASSERT_TRUE(agent.write("none kept"));
    EXPECT_TRUE(rotated().empty());
}

TEST_F(LogFileAgentTest, RotationIsReportedInBothFiles) {
    fake.clock = kHalfPastTen;
    setRotationScheme(Rotation::Size);
    LoggerAgentFile agent;
    setRotationSize(0);
    agent.setLogFile(log("x.txt"));
    writeResource("HoardscanLogCounter", "41");
    ASSERT_TRUE(agent.write("first"));

    const std::string copy = log("x_20130405T103000_41.txt");
    ASSERT_TRUE(fs::exists(copy));
    EXPECT_EQ(resource("HoardscanLogCounter"), "42");
    const std::vector<std::string> old = LogTest::logLines(copy);
    const std::vector<std::string> expectedOld = {
        "",
        "Quilna VERSION(6.3.0.0) REVISION(0)",
        "Opened log file \"" + log("x.txt") + "\". Time: 2013-04-05T10:30:00 +00:00",
        "",
        "\nRotate contidion(s): Size 0 >= 0",
        "\nRotation process started...",
        "Renaming file from \"" + log("x.txt") + "\" to \"" + copy + "\".",
        "",
        "Closing log file \"" + log("x.txt") + "\". Time: 2013-04-05T10:30:00. Reason: Rotating log file.",
        "",
    };
    EXPECT_EQ(old, expectedOld);
    const std::vector<std::string> fresh = LogTest::logLines(log("x.txt"));
    ASSERT_EQ(fresh.size(), 6u);
    EXPECT_EQ(fresh[2], "Opened log file \"" + log("x.txt") + "\". Time: 2013-04-05T10:30:00 +00:00");
    EXPECT_EQ(fresh[4], "Log continued from \"x_20130405T103000_41.txt\".");
    EXPECT_EQ(fresh[5], "first");

    // A name without a dot gets no extension; a dot in a directory name is no extension.
    fs::create_directories(dir.file("logs/v1.d"));
    agent.setLogFile(dir.file("logs/v1.d/plain"));
    ASSERT_TRUE(agent.write("x"));
    bool found = false;
    for (const auto& entry : fs::directory_iterator(dir.file("logs/v1.d")))
        found = found || std::regex_match(entry.path().filename().string(), std::regex("plain_\\d{8}T\\d{6}_\\d+"));
    EXPECT_TRUE(found);
}

TEST_F(LogFileAgentTest, InitRotatesAnExistingLogOncePerProcess) {
    setAgentMessages(false);
    setRotationScheme(Rotation::Init);
    {
        // This process creates the log: no Init rotation, not even on a later line.
        LoggerAgentFile agent;
        agent.setLogFile(log());
        ASSERT_TRUE(agent.write("created"));
        ASSERT_TRUE(agent.write("more"));
        EXPECT_TRUE(rotated().empty());
        EXPECT_FALSE(initRotationPending());
    }
    // A new process (armed again) rotates the existing log at its first line, and only then.
    armInitRotation();
    {
        LoggerAgentFile agent;
        agent.setLogFile(log());
        ASSERT_TRUE(agent.write("next run"));
        ASSERT_TRUE(agent.write("and more"));
    }
    const std::vector<std::string> copies = rotated();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(LogTest::readFile(copies[0]), "created\r\nmore\r\n");
    EXPECT_EQ(LogTest::readFile(log()), "next run\r\nand more\r\n");
    {
        LoggerAgentFile agent;  // same process, not armed again
        agent.setLogFile(log());
        ASSERT_TRUE(agent.write("same process"));
    }
    EXPECT_EQ(rotated().size(), 1u);
}

TEST_F(LogFileAgentTest, TimeRotationAtTheIntervalBoundaryWithConditionsTogether) {
    fake.clock = kHalfPastTen;
    setRotationScheme(Rotation::Time);
    setRotationInterval(TimeSpan(3600));
    auto agent = std::make_unique<LoggerAgentFile>();
    agent->setLogFile(log());
    ASSERT_TRUE(agent->write("10:30"));
    *fake.clock = kHalfPastTen + 29 * 60 + 59;
    ASSERT_TRUE(agent->write("10:59:59"));
    EXPECT_TRUE(rotated().empty());
    *fake.clock = kHalfPastTen + 30 * 60 + 5;
    ASSERT_TRUE(agent->write("11:00:05"));
    const std::vector<std::string> copies = rotated();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0].ends_with("a_20130405T103000_0.log"));
    const std::string old = LogTest::readFile(copies[0]);
    EXPECT_NE(old.find("10:59:59\r\n"), std::string::npos);
    EXPECT_NE(old.find("\nRotate contidion(s): Time 2013-04-05T11:00:00 <= 2013-04-05T11:00:05\r\n"), std::string::npos);
    // The next rotation waits for the next hour.
    *fake.clock = kHalfPastTen + 89 * 60;
    ASSERT_TRUE(agent->write("11:59"));
    EXPECT_EQ(rotated().size(), 1u);

    // Conditions that hold together are reported together, in the order Init, Time, Size.
    setRotationScheme(Rotation::Time | Rotation::Size);
    setRotationSize(1);
    *fake.clock = kHalfPastTen + 149 * 60;  // 12:59: the new settings give the next boundary, 13:00
    ASSERT_TRUE(agent->write("12:59"));
    {
        std::ofstream grow(log(), std::ios::binary | std::ios::app);
        grow << std::string(1048576, 'x') << "\r\n";
    }
    *fake.clock = kHalfPastTen + 151 * 60;
    ASSERT_TRUE(agent->write("13:01"));
    ASSERT_EQ(rotated().size(), 2u);
    EXPECT_NE(LogTest::readFile(rotated()[1]).find("\nRotate contidion(s): Time 2013-04-05T13:00:00 <= "
                                                   "2013-04-05T13:01:00 AND Size 1 >= 1\r\n"),
              std::string::npos);

    agent.reset();  // the process ends
    setRotationScheme(Rotation::Init | Rotation::Time | Rotation::Size);
    setRotationSize(0);
    LoggerAgentFile next;  // a new process finds the log
    setRotationSize(0);
    armInitRotation();
    next.setLogFile(log());
    ASSERT_TRUE(next.write("13:02"));
    ASSERT_EQ(rotated().size(), 3u);
    EXPECT_NE(LogTest::readFile(rotated()[2]).find("\nRotate contidion(s): Init AND Size 0 >= 0\r\n"), std::string::npos);
}

TEST_F(LogFileAgentTest, FailedRotationGoesOnInTheOldFileWithALargerThreshold) {
    fake.clock = kHalfPastTen;  // the pauses between rename attempts pass at once
    LogTest::writeFile(log(), std::string(1048576, 'x') + "\r\n");
    writeResource("HoardscanLogOpened", "20130405T060708");
    writeResource("HoardscanLogCounter", "5");
    LogTest::writeFile(log("a_20130405T060708_5.log"), "in the way");
    setRotationScheme(Rotation::Size);
    LoggerAgentFile agent;
    setRotationSize(1);
    agent.setLogFile(log());
    ASSERT_TRUE(agent.write("after the failure"));
    EXPECT_FLOAT_EQ(agent.sizeFactor(), 1.25f);
    EXPECT_EQ(LogTest::readFile(log("a_20130405T060708_5.log")), "in the way");
    ASSERT_TRUE(agent.write("no second try"));
    EXPECT_FLOAT_EQ(agent.sizeFactor(), 1.25f);
    // The system's code for a rename onto an existing name (EEXIST, ERROR_ALREADY_EXISTS).
    LogTest::writeFile(log("probe"), "");
    ASSERT_FALSE(platform().moveFile(log("probe"), log("a_20130405T060708_5.log"), false));
    const std::string code = std::to_string(platform().lastError().code);
    const std::string text = LogTest::readFile(log());
    EXPECT_NE(text.find("\r\nLog file rotation error. (" + code + ")\r\n"), std::string::npos) << code;
    EXPECT_TRUE(text.ends_with("after the failure\r\nno second try\r\n"));
    EXPECT_EQ(resource("HoardscanLogCounter"), "6");
}

TEST_F(LogFileAgentTest, MovingTheLogClosesTheOldAndContinuesInTheNew) {
    fake.clock = LogTest::sampleMoment;
    LoggerAgentFile agent;
    agent.setLogFile(log());
    ASSERT_TRUE(agent.write("before"));
    EXPECT_TRUE(agent.setLogFile(log()));  // the same path changes nothing
    ASSERT_TRUE(agent.setLogFile(log("b.log")));
    EXPECT_TRUE(LogTest::readFile(log()).ends_with(
        "before\r\n\r\nClosing log file \"" + log() + "\". Time: 2013-04-05T06:07:08. Reason: Log file moved to \"" +
        log("b.log") + "\"..\r\n\r\n"));
    ASSERT_TRUE(agent.write("after"));
    const std::vector<std::string> fresh = LogTest::logLines(log("b.log"));
    ASSERT_GE(fresh.size(), 7u);
    EXPECT_EQ(fresh[1], "Quilna VERSION(6.3.0.0) REVISION(0)");
    EXPECT_EQ(fresh[4], "Log continued from \"" + log() + "\".");
    EXPECT_EQ(fresh[5], "");
    EXPECT_EQ(fresh[6], "after");
}

TEST_F(LogFileAgentTest, AHeldGuardDropsTheLineAfterItsRetries) {
    fake.clock = kHalfPastTen;
    LoggerAgentFile agent;
    agent.setLogFile(log());
    ASSERT_TRUE(agent.write("first"));
    {
        Monopoly other("a.log");  // another writer of a file of that name
        ASSERT_TRUE(other.enforce());
        EXPECT_FALSE(agent.write("dropped"));
    }
    EXPECT_TRUE(agent.write("last"));
    const std::string text = LogTest::readFile(log());
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_TRUE(text.ends_with("first\r\nlast\r\n"));
}

TEST_F(LogFileAgentTest, ThreadsSharingAnAgentWriteWholeLines) {
    setAgentMessages(false);
    LoggerAgentFile agent;
    agent.setLogFile(log());
    const int perThread = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&agent, t] {
            for (int i = 0; i < perThread; ++i)
                agent.write("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(100, '-'));
        });
    for (std::thread& thread : threads) thread.join();
    const std::vector<std::string> lines = LogTest::logLines(log());
    ASSERT_EQ(lines.size(), 4u * perThread);
    const std::set<std::string> distinct(lines.begin(), lines.end());
    EXPECT_EQ(distinct.size(), lines.size());
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, std::regex("thread \\d line \\d+-{100}"))) << line;
}

TEST_F(LogFileAgentTest, ALogThatCannotBeOpenedThrows) {
    LoggerAgentFile agent;
    agent.setLogFile(dir.file("missing/dir/a.log"));
    EXPECT_THROW(agent.write("x"), FileException);
    EXPECT_THROW(agent.write("y"), FileException) << "and again: the guard was released";
}

}  // namespace
}  // namespace Quilna
