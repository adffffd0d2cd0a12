// The log file on POSIX, where nothing keeps a file from being renamed while it is open.
#include <gtest/gtest.h>

#include <filesystem>

#include "logger/LogTestSupport.h"
#include "logger/LoggerAgentFile.h"

namespace Quilna {
namespace {

TEST(LogFileMovedAway, AFileRotatedAwayByAnotherWriterIsNotWrittenAgain) {
    LogTest::AgentScope scope;
    LoggerAgentFile first(scope.fake), second(scope.fake);
    first.setLogFile(scope.dir.child("a.log"));
    second.setLogFile(scope.dir.child("a.log"));
    ASSERT_TRUE(first.write("1") && second.write("2"));
    std::filesystem::rename(scope.dir.child("a.log"), scope.dir.child("moved.log"));
    ASSERT_TRUE(second.write("3") && first.write("4"));
    EXPECT_EQ(scope.dir.read("moved.log") + "|" + scope.dir.read("a.log"), "1\r\n2\r\n|3\r\n4\r\n");
}

}  // namespace
}  // namespace Quilna
