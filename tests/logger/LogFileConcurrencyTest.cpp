// Two processes writing into one log file: this test binary starts itself twice as the
// writers (the child test below does the writing only when started that way).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <thread>

#include "common/StringUtils.h"
#include "logger/LoggerAgentFile.h"
#include "LogTestSupport.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

const char* const kChildVariable = "QUILNA_LOG_WRITER";
const std::string kPadding(150, '.');

std::string lineOf(int writer, int number) {
    return "writer " + std::to_string(writer) + " line " + std::to_string(number) + " " + kPadding;
}

// Started by the test below: QUILNA_LOG_WRITER=<log path>|<writer>|<lines>|<rotation scheme>.
TEST(LogFileWriterProcess, WritesItsLinesWhenStartedAsAWriter) {
    std::string job;
    if (!platform().getEnv(kChildVariable, job)) GTEST_SKIP() << "runs only as a writer process";
    const std::vector<std::string> parts = StringUtils::split(job, '|');
    ASSERT_EQ(parts.size(), 4u);
    setApplicationName("Hoardscan");
    setRotationScheme(static_cast<uint32_t>(StringUtils::toInt32(parts[3])));
    LoggerAgentFile agent;
    setRotationSize(0);
    setRotationKeep(1000);  // every copy stays, to be counted
    ASSERT_TRUE(agent.setLogFile(parts[0]));
    const int writer = StringUtils::toInt32(parts[1]);
    for (int i = 0; i < StringUtils::toInt32(parts[2]); ++i) ASSERT_TRUE(agent.write(lineOf(writer, i))) << i;
}

class LogFileConcurrencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::error_code error;
        self_ = fs::read_symlink("/proc/self/exe", error).string();
        if (error) GTEST_SKIP() << "cannot start this program again";
        fs::create_directories(dir.file("registry"));
        fs::create_directories(dir.file("runtime"));
        fs::create_directories(dir.file("logs"));
    }

    // Starts two writers at once and waits for both; true when both succeeded.
    bool runWriters(int lines, uint32_t scheme) {
        int results[2] = {-1, -1};
        std::vector<std::thread> writers;
        for (int writer = 0; writer < 2; ++writer) {
            const std::string command = std::string(kChildVariable) + "='" + dir.file("logs/shared.log") + "|" +
                                        std::to_string(writer) + "|" + std::to_string(lines) + "|" +
                                        std::to_string(scheme) + "' QUILNA_REGISTRY_ROOT='" + dir.file("registry") +
                                        "' QUILNA_RUNTIME_DIR='" + dir.file("runtime") +
                                        "' QUILNA_ENV= QUILNA_TZ=+00:00 '" + self_ +
                                        "' --gtest_filter=LogFileWriterProcess.* > '" +
                                        dir.file("writer" + std::to_string(writer) + ".out") + "' 2>&1";
            writers.emplace_back([command, &results, writer] { results[writer] = std::system(command.c_str()); });
        }
        for (std::thread& writer : writers) writer.join();
        return results[0] == 0 && results[1] == 0;
    }

    // Every line of every log file, the rotated copies included.
    std::vector<std::string> allLines() const {
        std::vector<std::string> lines;
        for (const auto& entry : fs::directory_iterator(dir.file("logs")))
            for (const std::string& line : LogTest::logLines(entry.path().string())) lines.push_back(line);
        return lines;
    }

    // Each writer's line is there exactly once and whole; no other line holds a writer's text.
    void expectEveryLineOnceAndWhole(int lines) {
        std::map<std::string, int> seen;
        for (const std::string& line : allLines()) {
            if (line.find("writer ") == std::string::npos && line.find(kPadding.substr(0, 10)) == std::string::npos)
                continue;  // the agents' own lines
            ++seen[line];
        }
        for (int writer = 0; writer < 2; ++writer)
            for (int i = 0; i < lines; ++i) EXPECT_EQ(seen[lineOf(writer, i)], 1) << lineOf(writer, i);
        EXPECT_EQ(seen.size(), static_cast<size_t>(2 * lines)) << "a line was broken or mixed";
    }

    LogTest::TempDir dir;
    std::string self_;
};

TEST_F(LogFileConcurrencyTest, TwoProcessesAppendingLoseNoLineAndMixNone) {
    const int lines = 2000;
    ASSERT_TRUE(runWriters(lines, 0)) << LogTest::readFile(dir.file("writer0.out")) << LogTest::readFile(dir.file("writer1.out"));
    expectEveryLineOnceAndWhole(lines);
}

TEST_F(LogFileConcurrencyTest, TwoProcessesRotatingBeforeEveryLineLoseNoLine) {
    const int lines = 25;
    ASSERT_TRUE(runWriters(lines, Rotation::Size))
        << LogTest::readFile(dir.file("writer0.out")) << LogTest::readFile(dir.file("writer1.out"));
    expectEveryLineOnceAndWhole(lines);
    // Every rotation took its own number: no copy was overwritten.
    size_t copies = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("logs")))
        if (std::regex_match(entry.path().filename().string(), std::regex("shared_\\d{8}T\\d{6}_\\d+\\.log"))) ++copies;
    EXPECT_GE(copies, static_cast<size_t>(2 * lines));
}

}  // namespace
}  // namespace Quilna
