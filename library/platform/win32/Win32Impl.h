#pragma once
// State and small helpers of the Win32 backend, shared by its slice files.

#include "platform/win32/WindowsApi.h"

#include <cwchar>
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
// Records a failure (of GetLastError, or of code) in error and gives the false a failed call returns.
bool fail(SystemError& error, DWORD code);
bool fail(SystemError& error);

// One status call for a path, from its directory entry: fills everything but the full path.
bool entryStatus(const std::string& path, FileInfo& out);
// The same from what a listing found.
void listedStatus(const WIN32_FIND_DATAW& found, FileInfo& out);
// The same for a file held open (with FILE_READ_ATTRIBUTES).
bool handleStatus(HANDLE file, FileInfo& out);
// A listed directory that is no link (junctions and symbolic links are listed as files).
bool isListedDirectory(const WIN32_FIND_DATAW& found);
// A reparse point that stands for another name.
bool isLink(DWORD attributes, DWORD reparseTag);
// The owner of a file or directory, asked of the server that holds it (empty: this computer).
bool fileOwner(const std::string& path, const std::string& server, std::string& domain, std::string& account);
// Whether a file held open (with READ_CONTROL) belongs to this process's user: its owner is the
// owner that the process gives what it makes (an administrator's files belong to the group of
// administrators) or the process's user itself.
bool ownedByThisProcess(HANDLE file);
// The full path of a relative or absolute one, as the system expands it.
std::string fullPathOf(const std::string& path);

// An entry point looked up by name at run time (absent on older systems).
template <typename Function>
Function lookUpEntryPoint(const wchar_t* module, const char* name) {
    HMODULE loaded = ::GetModuleHandleW(module);
    if (!loaded) return nullptr;
    FARPROC found = ::GetProcAddress(loaded, name);
    // Through the generic function type, which converts to any other without a warning.
    return found ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found)) : nullptr;
}

// Text crosses the boundary as UTF-8 and reaches the system as UTF-16. A name that is not
// valid UTF-16 (a lone surrogate, which NTFS allows) comes out with U+FFFD in its place.
std::string toUtf8(const wchar_t* wide, size_t length);
inline std::string toUtf8(const std::wstring& wide) { return toUtf8(wide.data(), wide.size()); }
inline std::string toUtf8(const wchar_t* wide) { return wide ? toUtf8(wide, std::wcslen(wide)) : std::string(); }
std::wstring toWide(const std::string& text);
// A path as the system takes it: UTF-16, and beyond the length of the plain forms with the
// "\\?\" prefix ("\\?\UNC\server\share\..." for shares), which only full paths may carry.
std::wstring systemPath(const std::string& path);

}  // namespace win32
}  // namespace Quilna
