// Win32: UTF-8 above the boundary, UTF-16 below it, and long paths.
#include "platform/win32/Win32Impl.h"

namespace Quilna::win32 {

namespace {

// Plain paths stop short of MAX_PATH; CreateDirectory stops 12 characters earlier still.
constexpr size_t kPlainPathLimit = MAX_PATH - 12;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring fullPath(const std::wstring& path) {
    std::wstring buffer(path.size() + MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) return path;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
}

}  // namespace

std::string toUtf8(const wchar_t* wide, size_t length) {
    if (!wide || length == 0) return std::string();
    const int units = static_cast<int>(length);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string text(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, units, text.data(), bytes, nullptr, nullptr);
    return text;
}

std::wstring toWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int bytes = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, wide.data(), units);
    return wide;
}

std::wstring systemPath(const std::string& path) {
    std::wstring wide = toWide(path);
    if (wide.size() < kPlainPathLimit || wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) return wide;
    // The prefix turns off the system's own clean-up of the path: it is done here first.
    std::wstring full = fullPath(wide);
    for (wchar_t& c : full)
        if (c == L'/') c = L'\\';
    if (full.size() > 2 && isSeparator(full[0]) && isSeparator(full[1])) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace Quilna::win32
