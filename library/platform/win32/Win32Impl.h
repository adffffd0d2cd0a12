#pragma once
// State and small helpers of the Win32 backend, shared by its slice files.

#include "platform/win32/WindowsApi.h"

#include <mutex>
#include <string>

#include "platform/NativePlatform.h"
#include "platform/win32/UniqueHandle.h"

namespace Quilna {

struct NativePlatform::Impl {
    // Facts that cannot change while the process runs, asked once.
    std::once_flag wow64Once;
    bool wow64 = false;
    std::once_flag architectureOnce;
    uint32_t architecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
};

namespace win32 {

// A Windows error number (or NetAPI status) in the platform's words.
SystemError systemError(uint32_t code);
// The same for GetLastError.
SystemError lastSystemError();

// One status call for a path, from its directory entry: fills everything but the full path.
bool entryStatus(const std::string& path, FileInfo& out);
// The same from what a listing found.
void listedStatus(const WIN32_FIND_DATAA& found, FileInfo& out);
// A listed directory that is no link (junctions and symbolic links are listed as files).
bool isListedDirectory(const WIN32_FIND_DATAA& found);
// A reparse point that stands for another name.
bool isLink(DWORD attributes, DWORD reparseTag);
// The full path of a relative or absolute one, as the system expands it.
std::string fullPathOf(const std::string& path);

// An entry point looked up by name at run time (absent on older systems).
template <typename Function>
Function lookUpEntryPoint(const char* module, const char* name) {
    HMODULE loaded = ::GetModuleHandleA(module);
    if (!loaded) return nullptr;
    FARPROC found = ::GetProcAddress(loaded, name);
    // Through the generic function type, which converts to any other without a warning.
    return found ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found)) : nullptr;
}

// UTF-16 to the ANSI code page, and back; names from NetAPI and the like are wide.
inline std::string toAnsi(const wchar_t* wide) {
    if (!wide || !*wide) return std::string();
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string text(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), bytes, nullptr, nullptr);
    text.resize(static_cast<size_t>(bytes) - 1);
    return text;
}

inline std::wstring toWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return wide;
}

}  // namespace win32
}  // namespace Quilna
