// The directory of the log removed while the program runs (on POSIX nothing keeps it): the
// lines written meanwhile are lost, the program is not, and logging resumes in a new file once
// the directory is back.
#include <gtest/gtest.h>

#include <filesystem>

#include "logger/LogMessenger.h"
#include "logger/LoggerAgentFile.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "logger/LogTestSupport.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

TEST(LogDirectoryVanishes, LinesAreLostWhileItIsGoneAndTheLogResumesWhenItIsBack) {
    LogTest::AgentScope scope;
    const LogTest::TempDir& dir = scope.dir;
    setDebugLevel(1);
    setSeverityFilter(0);
    fs::create_directory(dir.file("log"));
    const std::string log = dir.file("log/a.log");

    auto agent = makeSmart<LoggerAgentFile>();
    ASSERT_TRUE(agent->setLogFile(log));
    auto centre = makeSmart<LoggerCentre>(17, makeSmart<LogMessenger>(SmartPointer<LoggerAgent>(agent)));
    LoggerUnit unit(centre, 17);
    EXPECT_TRUE(unit.debug(1, "before"));

    fs::remove_all(dir.file("log"));
    bool written = true;
    EXPECT_NO_THROW(written = unit.debug(1, "while gone"));
    EXPECT_FALSE(written);
    EXPECT_NO_THROW(written = unit.debug(1, "%s and %s", ParamStream() << "still" << "gone"));
    EXPECT_FALSE(written);
    EXPECT_FALSE(unit.warning(5, ParamStream() << "a record"));
    EXPECT_FALSE(fs::exists(dir.file("log")));  // the agent does not make the directory up

    fs::create_directory(dir.file("log"));
    EXPECT_TRUE(unit.debug(1, "after"));
    const std::string text = LogTest::readFile(log);
    EXPECT_NE(text.find("after\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("before"), std::string::npos);
    EXPECT_EQ(text.find("gone"), std::string::npos);
}

}  // namespace
}  // namespace Quilna
