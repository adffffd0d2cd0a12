// Two processes writing one log file and rotating it before every line lose no line and mix
// none (two scans appending to one log are seen end to end). The writers are this test program
// started again with QUILNA_LOG_WRITER set to "<log path>|<writer>|<lines>|<rotation scheme>":
// they write their lines and end before any test runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <thread>

#include "logger/LogTestSupport.h"
#include "logger/LoggerAgentFile.h"
#include "text/StringUtils.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

const std::string kPadding(150, '.');
const char* const kWriterVariable = "QUILNA_LOG_WRITER";

std::string writerLine(int writer, int number) {
    return "writer " + std::to_string(writer) + " line " + std::to_string(number) + " " + kPadding;
}

class WriterProcess : public ::testing::Environment {
public:
    void SetUp() override {
        std::string job;
        if (!platform().getEnv(kWriterVariable, job)) return;
        const std::vector<std::string> parts = StringUtils::split(job, '|');
        if (parts.size() != 4) std::exit(2);
        setApplicationName("Hoardscan");
        setRotationScheme(static_cast<uint32_t>(StringUtils::toInt32(parts[3])));
        LoggerAgentFile agent;
        setRotationSize(0);
        setRotationKeep(1000);  // every copy stays, to be counted
        if (!agent.setLogFile(parts[0])) std::exit(3);
        for (int i = 0; i < StringUtils::toInt32(parts[2]); ++i)
            if (!agent.write(writerLine(StringUtils::toInt32(parts[1]), i))) std::exit(4);
        std::exit(0);
    }
};

[[maybe_unused]] ::testing::Environment* const writerProcess =
    ::testing::AddGlobalTestEnvironment(std::make_unique<WriterProcess>().release());  // GoogleTest owns it

TEST(LogFileProcesses, TwoProcessesRotatingBeforeEveryLineLoseNoLine) {
    LogTest::AgentScope scope;
    const std::string logs = scope.dir.child("logs");
    fs::create_directories(logs);
    const int lines = 25;
    int results[2] = {-1, -1};
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 2; ++writer) {
        // The filter selects a test, so that GoogleTest sets up the writer's environment.
        const std::string command = std::string(kWriterVariable) + "='" + logs + "/shared.log|" +
                                    std::to_string(writer) + "|" + std::to_string(lines) + "|" +
                                    std::to_string(Rotation::Size) + "' QUILNA_REGISTRY_ROOT='" +
                                    scope.dir.child("registry") + "' QUILNA_RUNTIME_DIR='" +
                                    scope.dir.child("runtime") + "' QUILNA_ENV= QUILNA_TZ=+00:00 '" +
                                    fs::read_symlink("/proc/self/exe").string() + "' --gtest_filter=LogFileProcesses.*";
        writers.emplace_back([command, &results, writer] { results[writer] = std::system(command.c_str()); });
    }
    for (std::thread& writer : writers) writer.join();
    ASSERT_EQ(results[0], 0);
    ASSERT_EQ(results[1], 0);
    std::map<std::string, int> seen;
    size_t copies = 0;
    for (const auto& entry : fs::directory_iterator(logs)) {
        copies += std::regex_match(entry.path().filename().string(), std::regex("shared_\\d{8}T\\d{6}_\\d+\\.log"));
        for (const std::string& line : LogTest::logLines(entry.path().string()))
            if (line.find("writer ") != std::string::npos || line.find(kPadding.substr(0, 10)) != std::string::npos)
                ++seen[line];
    }
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < lines; ++i) EXPECT_EQ(seen[writerLine(writer, i)], 1) << writerLine(writer, i);
    EXPECT_EQ(seen.size(), static_cast<size_t>(2 * lines)) << "a line was broken or mixed";
    EXPECT_GE(copies, static_cast<size_t>(2 * lines)) << "every rotation took its own number";
}

}  // namespace
}  // namespace Quilna
