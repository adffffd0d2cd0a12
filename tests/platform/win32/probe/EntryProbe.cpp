// A program with the real Windows entry point, started by the platform tests. It reports to
// the file $QUILNA_PROBE_REPORT ("key=value" lines, written whole at the end) the command text
// and what its hidden window answers to the messages $QUILNA_PROBE_SEQUENCE names (e.g.
// "query,end,destroy"), and ends with the exit code $QUILNA_PROBE_EXIT.
#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ApplicationMain.h"
#include "platform/Platform.h"

namespace {

std::string variable(const char* name) {
    std::string value;
    Quilna::platform().getEnv(name, value);
    return value;
}

UINT messageNamed(const std::string& name) {
    if (name == "query") return WM_QUERYENDSESSION;
    if (name == "end") return WM_ENDSESSION;
    if (name == "destroy") return WM_DESTROY;
    return WM_NULL;
}

}  // namespace

int Quilna::applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag) {
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
    std::ofstream(variable("QUILNA_PROBE_REPORT"), std::ios::binary) << report.str();
    const std::string exitCode = variable("QUILNA_PROBE_EXIT");
    return exitCode.empty() ? 0 : std::stoi(exitCode);
}
