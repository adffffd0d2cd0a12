#pragma once
// Who owns a file and which local groups of this computer hold that owner. The group tables
// are read from the system once per group and run: the list of local groups and the members
// of each group are process-wide caches, filled on first use and kept until the process ends.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/FileStatus.h"
#include "platform/Accounts.h"
#include "platform/PathSyntax.h"
#include "platform/SystemServices.h"

namespace Quilna {

class Owners {
public:
    Owners(Accounts& accounts, SystemServices& services, const PathSyntax& syntax)
        : accounts_(accounts), services_(services), syntax_(syntax) {}

    // User (in/out: the walk passes "UNDEF", kept when the owner cannot be found) and the local
    // groups holding it. The owner id of a status from the same call saves asking the file again.
    // True when the answer is kept for the run: the same owner id gives the same answer.
    bool ownerOf(const std::string& currentDirectory, const std::string& name, const FileStatus& status,
                 std::string& user, std::vector<std::string>& groups);
    // The local groups, in enumeration order, with a member whose lower-cased name ends in the
    // lower-cased user. An empty user stands for the user running the program.
    const std::vector<std::string>& localGroupsOf(const std::string& user);
    // Members of a local group, each "\\DOMAIN\name"; empty when they cannot be read. Cached
    // is false when the answer was not kept (a failure the next call tries again).
    const std::vector<std::string>& membersOf(const std::string& group, bool& cached);

    // For tests: empties the process-wide group caches.
    static void forgetGroupTables();

private:
    bool ownerText(const std::string& currentDirectory, const std::string& name, const FileStatus& status,
                   std::string& owner);
    const std::string& runningUser();

    Accounts& accounts_;
    SystemServices& services_;  // who runs the scan
    const PathSyntax& syntax_;

    // Per run: a name per owner id (nullopt: no such account) and the groups per user.
    std::unordered_map<uint32_t, std::optional<std::string>> ownerOfId_;
    std::unordered_map<std::string, std::vector<std::string>> groupsOfUser_;
    std::vector<std::string> uncachedGroups_;
    std::optional<std::string> runningUser_;
};

}  // namespace Quilna
