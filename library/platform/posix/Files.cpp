// POSIX: file status, listing, current directory and file operations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

// What one status call says about a path, from statx or lstat alike.
struct StatusFacts {
    mode_t mode = 0;
    uint64_t size = 0;
    uint64_t blocks = 0;
    uid_t uid = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t created = 0;
    int64_t accessed = 0;
    int64_t modified = 0;
};

bool statxFacts(const char* path, StatusFacts& out, bool& unsupported) {
    struct statx facts {};
    const unsigned wanted = STATX_BASIC_STATS | STATX_BTIME;
    if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &facts) != 0) {
        unsupported = errno == ENOSYS;
        return false;
    }
    out.mode = facts.stx_mode;
    out.size = facts.stx_size;
    out.blocks = facts.stx_blocks;
    out.uid = facts.stx_uid;
    out.device = makedev(facts.stx_dev_major, facts.stx_dev_minor);
    out.inode = facts.stx_ino;
    // File systems without a birth time give the change time instead.
    out.created = (facts.stx_mask & STATX_BTIME) ? facts.stx_btime.tv_sec : facts.stx_ctime.tv_sec;
    out.accessed = facts.stx_atime.tv_sec;
    out.modified = facts.stx_mtime.tv_sec;
    return true;
}

bool lstatFacts(const char* path, StatusFacts& out) {
    struct stat facts {};
    if (::lstat(path, &facts) != 0) return false;
    out.mode = facts.st_mode;
    out.size = static_cast<uint64_t>(facts.st_size);
    out.blocks = static_cast<uint64_t>(facts.st_blocks);
    out.uid = facts.st_uid;
    out.device = facts.st_dev;
    out.inode = facts.st_ino;
    out.created = facts.st_ctime;
    out.accessed = facts.st_atime;
    out.modified = facts.st_mtime;
    return true;
}

