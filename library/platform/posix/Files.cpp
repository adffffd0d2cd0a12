// POSIX: file status, listing and file operations.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/posix/Descriptor.h"
#include "platform/posix/DescriptorFile.h"
#include "platform/posix/PosixImpl.h"
#include "platform/posix/TrustedDirectory.h"

namespace Quilna {

using posix::Descriptor;

namespace {

using posix::TrustedDirectory;

// Files this program writes are readable by their owner and group only.
constexpr mode_t kFileMode = 0640;
constexpr mode_t kDirectoryMode = 0750;

// What one status call says about a path, from statx or lstat alike.
struct StatusFacts {
    mode_t mode = 0;
    uint64_t size = 0;
    uint64_t blocks = 0;
    uid_t uid = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t links = 1;
    int64_t created = 0;
    int64_t accessed = 0;
    int64_t modified = 0;
};

bool statxFacts(int directory, const char* path, StatusFacts& out, bool& unsupported) {
    struct statx facts {};
    // Only what the scan reads: type and mode, owner, size, blocks, identity, links, times.
    const unsigned wanted = STATX_TYPE | STATX_MODE | STATX_UID | STATX_SIZE | STATX_BLOCKS | STATX_INO | STATX_NLINK |
                            STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME;
    if (::statx(directory, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &facts) != 0) {
        unsupported = errno == ENOSYS;
        return false;
    }
    out.mode = facts.stx_mode;
    out.size = facts.stx_size;
    out.blocks = facts.stx_blocks;
    out.uid = facts.stx_uid;
    out.device = makedev(facts.stx_dev_major, facts.stx_dev_minor);
    out.inode = facts.stx_ino;
    // Without a link count every link is charged, as before.
    out.links = (facts.stx_mask & STATX_NLINK) ? facts.stx_nlink : 1;
    // File systems without a birth time give the change time instead.
    out.created = (facts.stx_mask & STATX_BTIME) ? facts.stx_btime.tv_sec : facts.stx_ctime.tv_sec;
    out.accessed = facts.stx_atime.tv_sec;
    out.modified = facts.stx_mtime.tv_sec;
    return true;
}

bool lstatFacts(int directory, const char* path, StatusFacts& out) {
    struct stat facts {};
    if (::fstatat(directory, path, &facts, AT_SYMLINK_NOFOLLOW) != 0) return false;
    out.mode = facts.st_mode;
    out.size = static_cast<uint64_t>(facts.st_size);
    out.blocks = static_cast<uint64_t>(facts.st_blocks);
    out.uid = facts.st_uid;
    out.device = facts.st_dev;
    out.inode = facts.st_ino;
    out.links = facts.st_nlink;
    out.created = facts.st_ctime;
    out.accessed = facts.st_atime;
    out.modified = facts.st_mtime;
    return true;
}

bool statusFacts(int directory, const char* path, std::atomic<bool>& statxAvailable, StatusFacts& out) {
    if (statxAvailable.load(std::memory_order_relaxed)) {
        bool unsupported = false;
        if (statxFacts(directory, path, out, unsupported)) return true;
        if (!unsupported) return false;
        statxAvailable.store(false, std::memory_order_relaxed);
    }
    return lstatFacts(directory, path, out);
}

// The last component of a path ("" for "/").
std::string_view lastComponent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

uint16_t attributesOf(const StatusFacts& facts, std::string_view name) {
    uint16_t bits = 0;
    if (S_ISDIR(facts.mode)) bits |= FileAttribute::Directory;
    if (S_ISLNK(facts.mode)) bits |= FileAttribute::Link;
    if (!(facts.mode & S_IWUSR)) bits |= FileAttribute::ReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") bits |= FileAttribute::Hidden;
    if (S_ISREG(facts.mode) && facts.blocks * 512 < facts.size) bits |= FileAttribute::Sparse;
    if (S_ISCHR(facts.mode) || S_ISBLK(facts.mode) || S_ISFIFO(facts.mode) || S_ISSOCK(facts.mode))
        bits |= FileAttribute::System;
    if (bits == 0) bits = FileAttribute::Normal;
    return bits;
}

// Resolves "." and ".." and doubled separators of an absolute path without asking the
// system, so links stay unresolved (as the system's own full-path expansion does).
std::string lexicallyNormal(const std::string& absolute) {
    std::vector<std::string_view> parts;
    std::string_view rest(absolute);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) return "/";
    std::string result;
    for (std::string_view part : parts) {
        result += '/';
        result += part;
    }
    return result;
}

bool isPlainName(const std::string& path) { return path.find('/') == std::string::npos && path != "." && path != ".."; }

bool hasNul(const std::string& path) { return path.find('\0') != std::string::npos; }

// An empty path, or one the system would cut short at a NUL, names no file.
bool badPath(const std::string& path, SystemError& error) {
    if (!path.empty() && !hasNul(path)) return false;
    error = posix::systemError(ENOENT);
    return true;
}

bool copyContent(int from, int to, SystemError& error) {
    // copy_file_range lets the file system share or clone blocks; plain reads and writes
    // take over where it is not supported.
    bool ranged = true;
    for (;;) {
        if (ranged) {
            ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
            if (copied > 0) continue;
            if (copied == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return posix::fail(error);
            ranged = false;
        }
        char buffer[1 << 16];
        ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return posix::fail(error);
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return posix::fail(error);
            }
            done += put;
        }
    }
}

