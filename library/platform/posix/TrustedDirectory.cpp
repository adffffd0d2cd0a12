// POSIX: the walk to a directory that only this user and root control, and writing in it.
#include "platform/posix/TrustedDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/PosixImpl.h"

namespace Quilna::posix {

namespace {

constexpr int kMostLinks = 40;  // as many as the kernel follows on one path

#ifdef O_PATH
constexpr int kLookFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kLookFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string joined(const std::string& directory, const std::string& name) {
    return directory == "/" ? "/" + name : directory + "/" + name;
}

// Puts the names of a path in front of those still to walk (which are kept last name first).
void putInFront(const std::string& path, std::vector<std::string>& pending) {
    std::vector<std::string> names;
    for (size_t start = 0; start < path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    pending.insert(pending.end(), names.rbegin(), names.rend());
}

bool readLink(int directory, const std::string& name, size_t size, std::string& target) {
    target.assign(size + 1, '\0');
    const ssize_t length = ::readlinkat(directory, name.c_str(), target.data(), target.size());
    if (length < 0) return false;
    // A link that grew meanwhile is read again by the next walk, not half-way here.
    if (static_cast<size_t>(length) > size) {
        errno = EAGAIN;
        return false;
    }
    target.resize(static_cast<size_t>(length));
    return true;
}

bool isOwnOrRoots(uid_t owner) { return owner == ::geteuid() || owner == 0; }

// What makes a directory on the way another user's to control; empty when nothing does.
std::string distrust(const struct stat& facts, bool ownOnly) {
    if (ownOnly ? facts.st_uid != ::geteuid() : !isOwnOrRoots(facts.st_uid))
        return "belongs to " + TrustedDirectory::ownerText(facts.st_uid) +
               (ownOnly ? ", not to this program's user" : ", neither to root nor to this program's user");
    if ((facts.st_mode & (S_IWGRP | S_IWOTH)) == 0) return std::string();
    // Like /tmp: everyone may add names, but only their owners remove or replace them.
    if (!ownOnly && facts.st_uid == 0 && (facts.st_mode & S_ISVTX)) return std::string();
    return (facts.st_mode & S_IWOTH) ? "may be written by every user" : "may be written by its group";
}

}  // namespace

TrustedDirectory::TrustedDirectory(const std::string& path, const Rules& rules) {
    if (!walk(path, rules)) directory_.reset();
}

std::string TrustedDirectory::ownerText(uid_t owner) {
    std::string name;
    return "user " + std::to_string(owner) + (accountName(owner, name) ? " (" + name + ")" : std::string());
}

bool TrustedDirectory::refuse(const std::string& where, const std::string& what) {
    refusal_ = "the directory " + quoted(where) + " " + what;
    return fail(EPERM);
}

bool TrustedDirectory::fail(int error) {
    error_ = error;
    return false;
}

bool TrustedDirectory::walk(std::string path, const Rules& rules) {
    if (path.empty() || path.find('\0') != std::string::npos) return fail(ENOENT);
    if (path[0] != '/') {
        const std::string here = systemCurrentDirectory();
        if (here.empty()) return fail(errno ? errno : ENOENT);
        path = here + "/" + path;
    }
    std::vector<std::string> pending;
    putInFront(path, pending);
    // The directories walked so far (for ".."), each with its path.
    std::vector<Descriptor> levels;
    std::vector<std::string> paths;
    levels.emplace_back(::open("/", kLookFlags));
    paths.emplace_back("/");
    struct stat facts {};
    if (!levels.back().valid() || ::fstat(levels.back().get(), &facts) != 0) return fail(errno);
    std::string wrong = distrust(facts, false);
    if (!wrong.empty()) return refuse("/", wrong);

    int steps = 0;     // links followed and directories made: bounded, whatever happens meanwhile
    std::string made;  // the name this walk has just made, whose mode is set once it is open
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name == ".") continue;
        if (name == "..") {
            if (levels.size() > 1) {
                levels.pop_back();
                paths.pop_back();
            }
            continue;
        }
        const int parent = levels.back().get();
        const std::string here = joined(paths.back(), name);
        if (::fstatat(parent, name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !rules.create) return fail(errno);
            if (++steps > kMostLinks) return fail(ELOOP);
            if (::mkdirat(parent, name.c_str(), rules.createMode) == 0) made = name;
            else if (errno != EEXIST) return fail(errno);
            pending.push_back(name);
            continue;
        }
        if (S_ISLNK(facts.st_mode)) {
            if (!isOwnOrRoots(facts.st_uid))
                return refuse(paths.back(),
                              "holds " + quoted(name) + ", a symbolic link of " + ownerText(facts.st_uid));
            if (++steps > kMostLinks) return fail(ELOOP);
            std::string target;
            if (!readLink(parent, name, static_cast<size_t>(facts.st_size), target)) return fail(errno);
            if (!target.empty() && target[0] == '/') {
                levels.erase(levels.begin() + 1, levels.end());
                paths.erase(paths.begin() + 1, paths.end());
            }
            putInFront(target, pending);
            continue;
        }
        if (!S_ISDIR(facts.st_mode)) return fail(ENOTDIR);
        // A directory made here gets its mode exactly, whatever the umask: through a descriptor
        // that may change it.
        const bool setMode = made == name || (rules.exactMode && pending.empty());
        made.clear();
        Descriptor next(
            ::openat(parent, name.c_str(), setMode ? (O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : kLookFlags));
        if (!next.valid() || ::fstat(next.get(), &facts) != 0) return fail(errno);
        wrong = distrust(facts, false);
        if (!wrong.empty()) return refuse(here, wrong);
        if (setMode && (facts.st_mode & 07777) != rules.createMode && ::fchmod(next.get(), rules.createMode) != 0)
            return fail(errno);
        levels.push_back(std::move(next));
        paths.push_back(here);
    }
    if (rules.ownOnly || rules.namesOwnOnly) {
        if (::fstat(levels.back().get(), &facts) != 0) return fail(errno);
        wrong = distrust(facts, rules.ownOnly);
        if (wrong.empty() && (facts.st_mode & (S_IWGRP | S_IWOTH)))
            wrong = std::string((facts.st_mode & S_IWOTH) ? "may be written by every user"
                                                          : "may be written by its group") +
                    " (sticky: others may add names to it)";
        if (!wrong.empty()) return refuse(paths.back(), wrong);
    }
    directory_ = std::move(levels.back());
    reached_ = paths.back();
    return true;
}

int TrustedDirectory::openForWriting(const std::string& name, int flags, mode_t mode) const {
    if (!valid()) {
        errno = error_ ? error_ : EBADF;
        return -1;
    }
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        errno = EISDIR;
        return -1;
    }
    return openRegularForWriting(fd(), name, flags, mode);
}

