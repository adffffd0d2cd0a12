// The log file on POSIX, where nothing keeps a file from being renamed while it is open, and where
// two processes may append to one log and rotate it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <regex>

#include "logger/LogTestSupport.h"
#include "logger/LoggerAgentFile.h"
#include "support/ChildProcess.h"
#include "text/StringUtils.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

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

TEST(LogFileProcesses, TwoProcessesRotatingBeforeEveryLineLoseNoLine) {
    LogTest::AgentScope scope;
    const std::string logs = scope.dir.child("logs");
    fs::create_directories(logs);
    const int lines = 25;
    const std::string padding(150, '.');
    const auto writerLine = [&](int writer, int number) {
        return "writer " + std::to_string(writer) + " line " + std::to_string(number) + " " + padding;
    };
    setRotationScheme(Rotation::Size);
    std::vector<std::unique_ptr<TestSupport::ChildProcess>> writers;
    for (int writer = 0; writer < 2; ++writer)
        writers.push_back(std::make_unique<TestSupport::ChildProcess>([&, writer] {
            LoggerAgentFile agent;
            setRotationSize(0);
            setRotationKeep(1000);  // every copy stays, to be counted
            if (!agent.setLogFile(logs + "/shared.log")) return 3;
            for (int i = 0; i < lines; ++i)
                if (!agent.write(writerLine(writer, i))) return 4;
            return 0;
        }));
    for (const auto& writer : writers) EXPECT_EQ(writer->wait(), 0);
    std::map<std::string, int> seen;
    size_t copies = 0;
    for (const auto& entry : fs::directory_iterator(logs)) {
        copies += std::regex_match(entry.path().filename().string(), std::regex("shared_\\d{8}T\\d{6}_\\d+\\.log"));
        for (const std::string& line :
             StringUtils::split(TestSupport::TestDirectory::readFile(entry.path().string()), "\r\n"))
            if (line.find("writer ") != std::string::npos || line.find(padding.substr(0, 10)) != std::string::npos)
                ++seen[line];
    }
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < lines; ++i) EXPECT_EQ(seen[writerLine(writer, i)], 1) << writerLine(writer, i);
    EXPECT_EQ(seen.size(), static_cast<size_t>(2 * lines)) << "a line was broken or mixed";
    EXPECT_GE(copies, static_cast<size_t>(2 * lines)) << "every rotation took its own number";
}

}  // namespace
}  // namespace Quilna