// The directory part of a path ("." for a bare name) and its last name (empty after a final "/").
std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
std::string nameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Opens a file for writing in a directory that nobody else controls, never through a link.
int openForWriting(const std::string& path, int flags, mode_t mode) {
    const TrustedDirectory place(directoryOf(path), TrustedDirectory::Rules{});
    if (!place.valid()) {
        errno = place.error();
        return -1;
    }
    return place.openForWriting(nameOf(path), flags, mode);
}

// Opens the destination of a copy: created anew, or (with overwrite) an existing file.
int openCopyTarget(const std::string& to, bool overwrite, bool& created) {
    int fd = openForWriting(to, O_WRONLY | O_CREAT | O_EXCL, 0600);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST && overwrite) fd = openForWriting(to, O_WRONLY, 0600);
    return fd;
}

// Only a regular file is copied: a directory, a device or a fifo (which would block for ever) not.
bool openCopySource(const std::string& from, Descriptor& source, struct stat& facts, SystemError& error) {
    // Not even opening waits on a fifo.
    source.reset(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!source.valid() || ::fstat(source.get(), &facts) != 0) return posix::fail(error);
    if (!S_ISREG(facts.st_mode)) return posix::fail(error, S_ISDIR(facts.st_mode) ? EISDIR : EINVAL);
    return true;
}

bool copyInto(int target, int source, const struct stat& facts, SystemError& error) {
    struct stat targetFacts {};
    if (::fstat(target, &targetFacts) != 0) return posix::fail(error);
    // Copying a file onto itself would empty it before reading it.
    if (targetFacts.st_dev == facts.st_dev && targetFacts.st_ino == facts.st_ino) return posix::fail(error, EINVAL);
    if (::ftruncate(target, 0) != 0) return posix::fail(error);
    if (!copyContent(source, target, error)) return false;
    // Like the system copy on Windows: permissions and times travel with the content.
    ::fchmod(target, facts.st_mode & 07777);
    struct timespec times[2] = {facts.st_atim, facts.st_mtim};
    ::futimens(target, times);
    return true;
}

bool copyRegularFile(const std::string& from, const std::string& to, bool overwrite, SystemError& error) {
    if (badPath(from, error) || badPath(to, error)) return false;
    Descriptor source;
    struct stat facts {};
    if (!openCopySource(from, source, facts, error)) return false;
    bool created = false;
    Descriptor target(openCopyTarget(to, overwrite, created));
    if (!target.valid()) return posix::fail(error);
    bool ok = copyInto(target.get(), source.get(), facts, error);
    if (!target.close() && ok) ok = posix::fail(error);
    if (!ok && created) ::unlink(to.c_str());
    return ok;
}

bool syncPath(const std::string& path, SystemError& error) {
    if (badPath(path, error)) return false;
    // Write-only files cannot be opened for reading; fsync works through either kind.
    // A fifo in the file's place is not waited on, nor synced.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    Descriptor file(fd);
    struct stat facts {};
    if (!file.valid() || ::fstat(file.get(), &facts) != 0) return posix::fail(error);
    if (!S_ISREG(facts.st_mode)) return posix::fail(error, EINVAL);
    if (::fsync(file.get()) != 0) return posix::fail(error);
    return file.close() || posix::fail(error);
}

