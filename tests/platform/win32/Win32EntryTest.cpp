// The Windows entry point, through a small program built with it (entry_probe.exe beside
// this test program).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "platform/Platform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

// Runs the probe with the given arguments and message sequence; its exit code, or -1 when it
// could not start or did not end in time.
long runProbe(const std::string& arguments, const std::string& sequence, const std::string& report) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self);
    std::string commandLine =
        "\"" + program.substr(0, program.find_last_of('\\') + 1) + "entry_probe.exe\"" + arguments;
    platform().setEnv("QUILNA_PROBE_SEQUENCE", sequence);
    platform().setEnv("QUILNA_PROBE_REPORT", report);
    platform().setEnv("QUILNA_PROBE_EXIT", "7");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.hProcess, &code);
    else ::TerminateProcess(process.hProcess, 99);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

std::map<std::string, std::string> readReport(const std::string& path) {
    std::map<std::string, std::string> report;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

TEST(Win32Entry, CommandTextExitCodeAndTheHiddenWindowThatAnswersTheSessionEnd) {
    TestSupport::TestDirectory dir;
    const std::string report = dir.child("report.txt");
    ASSERT_EQ(runProbe("   -c \"C:\\Quilna conf\\hoardscan.conf\" --level 3", "query,end,query,destroy", report), 7);
    auto answers = readReport(report);
    EXPECT_EQ(answers["command"], "dummy-c \"C:\\Quilna conf\\hoardscan.conf\" --level 3");
    ASSERT_EQ(answers["window"], "found");
    EXPECT_EQ(answers["visible"], "0");
    EXPECT_EQ(answers["classStyle"], std::to_string(0x23));
    EXPECT_EQ(answers["windowStyle"], std::to_string(0x00FF0000));
    EXPECT_EQ(answers["sameThread"], "0") << "the program runs beside the thread that answers the window";
    EXPECT_EQ(answers["flag"], "0");
    // The session may end, and asking does not set the flag; its end does.
    EXPECT_EQ(answers["query"], "1 flag=1") << "the second query, after the session end";
    EXPECT_EQ(answers["end"], "0 flag=1");
    EXPECT_EQ(answers["destroy"], "0 flag=1");

    ASSERT_EQ(runProbe("", "query,destroy", report), 7) << "the program still ends normally after WM_DESTROY";
    answers = readReport(report);
    EXPECT_EQ(answers["command"], "dummy");
    EXPECT_EQ(answers["query"], "1 flag=0");
    EXPECT_EQ(answers["destroy"], "0 flag=1");
}

}  // namespace
}  // namespace Quilna
