// Win32: registry values below HKEY_LOCAL_MACHINE, in the 64-bit view when asked.
#include <cstring>
#include <new>
#include <vector>

#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

// Closes a registry key on scope exit.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_) ::RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY* address() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

REGSAM viewFlag(bool view64) { return view64 ? KEY_WOW64_64KEY : 0; }

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Texts are stored as UTF-16 and handed over as UTF-8, their zeros (terminating, and between the
// strings of a multi-string) kept in place; other values as their bytes.
std::string valueData(DWORD type, const std::vector<char>& buffer, DWORD size) {
    if (!isText(type)) return std::string(buffer.data(), size);
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    if (!wide.empty()) std::memcpy(wide.data(), buffer.data(), wide.size() * sizeof(wchar_t));
    return win32::toUtf8(wide);
}

}  // namespace

bool NativePlatform::readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                                  std::string& data, SystemError& error) {
    RegistryKey key;
    // A key or value that cannot be read is one not found, whatever the reason.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::toWide(keyPath).c_str(), 0, KEY_READ | viewFlag(view64),
                        key.address()) != ERROR_SUCCESS)
        return win32::fail(error, ERROR_FILE_NOT_FOUND);
    const std::wstring valueName = win32::toWide(name);
    try {
        std::vector<char> buffer(100);
        for (;;) {
            DWORD valueType = 0;
            DWORD size = static_cast<DWORD>(buffer.size());
            LSTATUS status = ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &valueType,
                                                reinterpret_cast<LPBYTE>(buffer.data()), &size);
            if (status == ERROR_MORE_DATA) {
                // The value may grow between two queries: ask again with what was reported.
                buffer.resize(size > buffer.size() ? size : buffer.size() * 2);
                continue;
            }
            if (status != ERROR_SUCCESS) return win32::fail(error, ERROR_FILE_NOT_FOUND);
            type = valueType;
            data = valueData(valueType, buffer, size);
            return true;
        }
    } catch (const std::bad_alloc&) {
        return win32::fail(error, ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool NativePlatform::writeRegistryString(const std::string& keyPath, const std::string& name, const std::string& value,
                                         bool view64, SystemError& error) {
    RegistryKey key;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::toWide(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE | viewFlag(view64), nullptr, key.address(), nullptr);
    if (status != ERROR_SUCCESS) return win32::fail(error, static_cast<DWORD>(status));
    // The terminating zero is stored with the text, as every reader of a REG_SZ expects.
    const std::wstring text = win32::toWide(value);
    status =
        ::RegSetValueExW(key.get(), win32::toWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS || win32::fail(error, static_cast<DWORD>(status));
}

}  // namespace Quilna
