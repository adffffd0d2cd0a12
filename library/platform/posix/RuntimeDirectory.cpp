// POSIX: the runtime directory of the named locks and the mailslots. Only the program's user
// controls it: root's is /run/quilna (0755), another user's $XDG_RUNTIME_DIR/quilna or else
// /tmp/quilna-<uid> (0700); QUILNA_RUNTIME_DIR names another. Its subdirectories are 0700, so
// that only the user (and root) may lock or send.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/PosixImpl.h"
#include "platform/posix/TrustedDirectory.h"

namespace Quilna {

namespace {

bool isRoot() { return ::geteuid() == 0; }

std::string runtimeSetting(Platform& backend) {
    std::string directory;
    if (backend.getEnv("QUILNA_RUNTIME_DIR", directory) && !directory.empty()) return directory;
    if (isRoot()) return "/run/quilna";
    std::string session;
    if (backend.getEnv("XDG_RUNTIME_DIR", session) && !session.empty() && session[0] == '/') return session + "/quilna";
    return "/tmp/quilna-" + std::to_string(::geteuid());
}

// Still this user's directory alone, as it was checked: a directory that went (a cleared /run or
// /tmp) may have come back as another user's, or as one that others may write.
bool isStillOwn(const std::string& path) {
    struct stat facts {};
    return ::lstat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode) && facts.st_uid == ::geteuid() &&
           (facts.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The directory checked (and made when missing) as the user's alone: root's runtime directory
// itself 0755, everything else 0700. Empty with the reason when it cannot be used.
std::string checkedDirectory(const std::string& path, bool runtimeItself, const std::string& setting,
                             std::string* refusal) {
    posix::TrustedDirectory::Rules rules;
    rules.create = true;
    rules.ownOnly = true;
    rules.createMode = runtimeItself && isRoot() ? 0755 : 0700;
    rules.exactMode = !runtimeItself;
    const posix::TrustedDirectory directory(path, rules);
    if (directory.valid()) return directory.path();
    if (refusal) {
        // Another user may have made a shared default such as /tmp/quilna-<uid> first: say the way out.
        *refusal = "the runtime directory \"" + setting + "\" cannot be used: " +
                   (directory.refusal().empty() ? std::string(std::strerror(directory.error())) : directory.refusal()) +
                   " (QUILNA_RUNTIME_DIR may name another, of this user's own)";
    }
    errno = directory.error();
    return std::string();
}

}  // namespace

std::string NativePlatform::Impl::runtimeDirectory(Platform& backend, const std::string& sub, std::string* refusal) {
    const std::string setting = runtimeSetting(backend);
    const std::string key = setting + '\0' + sub + '\0' + std::to_string(::geteuid());
    std::lock_guard<std::mutex> hold(runtimeGuard);
    const auto known = checkedRuntime.find(key);
    // Anything else is checked anew from the root, and refused where it is no longer the user's own.
    if (known != checkedRuntime.end() && isStillOwn(known->second)) return known->second;
    checkedRuntime.erase(key);

    std::string path = checkedDirectory(setting, true, setting, refusal);
    if (!path.empty() && !sub.empty()) path = checkedDirectory(path + "/" + sub, false, setting, refusal);
    if (!path.empty()) checkedRuntime[key] = path;
    return path;
}

bool NativePlatform::runtimeDirectory(std::string& path, SystemError& error) {
    std::string refusal;
    path = impl_->runtimeDirectory(*this, std::string(), &refusal);
    if (!path.empty()) return true;
    posix::fail(error, EACCES);
    error.detail = refusal;
    return false;
}

}  // namespace Quilna
