#pragma once
// The installation's resources: named values under one registry key that the installer
// writes (the configuration directory, the debug log, rotation values). None of these throws;
// they answer with small result codes.
//
// The key: the environment variable "QUILNA_ENV" when set (even empty); else, for a 32-bit
// process on 64-bit Windows, SOFTWARE\Wow6432Node\Quilna\Resources; else SOFTWARE\Quilna\Resources.
// Every call chooses it afresh.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Registry.h"
#include "platform/SystemServices.h"

namespace Quilna {

namespace ResourceResult {
constexpr int Ok = 0;
constexpr int OutOfMemory = 1;
constexpr int Missing = 2;  // key or value missing or unreadable (writeResource: any failure is 1)
constexpr int WrongType = 3;
constexpr int TooLong = 4;  // longer than kResourceLengthLimit once its references are expanded
}  // namespace ResourceResult

// How deep ${name} references are followed; a deeper one stays as written.
constexpr int kResourceNestingLimit = 16;
// The longest value a read gives, its references expanded: resources are directories, file
// names and words, and a value built from references to large values must not take the memory.
constexpr size_t kResourceLengthLimit = 65536;

// Reads a string resource and expands ${name} references to other resources; a reference that
// cannot be read stays as written. 0, 1, 2, 3 (not a string) or 4 (too long; why, when given,
// names the resource); out is unchanged on failure. Each resource is read at most once per
// call, however often the value refers to it. For 2, why receives what the backend could say
// about a key that is there but cannot be read (empty when nothing).
int readResource(Registry& registry, SystemServices& services, const std::string& name, std::string& out,
                 std::string* why = nullptr);

// Reads a REG_DWORD resource: 0, 2, or 3 (not a dword); the value's bytes go into out.
int readResourceDword(Registry& registry, SystemServices& services, const std::string& name, uint32_t& out);

// Stores a string resource, creating the key when needed: 0, or 1 on any failure; why, when
// given, receives what the backend could say about a failure (empty when nothing).
int writeResource(Registry& registry, SystemServices& services, const std::string& name, const std::string& value,
                  std::string* why = nullptr);

// False when the variable is not set; otherwise its value, possibly empty.
bool getEnv(SystemServices& services, const std::string& name, std::string& out);

// The key path the resources are read from and written to, chosen as described above.
std::string resourceKeyPath(SystemServices& services);

}  // namespace Quilna
