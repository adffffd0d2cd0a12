#include "hoardscan/facts/Owners.h"

#include <map>

#include "files/FileOps.h"
#include "hoardscan/rules/WildcardMatch.h"
#include "system/SystemInfo.h"

namespace Quilna {

namespace {

// The group tables of the system, process-wide: read once per group and run, so changes made
// while the program runs are not seen. Used from the walk's one thread only.
struct GroupTables {
    std::vector<std::string> localGroups;
    std::map<std::string, std::vector<std::string>> members;
};

GroupTables& groupTables() {
    static GroupTables tables;
    return tables;
}

const std::vector<std::string> noMembers;

// The server of a network path "\\server\share\...", empty for this computer.
std::string serverOf(const PathSyntax& syntax, const std::string& currentDirectory) {
    char separator = syntax.separator;
    if (!syntax.networkPaths || currentDirectory.size() <= 3 || currentDirectory[0] != separator ||
        currentDirectory[1] != separator)
        return std::string();
    size_t end = currentDirectory.find(separator, 2);
    return currentDirectory.substr(2, end == std::string::npos ? std::string::npos : end - 2);
}

}  // namespace

void Owners::forgetGroupTables() {
    groupTables().localGroups.clear();
    groupTables().members.clear();
}

bool Owners::ownerOf(const std::string& currentDirectory, const std::string& name, const FileStatus& status,
                     std::string& user, std::vector<std::string>& groups) {
    ownerText(currentDirectory, name, status, user);
    // The group owns the files its members create; its account carries the groups.
    if (user == "Administrators") user = "Administrator";
    const std::vector<std::string>& found = localGroupsOf(user);
    groups.assign(found.begin(), found.end());
    return status.hasOwnerId && &found != &uncachedGroups_;
}

bool Owners::ownerText(const std::string& currentDirectory, const std::string& name, const FileStatus& status,
                       std::string& owner) {
    if (!status.hasOwnerId) {
        // The walk's read-ahead asked already where the status has no owner id.
        if (status.ownerLookup == OwnerLookup::Found) owner = status.owner;
        if (status.ownerLookup != OwnerLookup::NotAsked) return status.ownerLookup == OwnerLookup::Found;
        return FileOps::fileOwner(accounts_, currentDirectory + name, owner, serverOf(syntax_, currentDirectory));
    }
    auto known = ownerOfId_.find(status.ownerId);
    if (known == ownerOfId_.end()) {
        std::string text;
        std::optional<std::string> answer;
        if (FileOps::ownerById(accounts_, status.ownerId, text)) answer = std::move(text);
        known = ownerOfId_.emplace(status.ownerId, std::move(answer)).first;
    }
    if (!known->second) return false;
    owner = *known->second;
    return true;
}

const std::string& Owners::runningUser() {
    if (!runningUser_) runningUser_ = getUserName(services_);
    return *runningUser_;
}

const std::vector<std::string>& Owners::localGroupsOf(const std::string& user) {
    if (user.empty() && !runningUser().empty()) return localGroupsOf(runningUser());
    GroupTables& tables = groupTables();
    if (tables.localGroups.empty()) {
        std::vector<std::string> names;
        SystemError error;
        if (accounts_.localGroups(names, error)) tables.localGroups = std::move(names);
        // Nothing is kept for an empty list: the next call asks again.
        if (tables.localGroups.empty()) {
            uncachedGroups_.clear();
            return uncachedGroups_;
        }
    }
    auto known = groupsOfUser_.find(user);
    if (known != groupsOfUser_.end()) return known->second;

    std::vector<std::string> result;
    bool complete = true;
    std::string pattern = "*" + user;
    for (const std::string& group : tables.localGroups) {
        bool cached = true;
        for (const std::string& member : membersOf(group, cached)) {
            if (wildcardMatchNoCase(pattern, member)) {
                result.push_back(group);
                break;
            }
        }
        complete = complete && cached;
    }
    // A group whose members could not be read is asked again next time, so the user's answer
    // is kept only when every group answered.
    if (complete) return groupsOfUser_.emplace(user, std::move(result)).first->second;
    uncachedGroups_ = std::move(result);
    return uncachedGroups_;
}

const std::vector<std::string>& Owners::membersOf(const std::string& group, bool& cached) {
    GroupTables& tables = groupTables();
    auto known = tables.members.find(group);
    if (known != tables.members.end()) {
        cached = true;
        return known->second;
    }
    std::vector<std::string> members;
    SystemError error;
    if (!accounts_.localGroupMembers(group, members, error)) {
        // Access denied, no such group, invalid computer, more data or any other failure.
        cached = false;
        return noMembers;
    }
    for (std::string& member : members) member.insert(0, "\\\\");
    cached = true;
    return tables.members.emplace(group, std::move(members)).first->second;
}

}  // namespace Quilna