// A move to another file system: copy, flush, remove the source. Only files move this way.
bool moveAcrossFileSystems(const std::string& from, const std::string& to, bool replace, SystemError& error) {
    if (!copyRegularFile(from, to, replace, error)) return false;
    if (!syncPath(to, error)) {
        ::unlink(to.c_str());
        return false;
    }
    if (::unlink(from.c_str()) != 0) {
        posix::fail(error);
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

}  // namespace

const PathSyntax& NativePlatform::pathSyntax() {
    static const PathSyntax posix{'/', false, false, false, false};
    return posix;
}

bool NativePlatform::fileInfo(const std::string& path, FileInfo& out, SystemError& error) {
    out = FileInfo{};
    if (badPath(path, error)) return false;
    // A trailing separator names no file (and would follow a link to a directory).
    if (path.size() > 1 && path.back() == '/' && path.find_first_not_of('/') != std::string::npos)
        return posix::fail(error, ENOENT);
    if (!posix::entryStatus(AT_FDCWD, path.c_str(), lastComponent(path), impl_->statxAvailable, out))
        return posix::fail(error);
    if (path[0] == '/') {
        out.fullPath = isPlainName(path.substr(1)) ? path : lexicallyNormal(path);
    } else {
        const std::string base = posix::systemCurrentDirectory();
        if (!base.empty()) out.fullPath = lexicallyNormal(base + '/' + path);
    }
    return true;
}

namespace posix {
bool entryStatus(int directory, const char* name, std::string_view lastName, std::atomic<bool>& statxAvailable,
                 FileInfo& out) {
    StatusFacts facts;
    if (!statusFacts(directory, name, statxAvailable, facts)) return false;
    out.exists = true;
    out.attributes = attributesOf(facts, lastName);
    out.size = S_ISDIR(facts.mode) ? 0 : facts.size;
    out.created = facts.created;
    out.accessed = facts.accessed;
    out.modified = facts.modified;
    out.hasAllocated = true;
    out.allocated = facts.blocks * 512;
    out.hasOwnerId = true;
    out.ownerId = facts.uid;
    out.hasIdentity = true;
    out.identity = FileIdentity{facts.device, facts.inode};
    out.links = static_cast<uint32_t>(std::min<uint64_t>(facts.links, UINT32_MAX));
    return true;
}
}  // namespace posix

bool NativePlatform::listDirectory(const std::string& directory, std::vector<DirEntry>& out, SystemError& error) {
    out.clear();
    std::string resolved;
    std::unique_ptr<OpenDirectory> listing = openDirectory(directory.empty() ? "." : directory, resolved, error);
    if (!listing) return false;
    const OpenDirectory::Listing read = listing->readEntries(
        [&](const DirEntry& entry) {
            out.push_back(entry);
            return true;
        },
        error);
    return read == OpenDirectory::Listing::End;
}

bool NativePlatform::currentDirectory(std::string& out, SystemError& error) {
    out = posix::systemCurrentDirectory();
    return !out.empty() || posix::fail(error, errno != 0 ? errno : ENOENT);
}

bool NativePlatform::copyFile(const std::string& from, const std::string& to, bool overwrite, SystemError& error) {
    return copyRegularFile(from, to, overwrite, error);
}

bool NativePlatform::moveFile(const std::string& from, const std::string& to, bool replace, SystemError& error) {
    if (badPath(from, error) || badPath(to, error)) return false;
    if (replace) {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        return errno == EXDEV ? moveAcrossFileSystems(from, to, true, error) : posix::fail(error);
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EXDEV) return moveAcrossFileSystems(from, to, false, error);
    if (errno != EINVAL && errno != ENOSYS) return posix::fail(error);
    // A file system without the no-replace flag: look first, then move.
    struct stat facts {};
    if (::lstat(to.c_str(), &facts) == 0) return posix::fail(error, EEXIST);
    if (errno != ENOENT) return posix::fail(error);
    return ::rename(from.c_str(), to.c_str()) == 0 || posix::fail(error);
}

bool NativePlatform::deleteFile(const std::string& path, SystemError& error) {
    if (badPath(path, error)) return false;
    return ::unlink(path.c_str()) == 0 || posix::fail(error);
}

bool NativePlatform::createDirectory(const std::string& path, SystemError& error) {
    if (badPath(path, error)) return false;
    return ::mkdir(path.c_str(), kDirectoryMode) == 0 || posix::fail(error);
}

bool NativePlatform::setAttributes(const std::string& path, uint16_t attributes, SystemError& error) {
    if (badPath(path, error)) return false;
    struct stat facts {};
    if (::lstat(path.c_str(), &facts) != 0) return posix::fail(error);
    // Links carry no permissions of their own; only ReadOnly has a POSIX meaning.
    if (S_ISLNK(facts.st_mode)) return true;
    mode_t mode = facts.st_mode & 07777;
    mode_t wanted = (attributes & FileAttribute::ReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    // A link put in its place meanwhile is not followed.
    return wanted == mode || ::fchmodat(AT_FDCWD, path.c_str(), wanted, AT_SYMLINK_NOFOLLOW) == 0 || posix::fail(error);
}

bool NativePlatform::syncFile(const std::string& path, SystemError& error) { return syncPath(path, error); }

bool NativePlatform::truncateFile(const std::string& path, uint64_t size, SystemError& error) {
    if (badPath(path, error)) return false;
    Descriptor file(openForWriting(path, O_WRONLY, kFileMode));
    if (!file.valid() || ::ftruncate(file.get(), static_cast<off_t>(size)) != 0) return posix::fail(error);
    return file.close() || posix::fail(error);
}

std::unique_ptr<OpenFile> NativePlatform::openFile(const std::string& path, const FileOpening& opening,
                                                   SystemError& error) {
    if (badPath(path, error)) return nullptr;
    Descriptor file;
    if (!opening.write) {
        // O_NONBLOCK: a fifo planted at the name must not hold the run in open(); only a regular
        // file is read (a directory would open and then fail every read).
        file.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (opening.noLinks ? O_NOFOLLOW : 0)));
        struct stat facts {};
        if (file.valid() && (::fstat(file.get(), &facts) != 0 || !S_ISREG(facts.st_mode))) {
            file.reset();
            errno = S_ISDIR(facts.st_mode) ? EISDIR : EPERM;
        }
        if (file.valid()) ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    } else {
        int flags = O_CREAT | (opening.read ? O_RDWR : O_WRONLY);
        if (opening.truncate) flags |= O_TRUNC;
        if (opening.append) flags |= O_APPEND;
        if (opening.mustBeNew) flags |= O_EXCL;
        file.reset(openForWriting(path, flags, kFileMode));
    }
    if (!file.valid()) {
        error = posix::lastSystemError();
        return nullptr;
    }
    return std::make_unique<posix::DescriptorFile>(std::move(file));
}

