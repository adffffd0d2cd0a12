// The Windows entry point, through a small program built with it (entry_probe.exe beside
// this test program).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(Win32Entry, CommandTextExitCodeAndTheHiddenWindowThatAnswersTheSessionEnd) {
    TestSupport::TestDirectory dir;
    platform().setEnv("QUILNA_PROBE_REPORT", dir.child("report.txt"));
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = self;
    command = "\"" + command.substr(0, command.rfind('\\')) + "\\entry_probe.exe\"   -c \"C:\\Quilna conf\\x\" -l 3";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(code, 7u) << "the program still ends normally after WM_DESTROY";
    // The session may end, and asking does not set the flag; its end does. The program runs
    // beside the thread that answers the window.
    EXPECT_EQ(dir.read("report.txt"),
              "command=dummy-c \"C:\\Quilna conf\\x\" -l 3\n"
              "visible=0 classStyle=35 windowStyle=16711680 sameThread=0 flag=0\n"
              "query=1 flag=0\nend=0 flag=1\nquery=1 flag=1\ndestroy=0 flag=1\n");
}

}  // namespace
}  // namespace Quilna
