// POSIX: owners from the password database, local groups from the group database.
#include "platform/posix/PosixImpl.h"

namespace Quilna {

// Not yet implemented: filled in with the owners and groups slice.
bool NativePlatform::fileOwner(const std::string&, const std::string&, std::string&, std::string&) { return false; }
bool NativePlatform::ownerById(uint32_t, std::string&, std::string&) { return false; }
uint32_t NativePlatform::localGroups(std::vector<std::string>&) { return SystemCode::AccessDenied; }
uint32_t NativePlatform::localGroupMembers(const std::string&, std::vector<std::string>&) { return SystemCode::AccessDenied; }

}  // namespace Quilna
