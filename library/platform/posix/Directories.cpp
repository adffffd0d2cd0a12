// POSIX: directories held open by a descriptor for the walk. Entries are read from it and their
// status taken relative to it, so the walk needs neither the current directory nor a path the
// system would have to take whole (a deep tree's paths are far longer than it accepts).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/posix/Descriptor.h"
#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

class PosixDirectory : public OpenDirectory {
public:
    PosixDirectory(posix::Descriptor fd, std::string path, std::atomic<bool>& statxAvailable)
        : fd_(std::move(fd)), path_(std::move(path)), statxAvailable_(statxAvailable) {}

    const std::string& path() const override { return path_; }

    bool identity(FileIdentity& out) const override {
        struct stat facts {};
        if (::fstat(fd_.get(), &facts) != 0) return false;
        out = FileIdentity{static_cast<uint64_t>(facts.st_dev), static_cast<uint64_t>(facts.st_ino)};
        return true;
    }

    bool visitEntries(const std::function<bool(const DirEntry&)>& visit) override {
        // Listed again from the start (a fresh descriptor starts there already).
        if (listedBefore_ && ::lseek(fd_.get(), 0, SEEK_SET) != 0) return false;
        listedBefore_ = true;
#ifdef __linux__
        // Straight from the kernel: no buffer of the C library, no status call of the directory.
        alignas(struct dirent64) char buffer[32768];
        for (;;) {
            const ssize_t got = ::getdents64(fd_.get(), buffer, sizeof buffer);
            if (got == 0) return true;
            if (got < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
                at += entry->d_reclen;
                if (!visitEntry(entry->d_name, entry->d_type, visit)) return true;
            }
        }
#else
        // readdir takes the descriptor over: it reads from a duplicate.
        const int duplicate = ::dup(fd_.get());
        if (duplicate < 0) return false;
        std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(duplicate), ::closedir);
        if (!listing) {
            ::close(duplicate);
            return false;
        }
        errno = 0;
        while (struct dirent* entry = ::readdir(listing.get())) {
            if (!visitEntry(entry->d_name, entry->d_type, visit)) return true;
            errno = 0;
        }
        return errno == 0;
#endif
    }

    bool entryInfo(const std::string& name, FileInfo& out) override {
        out = FileInfo{};
        if (name.empty() || name.find('\0') != std::string::npos) return false;
        if (!posix::entryStatus(fd_.get(), name.c_str(), name, statxAvailable_, out)) return false;
        out.fullPath.reserve(path_.size() + name.size());
        out.fullPath.assign(path_).append(name);
        return true;
    }

    std::unique_ptr<OpenDirectory> openSubdirectory(const std::string& name, SystemError& error) override {
        if (!isPlainName(name)) {
            error = posix::systemError(EINVAL);
            return nullptr;
        }
        // A link put in the directory's place since the listing is refused, not followed.
        posix::Descriptor below(::openat(fd_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
#ifdef O_PATH
        // A directory that may be searched but not read is entered all the same: its listing
        // fails, as it would for any reader.
        if (!below.valid() && errno == EACCES) {
            if (::faccessat(fd_.get(), name.c_str(), X_OK, AT_EACCESS) == 0)
                below = posix::Descriptor(::openat(fd_.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            else
                errno = EACCES;
        }
#endif
        if (!below.valid()) {
            error = posix::lastSystemError();
            return nullptr;
        }
        std::string path;
        path.reserve(path_.size() + name.size() + 1);
        path.assign(path_).append(name).push_back('/');
        return std::make_unique<PosixDirectory>(std::move(below), std::move(path), statxAvailable_);
    }

    std::unique_ptr<OpenDirectory> openParent(SystemError& error) override {
        posix::Descriptor above(::openat(fd_.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!above.valid()) {
            error = posix::lastSystemError();
            return nullptr;
        }
        return std::make_unique<PosixDirectory>(std::move(above), parentPath(), statxAvailable_);
    }

private:
    // One entry as the listing found it; the type is asked for only where the file system leaves it out.
    bool visitEntry(const char* name, unsigned char type, const std::function<bool(const DirEntry&)>& visit) {
        bool isDirectory = type == DT_DIR;
        if (type == DT_UNKNOWN) {
            struct stat facts {};
            isDirectory = ::fstatat(fd_.get(), name, &facts, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(facts.st_mode);
        }
        found_.name.assign(name);
        found_.isFile = !isDirectory;
        return visit(found_);
    }

    std::string parentPath() const {
        if (path_.size() <= 1) return path_;
        const size_t slash = path_.find_last_of('/', path_.size() - 2);
        return slash == std::string::npos ? std::string("/") : path_.substr(0, slash + 1);
    }

    posix::Descriptor fd_;
    std::string path_;  // ends in "/"
    std::atomic<bool>& statxAvailable_;
    DirEntry found_;    // reused: a listing costs no allocation per entry once warm
    bool listedBefore_ = false;
};

// The path as the system resolves it, so that the walk writes the same text whichever way its
// root was named (relative, through a link, with "." or "..").
std::string resolvedPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    if (!resolved) return std::string();
    std::string text(resolved.get());
    if (text.back() != '/') text += '/';
    return text;
}

}  // namespace

std::unique_ptr<OpenDirectory> NativePlatform::openDirectory(const std::string& path, SystemError& error) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        error = posix::systemError(ENOENT);
        return nullptr;
    }
    std::string text = resolvedPath(path);
    posix::Descriptor fd(text.empty() ? -1 : ::open(text.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        error = posix::lastSystemError();
        return nullptr;
    }
    return std::make_unique<PosixDirectory>(std::move(fd), std::move(text), impl_->statxAvailable);
}

}  // namespace Quilna
