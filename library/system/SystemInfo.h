#pragma once
// What the machine is: architecture, operating-system name, computer name, domain or
// workgroup, the user the process runs as. The platform gives the raw facts; the texts are
// made here, once for every backend.

#include <cstdint>
#include <string>

#include "platform/SystemServices.h"

namespace Quilna {

// Fills all four texts. An operating system that is not of the NT family ends the process
// with exit code 1005. A fact the system cannot give leaves the computer or OS name as it was.
void getSystemInfo(SystemServices& services, std::string& domain, std::string& computer, std::string& architecture,
                   std::string& osName);

// The user the process runs as, or "<error>".
std::string getUserName(SystemServices& services);

// True for a 32-bit process on 64-bit Windows.
bool isWow64(SystemServices& services);

// The text of a Windows processor-architecture number ("amd64", "unknown", "error", ...).
std::string architectureName(uint32_t number);

}  // namespace Quilna
