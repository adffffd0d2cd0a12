#pragma once
// Registry values: the installation's resources.

#include <cstdint>
#include <string>

#include "platform/SystemError.h"

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

    // A value's type and data. A key or value that is missing or cannot be read fails NotFound,
    // with the detail saying why where the key is there but cannot be read (its file's
    // permissions, say), so that "no such value" does not hide the cause.
    virtual bool readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                              std::string& data, SystemError& error) = 0;
    // The detail of a failure says more where the backend can: who holds the lock it waited for
    // in vain, say.
    virtual bool writeRegistryString(const std::string& keyPath, const std::string& name, const std::string& value,
                                     bool view64, SystemError& error) = 0;
};

}  // namespace Quilna
