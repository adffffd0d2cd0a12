#pragma once
// Accounts: owners of files, local groups and their members.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/SystemError.h"

namespace Quilna {

class Accounts {
public:
    virtual ~Accounts() = default;

    // Owner of a file as domain and account; server empty for this computer.
    virtual bool fileOwner(const std::string& path, const std::string& server, std::string& domain,
                           std::string& account, SystemError& error) = 0;
    // Owner from the id that fileInfo reported (hasOwnerId).
    virtual bool ownerById(uint32_t ownerId, std::string& domain, std::string& account, SystemError& error) = 0;
    // Owner from a security identifier's bytes (as a volume's table holds them); false for an
    // unknown account, and always where the system names owners otherwise (POSIX: NotSupported).
    virtual bool ownerBySid(std::span<const uint8_t> sid, std::string& domain, std::string& account,
                            SystemError& error) = 0;
    // The local groups of this computer; a failure (denied, partial answer, ...) lists nothing.
    virtual bool localGroups(std::vector<std::string>& names, SystemError& error) = 0;
    // Members written "DOMAIN\name", without the leading "\\"; NotFound for an unknown group.
    virtual bool localGroupMembers(const std::string& group, std::vector<std::string>& members, SystemError& error) = 0;
};

}  // namespace Quilna
