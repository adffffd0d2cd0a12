#pragma once
// Registry values: the installation's resources.

#include <cstdint>
#include <string>

namespace Quilna {

// Registry value types.
namespace RegistryType {
constexpr uint32_t String = 1;        // REG_SZ
constexpr uint32_t ExpandString = 2;  // REG_EXPAND_SZ
constexpr uint32_t Dword = 4;         // REG_DWORD
constexpr uint32_t MultiString = 7;   // REG_MULTI_SZ
}  // namespace RegistryType

class Registry {
public:
    virtual ~Registry() = default;

    // 0 success, 1 out of memory, 2 key or value missing or unreadable.
    virtual int readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                             std::string& data) = 0;
    virtual bool writeRegistryString(const std::string& keyPath, const std::string& name, const std::string& value,
                                     bool view64) = 0;
    // Why the last failed writeRegistryString could not store its value, where the backend can
    // say more than that it failed: who holds the lock it waited for in vain, say. Else empty.
    virtual std::string registryWriteFailure() { return std::string(); }
    // Why the last readRegistry found no value, where the key is there but cannot be read (its
    // file's permissions, say), so that "no such value" does not hide the cause. Else empty.
    virtual std::string registryReadFailure() { return std::string(); }
};

}  // namespace Quilna
