// A log file that another writer renames while this agent holds it open: on POSIX the open
// file moves with its new name, so the agent must notice and start a new file at the path.
#include <gtest/gtest.h>

#include <filesystem>

#include "logger/LoggerAgentFile.h"
#include "logger/LogTestSupport.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

TEST(LogFileMovedAway, AFileRotatedAwayByAnotherWriterIsNotWrittenAgain) {
    LogTest::AgentScope scope;
    const LogTest::TempDir& dir = scope.dir;
    const std::string log = dir.file("a.log");
    LoggerAgentFile first;
    LoggerAgentFile second;
    first.setLogFile(log);
    second.setLogFile(log);
    ASSERT_TRUE(first.write("1"));
    ASSERT_TRUE(second.write("2"));
    fs::rename(log, dir.file("moved.log"));
    ASSERT_TRUE(second.write("3"));
    ASSERT_TRUE(first.write("4"));
    EXPECT_EQ(LogTest::readFile(dir.file("moved.log")), "1\r\n2\r\n");
    EXPECT_EQ(LogTest::readFile(log), "3\r\n4\r\n");
}

}  // namespace
}  // namespace Quilna
