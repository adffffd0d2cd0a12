// Two Windows processes writing one log file: this test program starts itself twice as the
// writers of LogFileWriterProcess (LogFileConcurrencyTest.cpp). The named guard keeps whole
// lines between processes; a rotation that the other writer's open file prevents fails at once
// instead of keeping that writer waiting until it drops its lines.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "logger/LogTestSupport.h"
#include "logger/RotationSettings.h"
#include "support/TestRegistryKey.h"

namespace Quilna {
namespace {

const std::string kPadding(150, '.');

std::string lineOf(int writer, int number) {
    return "writer " + std::to_string(writer) + " line " + std::to_string(number) + " " + kPadding;
}

std::string selfPath() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

// Starts the writer with its own environment (a process takes a copy when it starts).
HANDLE startWriter(const std::string& log, int writer, int lines, uint32_t scheme, const std::string& key) {
    ::SetEnvironmentVariableA("QUILNA_LOG_WRITER", (log + "|" + std::to_string(writer) + "|" + std::to_string(lines) +
                                                    "|" + std::to_string(scheme)).c_str());
    ::SetEnvironmentVariableA("QUILNA_ENV", key.c_str());
    ::SetEnvironmentVariableA("QUILNA_TZ", "+00:00");
    std::string command = "\"" + selfPath() + "\" --gtest_filter=LogFileWriterProcess.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const BOOL created =
        ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started);
    ::SetEnvironmentVariableA("QUILNA_LOG_WRITER", nullptr);
    if (!created) return nullptr;
    ::CloseHandle(started.hThread);
    return started.hProcess;
}

// Runs two writers of so many lines each and checks that every line is there once and whole,
// in the log or in its rotated copies.
void expectTwoWritersLoseNoLine(int lines, uint32_t scheme) {
    LogTest::TempDir dir;
    const std::string key = TestSupport::uniqueResourceKey();
    const std::string log = dir.file("shared.log");
    std::string savedKey;
    const bool hadKey = platform().getEnv("QUILNA_ENV", savedKey);
    HANDLE writers[2] = {startWriter(log, 0, lines, scheme, key), startWriter(log, 1, lines, scheme, key)};
    if (hadKey) platform().setEnv("QUILNA_ENV", savedKey);
    else platform().unsetEnv("QUILNA_ENV");
    ASSERT_NE(writers[0], nullptr);
    ASSERT_NE(writers[1], nullptr);
    ASSERT_EQ(::WaitForMultipleObjects(2, writers, TRUE, 120000), WAIT_OBJECT_0);
    for (HANDLE writer : writers) {
        DWORD code = 1;
        ::GetExitCodeProcess(writer, &code);
        EXPECT_EQ(code, 0u) << "a writer could not write a line";
        ::CloseHandle(writer);
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());

    std::map<std::string, int> seen;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        for (const std::string& line : LogTest::logLines(entry.path().string()))
            if (line.find("writer ") != std::string::npos || line.find(kPadding.substr(0, 10)) != std::string::npos)
                ++seen[line];
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < lines; ++i) EXPECT_EQ(seen[lineOf(writer, i)], 1) << lineOf(writer, i);
    EXPECT_EQ(seen.size(), static_cast<size_t>(2 * lines)) << "a line was broken or mixed";
}

TEST(LogFileProcesses, TwoProcessesAppendingLoseNoLineAndMixNone) { expectTwoWritersLoseNoLine(1000, 0); }

TEST(LogFileProcesses, TwoProcessesRotatingBeforeEveryLineLoseNoLine) {
    const auto started = std::chrono::steady_clock::now();
    expectTwoWritersLoseNoLine(60, Rotation::Size);
    // Failed renames are not retried while the other writer waits.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

}  // namespace
}  // namespace Quilna
