// A program with the real Windows entry point, started by the platform tests. It writes to the
// file $QUILNA_PROBE_REPORT the command text and what its hidden window answers to a session
// that ends, then is destroyed, and ends with the exit code 7.
#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>
#include <utility>

#include "platform/ApplicationMain.h"
#include "platform/Platform.h"

int Quilna::applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag) {
    std::string path;
    platform().getEnv("QUILNA_PROBE_REPORT", path);
    std::ofstream report(path, std::ios::binary);
    report << "command=" << commandText << "\n";
    HWND window = ::FindWindowA("GenericAppClass", "Quilna Hoardscan");
    if (!window) return 7;
    report << "visible=" << ::IsWindowVisible(window) << " classStyle=" << ::GetClassLongPtrA(window, GCL_STYLE)
           << " windowStyle=" << (::GetWindowLongPtrA(window, GWL_STYLE) & 0x00FF0000)
           << " sameThread=" << (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId())
           << " flag=" << quitFlag.load() << "\n";
    const std::pair<const char*, UINT> sequence[] = {
        {"query", WM_QUERYENDSESSION}, {"end", WM_ENDSESSION}, {"query", WM_QUERYENDSESSION}, {"destroy", WM_DESTROY}};
    // Sent from this thread, each message is answered by the entry thread's loop.
    for (const auto& [name, message] : sequence)
        report << name << "=" << ::SendMessageA(window, message, 1, 0) << " flag=" << quitFlag.load() << "\n";
    return 7;
}
