// The log's file or directory taken away while the program runs (on POSIX nothing keeps them):
// lines written while the directory is gone are lost, the program is not, and logging resumes in
// a new file once it is back; a file another writer renamed is not written again, as the open
// file moved with its new name.
#include <gtest/gtest.h>

#include <filesystem>

#include "logger/LogMessenger.h"
#include "logger/LogTestSupport.h"
#include "logger/LoggerAgentFile.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

TEST(LogDirectoryVanishes, LinesAreLostWhileItIsGoneAndTheLogResumesWhenItIsBack) {
    LogTest::AgentScope scope;
    setDebugLevel(1);
    setSeverityFilter(0);
    fs::create_directory(scope.dir.child("log"));
    auto agent = makeSmart<LoggerAgentFile>();
    ASSERT_TRUE(agent->setLogFile(scope.dir.child("log/a.log")));
    LoggerUnit unit(makeSmart<LoggerCentre>(17, makeSmart<LogMessenger>(SmartPointer<LoggerAgent>(agent))), 17);
    EXPECT_TRUE(unit.debug(1, "before"));
    fs::remove_all(scope.dir.child("log"));
    bool written = true;
    EXPECT_NO_THROW(written = unit.debug(1, "%s and %s",
                                         ParamStream() << "still"
                                                       << "gone"));
    EXPECT_FALSE(written);
    EXPECT_FALSE(unit.warning(5, ParamStream() << "a record"));
    EXPECT_FALSE(fs::exists(scope.dir.child("log"))) << "the agent does not make the directory up";
    fs::create_directory(scope.dir.child("log"));
    EXPECT_TRUE(unit.debug(1, "after"));
    const std::string text = scope.dir.read("log/a.log");
    EXPECT_TRUE(text.ends_with(": after\r\n")) << text;
    EXPECT_EQ(text.find("before"), std::string::npos);
    EXPECT_EQ(text.find("gone"), std::string::npos);
}

TEST(LogFileMovedAway, AFileRotatedAwayByAnotherWriterIsNotWrittenAgain) {
    LogTest::AgentScope scope;
    LoggerAgentFile first, second;
    first.setLogFile(scope.dir.child("a.log"));
    second.setLogFile(scope.dir.child("a.log"));
    ASSERT_TRUE(first.write("1"));
    ASSERT_TRUE(second.write("2"));
    std::filesystem::rename(scope.dir.child("a.log"), scope.dir.child("moved.log"));
    ASSERT_TRUE(second.write("3"));
    ASSERT_TRUE(first.write("4"));
    EXPECT_EQ(scope.dir.read("moved.log"), "1\r\n2\r\n");
    EXPECT_EQ(scope.dir.read("a.log"), "3\r\n4\r\n");
}

}  // namespace
}  // namespace Quilna
