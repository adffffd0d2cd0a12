// Windows entry point of the GUI-subsystem program. Its one window is never shown: it
// learns that the session ends or the system shuts down and sets the quit flag.
//
// The program runs on a worker thread while this thread answers the window's messages:
// a window whose thread never takes its messages holds up log-off and shut-down as a hung
// application, and its window procedure would never see the session end.
#include <atomic>
#include <string>
#include <thread>

#include "platform/ApplicationMain.h"
#include "platform/win32/Win32Impl.h"

namespace {

std::atomic<bool> quitFlag{false};

// Posted to the entry thread (not to the window) when the program has finished.
constexpr UINT ApplicationFinished = WM_APP + 1;

constexpr wchar_t WindowClassName[] = L"GenericAppClass";

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            quitFlag.store(true);
            ::PostQuitMessage(0);
            return 0;
        case WM_QUERYENDSESSION: return 1;  // the session may end
        case WM_ENDSESSION: quitFlag.store(true); return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void registerWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;  // 0x23
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    // The system's own resources are numbers, whichever function names them.
    windowClass.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = L"GenericAppMenu";
    windowClass.lpszClassName = WindowClassName;
    ::RegisterClassW(&windowClass);
}

void createHiddenWindow(HINSTANCE instance) {
    // WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, never shown. Without a window (no
    // desktop to create it on) the program still runs; only the quit flag stays unset.
    ::CreateWindowExW(0, WindowClassName, L"Quilna Hoardscan", 0x00FF0000, 0, 0, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                      nullptr, instance, nullptr);
}

// Answers window messages until the program has finished. A quit message (after
// WM_DESTROY) does not stop the answering: the program still runs to its end.
void answerMessagesUntilFinished() {
    MSG message;
    for (;;) {
        BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) return;
        if (got == 0) continue;
        if (message.hwnd == nullptr && message.message == ApplicationFinished) return;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

int runApplication(const std::string& commandText) {
    // The thread's message queue must exist before the worker can post to it.
    MSG peek;
    ::PeekMessageW(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const DWORD entryThread = ::GetCurrentThreadId();
    int exitCode = 0;
    std::thread worker([&] {
        exitCode = Quilna::applicationMain(commandText, quitFlag);
        ::PostThreadMessageW(entryThread, ApplicationFinished, 0, 0);
    });
    answerMessagesUntilFinished();
    worker.join();
    return exitCode;
}

// The command line without the program name and the blanks after it, as UTF-8 whatever the
// code page: the program name ends at the closing quote, or else at the first blank.
std::string argumentsText() {
    const wchar_t* at = ::GetCommandLineW();
    if (!at) return std::string();
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"') ++at;
        if (*at) ++at;
    } else {
        while (*at && *at != L' ' && *at != L'\t') ++at;
    }
    while (*at == L' ' || *at == L'\t') ++at;
    return Quilna::win32::toUtf8(at);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR /*commandLine*/, int /*showMode*/) try {
    if (!previousInstance) registerWindowClass(instance);
    createHiddenWindow(instance);
    return runApplication("dummy" + argumentsText());
} catch (...) {
    // No memory for the command text, or no thread for the program: it has not started.
    return 1;
}
