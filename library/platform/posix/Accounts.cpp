// POSIX: owners from the password database, local groups from the group database.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

std::string shortHostNameUpper() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    std::string name(buffer);
    name = name.substr(0, name.find('.'));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// The password-database name of a uid; false for a uid without an entry.
bool accountName(uid_t uid, std::string& out) {
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 1024);
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found || !found->pw_name) return false;
        out = found->pw_name;
        return true;
    }
}

}  // namespace

const std::string& NativePlatform::Impl::accountDomain() {
    std::call_once(accountDomainOnce, [this] { accountDomainText = shortHostNameUpper(); });
    return accountDomainText;
}

// The server only matters for Windows network paths; POSIX owners are always local.
bool NativePlatform::fileOwner(const std::string& path, const std::string&, std::string& domain,
                               std::string& account) {
    struct stat facts {};
    if (path.empty() || path.find('\0') != std::string::npos || ::lstat(path.c_str(), &facts) != 0) return false;
    return ownerById(facts.st_uid, domain, account);
}

bool NativePlatform::ownerById(uint32_t ownerId, std::string& domain, std::string& account) {
    std::string name;
    if (!accountName(static_cast<uid_t>(ownerId), name)) return false;
    domain = impl_->accountDomain();
    account = std::move(name);
    return true;
}

// Not yet implemented: filled in with the local groups slice.
uint32_t NativePlatform::localGroups(std::vector<std::string>&) { return SystemCode::AccessDenied; }
uint32_t NativePlatform::localGroupMembers(const std::string&, std::vector<std::string>&) { return SystemCode::AccessDenied; }

}  // namespace Quilna
