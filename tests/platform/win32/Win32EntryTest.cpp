// The Windows entry point, through a small program built with it (entry_probe.exe beside
// this test program), and named locks held by another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/NamedLock.h"
#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

using NativeTest::ScopedEnv;
using NativeTest::TempDir;

std::string probeProgram() {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + "entry_probe.exe";
}

// A started probe; the handles close on destruction.
class Probe {
public:
    explicit Probe(const std::string& arguments) {
        std::string commandLine = "\"" + probeProgram() + "\"" + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        started_ = ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                    &startup, &process_) != 0;
    }
    ~Probe() {
        if (!started_) return;
        if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.hProcess, 99);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    bool started() const { return started_; }
    // The exit code, or -1 when the probe did not end in time.
    long finish() {
        if (!started_ || ::WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

std::map<std::string, std::string> readReport(const std::string& path) {
    std::map<std::string, std::string> report;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

bool waitForFile(const std::string& path) {
    for (int waited = 0; waited < 30000; waited += 20) {
        if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        ::Sleep(20);
    }
    return false;
}

class Win32Entry : public ::testing::Test {
protected:
    Win32Entry() : report_(dir_.child("report.txt")), reportVariable_("QUILNA_PROBE_REPORT", report_) {}
    const std::string& reportPath() const { return report_; }

private:
    TempDir dir_;
    std::string report_;
    ScopedEnv reportVariable_;
};

TEST_F(Win32Entry, CommandTextIsDummyFollowedByTheCommandLine) {
    ScopedEnv exitCode("QUILNA_PROBE_EXIT", "7");
    ScopedEnv sequence("QUILNA_PROBE_SEQUENCE", "");
    Probe probe("   -c \"C:\\Quilna conf\\hoardscan.conf\" --level 3");
    ASSERT_TRUE(probe.started());
    EXPECT_EQ(probe.finish(), 7) << "the program's result is the exit code";
    auto report = readReport(reportPath());
    EXPECT_EQ(report["command"], "dummy-c \"C:\\Quilna conf\\hoardscan.conf\" --level 3");

    Probe bare("");
    EXPECT_EQ(bare.finish(), 7);
    EXPECT_EQ(readReport(reportPath())["command"], "dummy");
}

TEST_F(Win32Entry, HiddenWindowAnswersTheSessionEnd) {
    ScopedEnv sequence("QUILNA_PROBE_SEQUENCE", "query,end,query,destroy");
    Probe probe(" -c x");
    ASSERT_EQ(probe.finish(), 0);
    auto report = readReport(reportPath());
    ASSERT_EQ(report["window"], "found");
    EXPECT_EQ(report["visible"], "0");
    EXPECT_EQ(report["classStyle"], std::to_string(0x23));
    EXPECT_EQ(report["windowStyle"], std::to_string(0x00FF0000));
    EXPECT_EQ(report["sameThread"], "0") << "the program runs beside the thread that answers the window";
    EXPECT_EQ(report["flag"], "0");
    // The session may end, and asking does not set the flag; its end does.
    EXPECT_EQ(report["query"], "1 flag=1") << "the second query, after the session end";
    EXPECT_EQ(report["end"], "0 flag=1");
    EXPECT_EQ(report["destroy"], "0 flag=1");
}

TEST_F(Win32Entry, QueryLeavesTheFlagAndDestroySetsIt) {
    ScopedEnv sequence("QUILNA_PROBE_SEQUENCE", "query,destroy");
    Probe probe("");
    ASSERT_EQ(probe.finish(), 0) << "the program still ends normally after WM_DESTROY";
    auto report = readReport(reportPath());
    ASSERT_EQ(report["window"], "found");
    EXPECT_EQ(report["query"], "1 flag=0");
    EXPECT_EQ(report["destroy"], "0 flag=1");
}

TEST_F(Win32Entry, NamedLockHeldByAnotherProcessExcludesThisOne) {
    const std::string name = NativeTest::uniqueName("Quilna_Cross_");
    TempDir dir;
    const std::string release = dir.child("release");
    ScopedEnv mode("QUILNA_PROBE_MODE", "hold-lock");
    ScopedEnv lock("QUILNA_PROBE_LOCK", name);
    ScopedEnv releaseFile("QUILNA_PROBE_RELEASE", release);

    Probe holder("");
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(waitForFile(reportPath()));
    ASSERT_EQ(readReport(reportPath())["held"], "1");
    EXPECT_EQ(platform().tryNamedLock(name), nullptr) << "held by the other process";

    std::ofstream(release).put('x');
    ASSERT_EQ(holder.finish(), 0);
    EXPECT_NE(platform().tryNamedLock(name), nullptr) << "free once the holder has ended";
}

}  // namespace
}  // namespace Quilna
