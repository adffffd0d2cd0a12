// The log file agent: lines, housekeeping lines, rotation by time, size and count, and the
// guards between writers (moving the log: the logging configuration tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <thread>

#include "LogTestSupport.h"
#include "config/Resources.h"
#include "files/FileException.h"
#include "logger/LoggerAgentFile.h"
#include "system/Monopoly.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

// 2013-04-05T10:30:00Z.
constexpr int64_t kHalfPastTen = 1365157800;

class LogFileAgentTest : public ::testing::Test, protected LogTest::AgentScope {
protected:
    LogFileAgentTest() {
        fake.environment["QUILNA_TZ"] = "+00:00";
        fake.clock = kHalfPastTen;  // the pauses between rename attempts pass at once
        DateTime::resetProcessZone();
        setRotationInterval(TimeSpan(0));
        armInitRotation();
    }
    ~LogFileAgentTest() override { DateTime::resetProcessZone(); }

    std::string log(const std::string& name = "a.log") const { return dir.child(name); }
    std::string read(const std::string& name = "a.log") const { return dir.read(name); }
    std::string resource(const std::string& name) {
        std::string value = "<missing>";
        readResource(name, value);
        return value;
    }
    // The names of the rotated copies of a.log, in order (the tests' counters have as many digits).
    std::vector<std::string> rotated() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (std::regex_match(entry.path().filename().string(), std::regex("a_\\d{8}T\\d{6}_\\d+\\.log")))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(LogFileAgentTest, LinesBetweenOpeningHeaderAndClosingLine) {
    setAgentMessages(true);
    {
        LoggerAgentFile agent;
        EXPECT_FALSE(agent.write("no file bound yet"));
        ASSERT_TRUE(agent.setLogFile(log()));
        EXPECT_EQ(agent.location(), "file:///" + log());
        EXPECT_FALSE(fs::exists(log())) << "created by the first line only";
        EXPECT_TRUE(agent.write("one"));
        EXPECT_TRUE(agent.write("two"));
        EXPECT_EQ(resource("HoardscanLogOpened"), "20130405T103000");
    }
    EXPECT_EQ(read(), "\r\nQuilna VERSION(6.3.0.0) REVISION(0)\r\nOpened log file \"" + log() +
                          "\". Time: 2013-04-05T10:30:00 +00:00\r\n\r\none\r\ntwo\r\n\r\nClosing log file \"" + log() +
                          "\". Time: 2013-04-05T10:30:00. Reason: Quitting Logger Agent.\r\n\r\n");
}

TEST_F(LogFileAgentTest, SizeLimitZeroRotatesBeforeEveryLineAndOnlyTheNewestCopiesAreKept) {
    setRotationScheme(Rotation::Size);
    auto agent = std::make_unique<LoggerAgentFile>();
    setRotationSize(0);  // a new agent sets the limit back to 10
    agent->setLogFile(log());
    for (const char* line : {"one", "two", "three"}) ASSERT_TRUE(agent->write(line));
    // The first line found the new, empty file already at its limit.
    EXPECT_EQ(rotated(), (std::vector<std::string>{"a_20130405T103000_0.log", "a_20130405T103000_1.log",
                                                   "a_20130405T103000_2.log"}));
    EXPECT_EQ(read(rotated()[0]), "");
    EXPECT_EQ(read(rotated()[2]), "two\r\n");
    EXPECT_EQ(read(), "three\r\n");
    EXPECT_EQ(resource("HoardscanLogCounter"), "3");

    // A process that finds the log already there names the copy after the time the registry
    // says it was opened (the first one has ended: on Windows no open file is renamed).
    agent.reset();
    writeResource("HoardscanLogOpened", "20130405T060708");
    agent = std::make_unique<LoggerAgentFile>();
    setRotationSize(0);
    agent->setLogFile(log());
    ASSERT_TRUE(agent->write("four"));
    EXPECT_EQ(read("a_20130405T060708_3.log"), "three\r\n");

    // An older copy with a larger counter goes first; names that are no copies of this log stay.
    const std::vector<std::string> others = {"a_20130405T103000_x.log", "a_notes.log", "b_20130405T103000_1.log",
                                             "a_20130405T103000_1.txt", "a_2013040ST103000_1.log"};
    for (const std::string& name : others) dir.write(name, name);
    dir.write("a_20120101T000000_99.log", "last year");
    setRotationKeep(3);
    for (int line = 0; line < 20; ++line) ASSERT_TRUE(agent->write("line " + std::to_string(line)));
    EXPECT_EQ(rotated(), (std::vector<std::string>{"a_20130405T103000_21.log", "a_20130405T103000_22.log",
                                                   "a_20130405T103000_23.log"}));
    EXPECT_EQ(read(rotated()[2]), "line 18\r\n");
    for (const std::string& name : others) EXPECT_EQ(read(name), name);
    setAgentMessages(true);
    setRotationKeep(1);
    ASSERT_TRUE(agent->write("one kept"));
    EXPECT_EQ(rotated(), std::vector<std::string>{"a_20130405T103000_24.log"});
    EXPECT_NE(read().find("Removed the old log copy \"a_20130405T103000_21.log\" (keeping 1)."), std::string::npos);
    setRotationKeep(0);
    ASSERT_TRUE(agent->write("none kept"));
    EXPECT_TRUE(rotated().empty());
}

TEST_F(LogFileAgentTest, TimeRotationAtTheIntervalBoundaryWithConditionsTogether) {
    setAgentMessages(true);
    setRotationScheme(Rotation::Time);
    setRotationInterval(TimeSpan(3600));
    auto agent = std::make_unique<LoggerAgentFile>();
    agent->setLogFile(log());
    const std::vector<std::pair<int64_t, size_t>> moments{{0, 0}, {29 * 60 + 59, 0}, {30 * 60 + 5, 1}, {89 * 60, 1}};
    for (const auto& [after, copies] : moments) {
        *fake.clock = kHalfPastTen + after;
        ASSERT_TRUE(agent->write("at " + std::to_string(after)));
        EXPECT_EQ(rotated().size(), copies) << after;
    }
    EXPECT_NE(read(rotated()[0]).find("at 1799\r\n"), std::string::npos);
    EXPECT_NE(read(rotated()[0]).find("Rotate contidion(s): Time 2013-04-05T11:00:00 <= 2013-04-05T11:00:05\r\n"),
              std::string::npos);
    EXPECT_NE(read(rotated()[0]).find("Reason: Rotating log file."), std::string::npos);

    // Conditions that hold together are reported together, in the order Init, Time, Size.
    setRotationScheme(Rotation::Time | Rotation::Size);
    setRotationSize(1);
    *fake.clock = kHalfPastTen + 149 * 60;  // 12:59: the new settings give the next boundary, 13:00
    ASSERT_TRUE(agent->write("12:59"));
    std::ofstream(log(), std::ios::binary | std::ios::app) << std::string(1048576, 'x') << "\r\n";
    *fake.clock = kHalfPastTen + 151 * 60;
    ASSERT_TRUE(agent->write("13:01"));
    ASSERT_EQ(rotated().size(), 2u);
    EXPECT_NE(
        read(rotated()[1]).find("Rotate contidion(s): Time 2013-04-05T13:00:00 <= 2013-04-05T13:01:00 AND Size 1 >= 1"),
        std::string::npos);
    agent.reset();  // the process ends; a new one finds the log
    setRotationScheme(Rotation::Init | Rotation::Time | Rotation::Size);
    LoggerAgentFile next;
    setRotationSize(0);
    armInitRotation();
    next.setLogFile(log());
    ASSERT_TRUE(next.write("13:02"));
    ASSERT_EQ(rotated().size(), 3u);
    EXPECT_NE(read(rotated()[2]).find("Rotate contidion(s): Init AND Size 0 >= 0"), std::string::npos);
}

TEST_F(LogFileAgentTest, FailedRotationGoesOnInTheOldFileWithALargerThreshold) {
    setAgentMessages(true);
    dir.write("a.log", std::string(1048576, 'x') + "\r\n");
    writeResource("HoardscanLogOpened", "20130405T060708");
    writeResource("HoardscanLogCounter", "5");
    dir.write("a_20130405T060708_5.log", "in the way");
    setRotationScheme(Rotation::Size);
    LoggerAgentFile agent;
    setRotationSize(1);
    agent.setLogFile(log());
    ASSERT_TRUE(agent.write("after the failure"));
    EXPECT_FLOAT_EQ(agent.sizeFactor(), 1.25f);
    ASSERT_TRUE(agent.write("no second try"));
    EXPECT_FLOAT_EQ(agent.sizeFactor(), 1.25f);
    EXPECT_EQ(read("a_20130405T060708_5.log"), "in the way");
    // The system's code for a rename onto an existing name (EEXIST, ERROR_ALREADY_EXISTS).
    dir.write("probe", "");
    ASSERT_FALSE(platform().moveFile(log("probe"), log("a_20130405T060708_5.log"), false));
    const std::string code = std::to_string(platform().lastError().code);
    EXPECT_NE(read().find("\r\nLog file rotation error. (" + code + ")\r\n"), std::string::npos) << code;
    EXPECT_TRUE(read().ends_with("after the failure\r\nno second try\r\n"));
    EXPECT_EQ(resource("HoardscanLogCounter"), "6");
}

TEST_F(LogFileAgentTest, WritersShareTheFileByWholeLinesAndAHeldGuardDropsALine) {
    LoggerAgentFile agent;
    agent.setLogFile(log());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&agent, t] {
            for (int i = 0; i < 300; ++i)
                agent.write("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(100, '-'));
        });
    for (std::thread& thread : threads) thread.join();
    const std::vector<std::string> lines = LogTest::logLines(log());
    ASSERT_EQ(lines.size(), 1200u);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size());
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, std::regex("thread \\d line \\d+-{100}"))) << line;
    {
        Monopoly other("a.log");  // another writer of a file of that name
        ASSERT_TRUE(other.enforce());
        EXPECT_FALSE(agent.write("dropped"));
    }
    EXPECT_TRUE(agent.write("last"));
    EXPECT_EQ(read().find("dropped"), std::string::npos);
    EXPECT_TRUE(read().ends_with("-\r\nlast\r\n"));

    LoggerAgentFile nowhere;
    nowhere.setLogFile(dir.child("missing/dir/a.log"));
    EXPECT_THROW(nowhere.write("x"), FileException);
    EXPECT_THROW(nowhere.write("y"), FileException) << "and again: the guard was released";
}

}  // namespace
}  // namespace Quilna