std::string NativePlatform::writeRefusal(const std::string& path) {
    if (path.empty() || hasNul(path)) return std::string();
    // A directory asked about itself is one to make files in.
    TrustedDirectory::Rules rules;
    rules.namesOwnOnly = path.back() == '/';
    const TrustedDirectory place(directoryOf(path), rules);
    if (!place.refusal().empty()) return place.refusal();
    const std::string name = nameOf(path);
    return name.empty() ? std::string() : place.nameRefusal(name);
}

// A directory this user cannot enter reads as one that is not there ("does not exist and could
// not be created"); said with its mode and owner, the administrator sees what to change. One
// that can be entered but not written is left to the writes, which say so file by file.
std::string NativePlatform::directoryAccessRefusal(const std::string& path) {
    if (path.empty() || hasNul(path) || path.front() != '/') return std::string();
    std::string place = path;
    while (place.size() > 1 && place.back() == '/') place.pop_back();
    struct stat status {};
    bool itself = true;
    while (::stat(place.c_str(), &status) != 0) {
        if (place.size() <= 1) return std::string();
        place = directoryOf(place);
        itself = false;
    }
    // To make the directory, its nearest existing parent must be written too.
    const int needed = itself ? X_OK : W_OK | X_OK;
    if (!S_ISDIR(status.st_mode) || ::faccessat(AT_FDCWD, place.c_str(), needed, AT_EACCESS) == 0) return std::string();
    std::string owner, user;
    if (!posix::accountName(status.st_uid, owner)) owner = std::to_string(status.st_uid);
    if (!posix::accountName(::geteuid(), user)) user = std::to_string(::geteuid());
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    return "the directory " + place + " exists, but the user " + user +
           (itself ? " cannot enter it" : " cannot enter or write it to make what is below") + " (mode " + mode +
           ", owner " + owner + ")";
}

namespace posix {

std::string systemCurrentDirectory() {
    std::vector<char> buffer(512);
    while (buffer.size() <= (1u << 20)) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string();
}

}  // namespace posix

}  // namespace Quilna
