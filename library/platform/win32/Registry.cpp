// Win32: registry values below HKEY_LOCAL_MACHINE, in the 64-bit view when asked.
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

}  // namespace

int NativePlatform::readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                                 std::string& data) {
    RegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | viewFlag(view64), key.address()) != ERROR_SUCCESS)
        return 2;
    try {
        std::vector<char> buffer(100);
        for (;;) {
            DWORD valueType = 0;
            DWORD size = static_cast<DWORD>(buffer.size());
            LSTATUS status = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &valueType,
                                                reinterpret_cast<LPBYTE>(buffer.data()), &size);
            if (status == ERROR_MORE_DATA) {
                // The value may grow between two queries: ask again with what was reported.
                buffer.resize(size > buffer.size() ? size : buffer.size() * 2);
                continue;
            }
            if (status != ERROR_SUCCESS) return 2;
            type = valueType;
            data.assign(buffer.data(), size);
            return 0;
        }
    } catch (const std::bad_alloc&) {
        return 1;
    }
}

bool NativePlatform::writeRegistryString(const std::string& keyPath, const std::string& name, const std::string& value,
                                         bool view64) {
    RegistryKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE | viewFlag(view64), nullptr, key.address(), nullptr) != ERROR_SUCCESS)
        return false;
    // The terminating zero is stored with the text, as every reader of a REG_SZ expects.
    return ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace Quilna
