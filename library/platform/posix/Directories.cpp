// POSIX: directories held open by a descriptor for the walk. Entries are read from it and their
// status taken relative to it, so the walk needs neither the current directory nor a path the
// system would have to take whole (a deep tree's paths are far longer than it accepts), and
// a directory keeps no path: the walk knows it.
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
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

#ifdef __linux__
// A listing's buffer, kept by its thread once the listing has ended: most directories are read
// in one piece, and a fresh buffer each time costs more than the read.
thread_local std::unique_ptr<char[]> spareBuffer;
#endif

class PosixDirectory : public OpenDirectory {
public:
    PosixDirectory(posix::Descriptor fd, std::atomic<bool>& statxAvailable)
        : fd_(std::move(fd)), statxAvailable_(statxAvailable) {}

    bool identity(FileIdentity& out) const override {
        struct stat facts {};
        if (::fstat(fd_.get(), &facts) != 0) return false;
        out = FileIdentity{static_cast<uint64_t>(facts.st_dev), static_cast<uint64_t>(facts.st_ino)};
        return true;
    }

    Listing readEntries(const std::function<bool(const DirEntry&)>& visit, SystemError& error) override {
#ifdef __linux__
        // Straight from the kernel: no buffer of the C library, no status call of the directory.
        // The buffer lives while the listing goes on, so that a paused listing resumes where it was.
        if (ended_) return Listing::End;
        if (!buffer_)
            buffer_ = spareBuffer ? std::move(spareBuffer) : std::make_unique_for_overwrite<char[]>(bufferSize);
        for (;;) {
            while (at_ < got_) {
                const auto* entry = reinterpret_cast<const struct dirent64*>(buffer_.get() + at_);
                at_ += entry->d_reclen;
                if (!visitEntry(entry->d_name, entry->d_type, visit)) return Listing::More;
            }
            got_ = ::getdents64(fd_.get(), buffer_.get(), bufferSize);
            at_ = 0;
            if (got_ > 0) continue;
            if (got_ < 0 && errno == EINTR) continue;
            const int failure = got_ < 0 ? errno : 0;
            got_ = 0;
            if (!spareBuffer) spareBuffer = std::move(buffer_);
            buffer_.reset();
            ended_ = true;
            return outcome(failure, error);
        }
#else
        // readdir takes the descriptor over: it reads from a duplicate, kept while the listing goes on.
        if (ended_) return Listing::End;
        if (!listing_) {
            const int duplicate = ::dup(fd_.get());
            if (duplicate < 0) return outcome(errno, error);
            listing_.reset(::fdopendir(duplicate));
            if (!listing_) {
                const int failure = errno;
                ::close(duplicate);
                return outcome(failure, error);
            }
        }
        errno = 0;
        while (struct dirent* entry = ::readdir(listing_.get())) {
            if (!visitEntry(entry->d_name, entry->d_type, visit)) return Listing::More;
            errno = 0;
        }
        const int failure = errno;
        listing_.reset();
        ended_ = true;
        return outcome(failure, error);
#endif
    }

    bool entryInfo(const std::string& name, FileInfo& out, SystemError& error) override {
        out = FileInfo{};
        if (name.empty() || name.find('\0') != std::string::npos) return posix::fail(error, ENOENT);
        return posix::entryStatus(fd_.get(), name.c_str(), name, statxAvailable_, out) || posix::fail(error);
    }

    // The status carries the owner id.
    bool entryOwner(const std::string&, std::string&, std::string&, SystemError& error) override {
        return posix::fail(error, ENOTSUP);
    }

    std::unique_ptr<OpenDirectory> openSubdirectory(const std::string& name, SystemError& error) const override {
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
                below =
                    posix::Descriptor(::openat(fd_.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            else errno = EACCES;
        }
#endif
        if (!below.valid()) {
            error = posix::lastSystemError();
            return nullptr;
        }
        return std::make_unique<PosixDirectory>(std::move(below), statxAvailable_);
    }

    std::unique_ptr<OpenDirectory> openParent(SystemError& error) const override {
        posix::Descriptor above(::openat(fd_.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!above.valid()) {
            error = posix::lastSystemError();
            return nullptr;
        }
        return std::make_unique<PosixDirectory>(std::move(above), statxAvailable_);
    }

    // The status and the removal name the same entry unless the directory changed in between,
    // which only this user and root can do: the program's directories are refused otherwise.
    bool removeOwnFile(const std::string& name, const std::function<bool(const FileInfo&)>& wanted,
                       SystemError& error) override {
        FileInfo info;
        if (!isPlainName(name) || !posix::entryStatus(fd_.get(), name.c_str(), name, statxAvailable_, info)) {
            error = posix::systemError(isPlainName(name) ? errno : EINVAL);
            return false;
        }
        constexpr uint16_t notPlain = FileAttribute::Directory | FileAttribute::Link | FileAttribute::System;
        if ((info.attributes & notPlain) || !info.hasOwnerId || info.ownerId != ::geteuid()) {
            error = posix::systemError(EPERM);
            return false;
        }
        if (!wanted(info)) return false;
        // Without AT_REMOVEDIR a directory is refused; a link would lose only its own name.
        if (::unlinkat(fd_.get(), name.c_str(), 0) == 0) return true;
        error = posix::lastSystemError();
        return false;
    }

private:
    static constexpr size_t bufferSize = 32768;

    // The end of a listing: complete, or failed with the system's error number.
    static Listing outcome(int failure, SystemError& error) {
        if (failure == 0) return Listing::End;
        error = posix::systemError(failure);
        return Listing::Failed;
    }

    // One entry as the listing found it; the type is asked for only where the file system leaves it out.
    bool visitEntry(const char* name, unsigned char type, const std::function<bool(const DirEntry&)>& visit) {
        bool isDirectory = type == DT_DIR;
        if (type == DT_UNKNOWN) {
            struct stat facts {};
            isDirectory = ::fstatat(fd_.get(), name, &facts, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(facts.st_mode);
        }
        // Reused by its thread: no allocation per entry once warm, nor per directory listed.
        thread_local DirEntry found;
        found.name.assign(name);
        found.isFile = !isDirectory;
        return visit(found);
    }

    posix::Descriptor fd_;
    std::atomic<bool>& statxAvailable_;
    bool ended_ = false;
#ifdef __linux__
    std::unique_ptr<char[]> buffer_;
    ssize_t got_ = 0, at_ = 0;
#else
    std::unique_ptr<DIR, int (*)(DIR*)> listing_{nullptr, ::closedir};
#endif
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

std::unique_ptr<OpenDirectory> NativePlatform::openDirectory(const std::string& path, std::string& resolved,
                                                             SystemError& error) {
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
    resolved = std::move(text);
    return std::make_unique<PosixDirectory>(std::move(fd), impl_->statxAvailable);
}

}  // namespace Quilna