bool statusFacts(const char* path, std::atomic<bool>& statxAvailable, StatusFacts& out) {
    if (statxAvailable.load(std::memory_order_relaxed)) {
        bool unsupported = false;
        if (statxFacts(path, out, unsupported)) return true;
        if (!unsupported) return false;
        statxAvailable.store(false, std::memory_order_relaxed);
    }
    return lstatFacts(path, out);
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

bool isPlainName(const std::string& path) {
    return path.find('/') == std::string::npos && path != "." && path != "..";
}

// "*" matches any run, "?" one byte; case-sensitive, nothing else is special.
bool wildcardMatch(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0;
    size_t starAt = std::string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string systemCurrentDirectory() {
    std::vector<char> buffer(512);
    while (buffer.size() <= (1u << 20)) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string();
}

// The kernel's own answer, without the C library's fallback for paths longer than the kernel
// gives (that fallback reads every directory up to the root: a deep walk would become quadratic).
// tooLong tells that the kernel refused the length.
bool kernelCurrentDirectory(std::string& out, bool& tooLong) {
    tooLong = false;
    std::vector<char> buffer(8192);
    for (;;) {
#ifdef SYS_getcwd
        long length = ::syscall(SYS_getcwd, buffer.data(), buffer.size());
        bool ok = length > 0;
#else
        bool ok = ::getcwd(buffer.data(), buffer.size()) != nullptr;
#endif
        if (ok) {
            // An unreachable directory (outside a changed root) is no absolute path.
            if (buffer[0] != '/') return false;
            out.assign(buffer.data());
            return true;
        }
        if (errno == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        tooLong = errno == ENAMETOOLONG;
        return false;
    }
}

// The directory that a change to target leads to from base, by the texts alone.
std::string lexicallyJoined(const std::string& base, const std::string& target) {
    if (target[0] == '/') return lexicallyNormal(target);
    if (isPlainName(target)) return base.size() == 1 ? base + target : base + '/' + target;
    return lexicallyNormal(base + '/' + target);
}

// A file descriptor closed on scope exit.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (it can report a late write error).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool hasNul(const std::string& path) { return path.find('\0') != std::string::npos; }

bool copyContent(int from, int to) {
    // copy_file_range lets the file system share or clone blocks; plain reads and writes
    // take over where it is not supported.
    bool ranged = true;
    for (;;) {
        if (ranged) {
            ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
            if (copied > 0) continue;
            if (copied == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
            ranged = false;
        }
        char buffer[1 << 16];
        ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += put;
        }
    }
}

// Opens the destination of a copy: created anew, or (with overwrite) an existing file.
int openCopyTarget(const std::string& to, bool overwrite, bool& created) {
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST && overwrite) fd = ::open(to.c_str(), O_WRONLY | O_CLOEXEC);
    return fd;
}

bool copyRegularFile(const std::string& from, const std::string& to, bool overwrite) {
    if (from.empty() || to.empty() || hasNul(from) || hasNul(to)) return false;
    Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat facts {};
    // Directories, devices and fifos are not copied (a fifo would block for ever).
    if (!source.valid() || ::fstat(source.get(), &facts) != 0 || !S_ISREG(facts.st_mode)) return false;
    bool created = false;
    Descriptor target(openCopyTarget(to, overwrite, created));
    if (!target.valid()) return false;
    struct stat targetFacts {};
    bool ok = ::fstat(target.get(), &targetFacts) == 0;
    // Copying a file onto itself would empty it before reading it.
    if (ok && targetFacts.st_dev == facts.st_dev && targetFacts.st_ino == facts.st_ino) return false;
    ok = ok && ::ftruncate(target.get(), 0) == 0 && copyContent(source.get(), target.get());
    if (ok) {
        // Like the system copy on Windows: permissions and times travel with the content.
        ::fchmod(target.get(), facts.st_mode & 07777);
        struct timespec times[2] = {facts.st_atim, facts.st_mtim};
        ::futimens(target.get(), times);
    }
    ok = target.close() && ok;
    if (!ok && created) ::unlink(to.c_str());
    return ok;
}

bool syncPath(const std::string& path) {
    if (path.empty() || hasNul(path)) return false;
    // Write-only files cannot be opened for reading; fsync works through either kind.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    Descriptor file(fd);
    if (!file.valid()) return false;
    bool synced = ::fsync(file.get()) == 0;
    return file.close() && synced;
}

// A move to another file system: copy, flush, remove the source. Only files move this way.
bool moveAcrossFileSystems(const std::string& from, const std::string& to, bool replace) {
    if (!copyRegularFile(from, to, replace)) return false;
    if (!syncPath(to) || ::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

}  // namespace

namespace {

// The system is asked for the current directory only when someone wants to know it, not at
// every change: a walk that goes down and up again asks once per directory, not twice.
struct CurrentDirectoryCache {
    std::mutex guard;
    std::string path;    // the last answer, followed by the changes made since
    bool known = false;  // path holds an answer
    bool fresh = false;  // no change since the answer
};

CurrentDirectoryCache& currentDirectoryCache() {
    static CurrentDirectoryCache cache;
    return cache;
}

}  // namespace

std::string NativePlatform::Impl::knownCurrentDirectory() {
    std::string path;
    appendCurrentDirectory(path, 0);
    return path;
}

void NativePlatform::Impl::appendCurrentDirectory(std::string& out, size_t room) {
    CurrentDirectoryCache& cache = currentDirectoryCache();
    std::lock_guard<std::mutex> hold(cache.guard);
    if (!cache.fresh) {
        std::string answer;
        bool tooLong = false;
        // Beyond the kernel's length the path follows the changes from the last answer;
        // without one the C library walks up to the root once.
        if (kernelCurrentDirectory(answer, tooLong)) cache.path = std::move(answer);
        else if (!(tooLong && cache.known)) cache.path = systemCurrentDirectory();
        cache.known = !cache.path.empty();
        cache.fresh = cache.known;
    }
    out.reserve(out.size() + cache.path.size() + room);
    out += cache.path;
}

void NativePlatform::Impl::confirmCurrentDirectory(const std::string& path) {
    CurrentDirectoryCache& cache = currentDirectoryCache();
    std::lock_guard<std::mutex> hold(cache.guard);
    cache.path = lexicallyNormal(path);
    cache.known = true;
    cache.fresh = true;
}

void NativePlatform::Impl::noteCurrentDirectoryChange(const std::string& target) {
    CurrentDirectoryCache& cache = currentDirectoryCache();
    std::lock_guard<std::mutex> hold(cache.guard);
    // The system's answer holds no links, so its parent by the text is the parent the change
    // went to: a walk coming back up needs no new answer.
    const bool stillFresh = cache.fresh && (target == ".." || target == "../");
    if (target[0] == '/' || cache.known) cache.path = lexicallyJoined(cache.path, target);
    cache.known = !cache.path.empty();
    cache.fresh = stillFresh && cache.known;
}

const PathSyntax& NativePlatform::pathSyntax() {
    static const PathSyntax posix{'/', false, false, false, false};
    return posix;
}

bool NativePlatform::fileInfo(const std::string& path, FileInfo& out) {
    out = FileInfo{};
    if (path.empty() || hasNul(path)) return false;
    // A trailing separator names no file (and would follow a link to a directory).
    if (path.size() > 1 && path.back() == '/' && path.find_first_not_of('/') != std::string::npos) return false;
    StatusFacts facts;
    if (!statusFacts(path.c_str(), impl_->statxAvailable, facts)) return false;

    out.exists = true;
    if (path[0] == '/') {
        out.fullPath = isPlainName(path.substr(1)) ? path : lexicallyNormal(path);
    } else {
        // The walk's case, a name in the current directory, is built in place: one allocation.
        if (isPlainName(path)) {
            impl_->appendCurrentDirectory(out.fullPath, path.size() + 1);
            if (!out.fullPath.empty()) {
                if (out.fullPath.size() > 1) out.fullPath += '/';
                out.fullPath += path;
            }
        } else {
            std::string base = impl_->knownCurrentDirectory();
            if (!base.empty()) out.fullPath = lexicallyNormal(base + '/' + path);
        }
    }
    out.attributes = attributesOf(facts, lastComponent(path));
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
    return true;
}

bool NativePlatform::directoryIdentity(const std::string& path, FileIdentity& out) {
    struct stat facts {};
    if (path.empty() || hasNul(path) || ::stat(path.c_str(), &facts) != 0) return false;
    out = FileIdentity{static_cast<uint64_t>(facts.st_dev), static_cast<uint64_t>(facts.st_ino)};
    return true;
}

bool NativePlatform::listDirectory(const std::string& directory, const std::string& pattern,
                                   std::vector<DirEntry>& out) {
    out.clear();
    return visitDirectory(directory, pattern, [&out](const DirEntry& entry) {
        out.push_back(entry);
        return true;
    });
}

namespace {

// One entry as the listing found it; the type is asked for only where the file system leaves it out.
bool visitEntry(int directory, const char* rawName, unsigned char type, const std::string& pattern,
                DirEntry& found, const std::function<bool(const DirEntry&)>& visit) {
    std::string_view name(rawName);
    if (pattern != "*" && !wildcardMatch(pattern, name)) return true;
    bool isDirectory = type == DT_DIR;
    if (type == DT_UNKNOWN) {
        struct stat facts {};
        isDirectory = ::fstatat(directory, rawName, &facts, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(facts.st_mode);
    }
    found.name.assign(name);
    found.isFile = !isDirectory;
    return visit(found);
}

}  // namespace

bool NativePlatform::visitDirectory(const std::string& directory, const std::string& pattern,
                                    const std::function<bool(const DirEntry&)>& visit) {
    if (hasNul(directory)) return false;
    DirEntry found;
#ifdef __linux__
    // Straight from the kernel: opendir would first ask for the directory's status, a call
    // more for every directory of a walk.
    Descriptor listing(::open(directory.empty() ? "." : directory.c_str(),
                              O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    if (!listing.valid()) return false;
    alignas(struct dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = ::getdents64(listing.get(), buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (!visitEntry(listing.get(), entry->d_name, entry->d_type, pattern, found, visit)) return true;
        }
    }
#else
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.empty() ? "." : directory.c_str()), ::closedir);
    if (!listing) return false;
    errno = 0;
    while (struct dirent* entry = ::readdir(listing.get())) {
        if (!visitEntry(::dirfd(listing.get()), entry->d_name, entry->d_type, pattern, found, visit)) return true;
        errno = 0;
    }
    return errno == 0;
#endif
}

bool NativePlatform::currentDirectory(std::string& out) {
    out = impl_->knownCurrentDirectory();
    return !out.empty();
}

bool NativePlatform::setCurrentDirectory(const std::string& path) {
    if (path.empty() || hasNul(path) || ::chdir(path.c_str()) != 0) return false;
    impl_->noteCurrentDirectoryChange(path);
    return true;
}

void NativePlatform::confirmCurrentDirectory(const std::string& path) {
    if (path.empty() || path[0] != '/' || hasNul(path)) return;
    impl_->confirmCurrentDirectory(path);
}

bool NativePlatform::copyFile(const std::string& from, const std::string& to, bool overwrite) {
    return copyRegularFile(from, to, overwrite);
}

bool NativePlatform::moveFile(const std::string& from, const std::string& to, bool replace) {
    if (from.empty() || to.empty() || hasNul(from) || hasNul(to)) return false;
    if (replace) {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        return errno == EXDEV && moveAcrossFileSystems(from, to, true);
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EXDEV) return moveAcrossFileSystems(from, to, false);
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace flag: look first, then move.
    struct stat facts {};
    if (::lstat(to.c_str(), &facts) == 0 || errno != ENOENT) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool NativePlatform::deleteFile(const std::string& path) {
    if (path.empty() || hasNul(path)) return false;
    return ::unlink(path.c_str()) == 0;
}

bool NativePlatform::createDirectory(const std::string& path) {
    if (path.empty() || hasNul(path)) return false;
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool NativePlatform::setAttributes(const std::string& path, uint16_t attributes) {
    if (path.empty() || hasNul(path)) return false;
    struct stat facts {};
    if (::lstat(path.c_str(), &facts) != 0) return false;
    // Links carry no permissions of their own; only ReadOnly has a POSIX meaning.
    if (S_ISLNK(facts.st_mode)) return true;
    mode_t mode = facts.st_mode & 07777;
    mode_t wanted = (attributes & FileAttribute::ReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    return wanted == mode || ::chmod(path.c_str(), wanted) == 0;
}

bool NativePlatform::syncFile(const std::string& path) { return syncPath(path); }

bool NativePlatform::truncateFile(const std::string& path, uint64_t size) {
    if (path.empty() || hasNul(path)) return false;
    return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

}  // namespace Quilna
