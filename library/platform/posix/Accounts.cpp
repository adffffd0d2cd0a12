// POSIX: owners from the password database, local groups from the group database.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

std::string shortHostNameUpper() {
    std::string name = posix::hostName();
    name = name.substr(0, name.find('.'));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace

bool posix::accountName(uint32_t userId, std::string& out) {
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 1024);
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        int error = ::getpwuid_r(static_cast<uid_t>(userId), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found || !found->pw_name) return false;
        out = found->pw_name;
        return true;
    }
}

const std::string& NativePlatform::Impl::accountDomain() {
    std::call_once(accountDomainOnce, [this] { accountDomainText = shortHostNameUpper(); });
    return accountDomainText;
}

// The server only matters for Windows network paths; POSIX owners are always local.
bool NativePlatform::fileOwner(const std::string& path, const std::string&, std::string& domain, std::string& account,
                               SystemError& error) {
    struct stat facts {};
    if (path.empty() || path.find('\0') != std::string::npos) return posix::fail(error, ENOENT);
    if (::lstat(path.c_str(), &facts) != 0) return posix::fail(error);
    return ownerById(facts.st_uid, domain, account, error);
}

// An id without an entry in the password database is no account.
bool NativePlatform::ownerById(uint32_t ownerId, std::string& domain, std::string& account, SystemError& error) {
    std::string name;
    if (!posix::accountName(ownerId, name)) return posix::fail(error, ENOENT);
    domain = impl_->accountDomain();
    account = std::move(name);
    return true;
}

// POSIX accounts have no SIDs.
bool NativePlatform::ownerBySid(std::span<const uint8_t>, std::string&, std::string&, SystemError& error) {
    return posix::fail(error, ENOTSUP);
}

namespace {

// The C library keeps one enumeration position per database for the whole process, so the
// enumerations below run one at a time.
std::mutex& enumerationGuard() {
    static std::mutex guard;
    return guard;
}

// The group entry of a name; false when there is none.
bool groupEntry(const std::string& name, gid_t& gid, std::vector<std::string>& listed) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    long hint = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 1024);
    for (;;) {
        struct group entry {};
        struct group* found = nullptr;
        int error = ::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 24)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found) return false;
        gid = found->gr_gid;
        for (char** member = found->gr_mem; member && *member; ++member) listed.emplace_back(*member);
        return true;
    }
}

}  // namespace

// The group database in its order; a name that comes again from a second source is left out.
bool NativePlatform::localGroups(std::vector<std::string>& names, SystemError& error) {
    names.clear();
    std::unordered_set<std::string> seen;
    std::lock_guard<std::mutex> hold(enumerationGuard());
    ::setgrent();
    errno = 0;
    while (struct group* entry = ::getgrent()) {
        if (entry->gr_name && seen.insert(entry->gr_name).second) names.emplace_back(entry->gr_name);
        errno = 0;
    }
    const int failure = errno;
    ::endgrent();
    impl_->primaryGroupsRead = false;
    if (names.empty() && failure != 0 && failure != ENOENT) return posix::fail(error, failure);
    return true;
}

// The group's listed members, then the users whose primary group it is, each "HOST\name".
bool NativePlatform::localGroupMembers(const std::string& group, std::vector<std::string>& members,
                                       SystemError& error) {
    members.clear();
    gid_t gid = 0;
    std::vector<std::string> listed;
    if (!groupEntry(group, gid, listed)) return posix::fail(error, ENOENT);
    const std::string& host = impl_->accountDomain();
    std::unordered_set<std::string> seen;
    auto add = [&](const std::string& name) {
        if (seen.insert(name).second) members.push_back(host + "\\" + name);
    };
    for (const std::string& name : listed) add(name);
    std::lock_guard<std::mutex> hold(enumerationGuard());
    // The password database is read once for all groups: with a directory service behind it, a
    // pass costs far more than the look-up.
    if (!impl_->primaryGroupsRead) {
        impl_->usersByPrimaryGroup.clear();
        ::setpwent();
        while (struct passwd* entry = ::getpwent())
            if (entry->pw_name) impl_->usersByPrimaryGroup[entry->pw_gid].emplace_back(entry->pw_name);
        ::endpwent();
        impl_->primaryGroupsRead = true;
    }
    if (auto users = impl_->usersByPrimaryGroup.find(gid); users != impl_->usersByPrimaryGroup.end())
        for (const std::string& name : users->second) add(name);
    return true;
}

}  // namespace Quilna
