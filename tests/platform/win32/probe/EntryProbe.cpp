// A program with the real Windows entry point, started by the platform tests. What it does
// is chosen by environment variables:
//   QUILNA_PROBE_REPORT   file that receives "key=value" lines (written whole at the end)
//   QUILNA_PROBE_MODE     "window" (default) or "hold-lock"
//   QUILNA_PROBE_SEQUENCE window mode: messages to send, e.g. "query,end,destroy"
//   QUILNA_PROBE_EXIT     window mode: the exit code to return
//   QUILNA_PROBE_LOCK     hold-lock mode: the named lock to hold until
//   QUILNA_PROBE_RELEASE  hold-lock mode: this file exists
#include <windows.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/ApplicationMain.h"
#include "platform/NamedLock.h"
#include "platform/Platform.h"

namespace {

std::string variable(const char* name) {
    std::string value;
    Quilna::platform().getEnv(name, value);
    return value;
}

// Written to a temporary name and renamed, so the test never reads half a report.
void writeReport(const std::string& text) {
    const std::string path = variable("QUILNA_PROBE_REPORT");
    if (path.empty()) return;
    const std::string partial = path + ".part";
    {
        std::ofstream file(partial, std::ios::binary);
        file << text;
    }
    ::MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

UINT messageNamed(const std::string& name) {
    if (name == "query") return WM_QUERYENDSESSION;
    if (name == "end") return WM_ENDSESSION;
    if (name == "destroy") return WM_DESTROY;
    return WM_NULL;
}

int windowMode(const std::string& commandText, std::atomic<bool>& quitFlag) {
    std::ostringstream report;
    report << "command=" << commandText << "\n";
    HWND window = ::FindWindowA("GenericAppClass", "Quilna Hoardscan");
    report << "window=" << (window ? "found" : "missing") << "\n";
    if (window) {
        report << "visible=" << (::IsWindowVisible(window) ? 1 : 0) << "\n";
        report << "classStyle=" << ::GetClassLongPtrA(window, GCL_STYLE) << "\n";
        report << "windowStyle=" << (::GetWindowLongPtrA(window, GWL_STYLE) & 0x00FF0000) << "\n";
        report << "sameThread=" << (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId() ? 1 : 0)
               << "\n";
        report << "flag=" << quitFlag.load() << "\n";
        std::istringstream sequence(variable("QUILNA_PROBE_SEQUENCE"));
        for (std::string name; std::getline(sequence, name, ',');) {
            // Sent from this thread, the message is answered by the entry thread's loop.
            LRESULT result = ::SendMessageA(window, messageNamed(name), 1, 0);
            report << name << "=" << result << " flag=" << quitFlag.load() << "\n";
        }
    }
    writeReport(report.str());
    const std::string exitCode = variable("QUILNA_PROBE_EXIT");
    return exitCode.empty() ? 0 : std::stoi(exitCode);
}

int holdLockMode() {
    std::unique_ptr<Quilna::NamedLock> lock = Quilna::platform().tryNamedLock(variable("QUILNA_PROBE_LOCK"));
    writeReport(std::string("held=") + (lock ? "1" : "0") + "\n");
    const std::string release = variable("QUILNA_PROBE_RELEASE");
    for (int waited = 0; waited < 30000; waited += 20) {
        if (::GetFileAttributesA(release.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        ::Sleep(20);
    }
    return lock ? 0 : 3;
}

}  // namespace

int Quilna::applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag) {
    if (variable("QUILNA_PROBE_MODE") == "hold-lock") return holdLockMode();
    return windowMode(commandText, quitFlag);
}