int TrustedDirectory::openRegularForWriting(int directory, const std::string& path, int flags, mode_t mode) {
    // Emptied only once it is known to be a file this program may write: O_NONBLOCK keeps a fifo
    // from holding the open.
    Descriptor file(::openat(directory, path.c_str(), (flags & ~O_TRUNC) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, mode));
    if (!file.valid()) {
        const int error = errno;
        struct stat facts {};
        // O_EXCL calls a link at the name an existing file; it is a link all the same.
        const bool link = error == EEXIST && ::fstatat(directory, path.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(facts.st_mode);
        errno = link ? ELOOP : error;
        return -1;
    }
    struct stat facts {};
    if (::fstat(file.get(), &facts) != 0) return -1;
    if (!S_ISREG(facts.st_mode) || !isOwnOrRoots(facts.st_uid)) {
        errno = S_ISDIR(facts.st_mode) ? EISDIR : EPERM;
        return -1;
    }
    if ((flags & O_TRUNC) && ::ftruncate(file.get(), 0) != 0) return -1;
    const int status = ::fcntl(file.get(), F_GETFL);
    if (status < 0 || ::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return -1;
    return file.release();
}

std::string TrustedDirectory::nameRefusal(const std::string& name) const {
    return valid() ? pathRefusal(fd(), name, joined(reached_, name)) : std::string();
}

std::string TrustedDirectory::pathRefusal(int directory, const std::string& name, const std::string& shown) {
    struct stat facts {};
    if (::fstatat(directory, name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) != 0) return std::string();
    const std::string path = quoted(shown);
    if (S_ISLNK(facts.st_mode)) return path + " is a symbolic link, which is never followed for writing";
    if (!S_ISREG(facts.st_mode)) return path + " is not a regular file";
    if (!isOwnOrRoots(facts.st_uid))
        return path + " belongs to " + ownerText(facts.st_uid) + ", neither to root nor to this program's user";
    return std::string();
}

}  // namespace Quilna::posix
