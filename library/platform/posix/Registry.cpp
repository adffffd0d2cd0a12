// POSIX: registry keys are .reg files below $QUILNA_REGISTRY_ROOT. The key path
// SOFTWARE\Quilna\Resources is the file <root>/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg,
// holding the section [HKEY_LOCAL_MACHINE\SOFTWARE\Quilna\Resources].
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/posix/PosixImpl.h"
#include "platform/posix/RegFile.h"
#include "platform/posix/TrustedDirectory.h"

namespace Quilna {

namespace {

const char* const kHive = "HKEY_LOCAL_MACHINE";
const char* const kDefaultRoot = "/etc/quilna/registry";
constexpr int kLockAttempts = 100;
// How long a write waits for the lock of a key's file: anyone who may read the file can hold
// it, and a scan must not wait on him for ever.
constexpr int kLockWaitMs = 5000;
constexpr uint32_t kLockPollMs = 10;

// Where a key lives: its file and its section name.
struct KeyLocation {
    std::string file;
    std::string section;
};

// False for key paths that would leave the registry root.
bool locateKey(const std::string& root, const std::string& keyPath, KeyLocation& out) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= keyPath.size(); ++i) {
        if (i == keyPath.size() || keyPath[i] == '\\' || keyPath[i] == '/') {
            if (part == "." || part == "..") return false;
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += keyPath[i];
        }
    }
    out.file = root + "/" + kHive;
    out.section = kHive;
    for (const std::string& piece : parts) {
        out.file += "/" + piece;
        out.section += "\\" + piece;
    }
    out.file += ".reg";
    return true;
}

bool readAll(int fd, std::string& out) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || static_cast<uint64_t>(status.st_size) > posix::RegFileCache::largestFile)
        return false;
    out.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        out.append(buffer, static_cast<size_t>(got));
        if (out.size() > posix::RegFileCache::largestFile) return false;
    }
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The directory of a key's file, made with its parents when missing (as creating a registry key
// creates its parents), and refused when another user controls it.
posix::TrustedDirectory keyDirectory(const std::string& directory) {
    posix::TrustedDirectory::Rules rules;
    rules.create = true;
    rules.createMode = 0750;
    return posix::TrustedDirectory(directory, rules);
}

// An exclusive lock on the key's file, created (readable by owner and group) when missing.
// Writers replace the file by renaming, so a lock is only good when the name still stands for
// the locked file afterwards. Nothing waits without end: the file is opened without blocking
// and must be a regular file, and the lock is waited for up to kLockWaitMs (less when a stop is
// requested), after which failure() says who holds it.
class KeyFileLock {
public:
    KeyFileLock(const posix::TrustedDirectory& directory, const std::string& name) {
        for (int attempt = 0; attempt < kLockAttempts && fd_ < 0; ++attempt) {
            const int fd = directory.openForWriting(name, O_RDWR | O_CREAT, 0640);
            if (fd < 0) {
                const std::string refusal = directory.nameRefusal(name);
                failure_ = refusal.empty() ? std::string("it cannot be opened: ") + std::strerror(errno) : refusal;
                return;
            }
            struct stat held {
            }, named{};
            if (!waitForLock(fd)) {
                ::close(fd);
                return;
            }
            if (::fstat(fd, &held) == 0 && ::fstatat(directory.fd(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                fd_ = fd;
                mode_ = held.st_mode & 07777;
                return;
            }
            ::close(fd);
        }
    }
    ~KeyFileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing drops the flock
    }
    KeyFileLock(const KeyFileLock&) = delete;
    KeyFileLock& operator=(const KeyFileLock&) = delete;

    int fd() const { return fd_; }
    mode_t mode() const { return mode_; }
    // Why the lock could not be had; empty once it is held.
    const std::string& failure() const { return failure_; }

private:
    bool waitForLock(int fd) {
        for (int waited = 0;; waited += static_cast<int>(kLockPollMs)) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
            if (errno != EWOULDBLOCK && errno != EINTR) {
                failure_ = std::string("it cannot be locked: ") + std::strerror(errno);
                return false;
            }
            if (waited >= kLockWaitMs || posix::stopRequested()) break;
            ::usleep(kLockPollMs * 1000);
        }
        const std::string holders = posix::lockHolders(fd);
        failure_ = posix::stopRequested() ? "a stop was requested while waiting for its lock"
                                          : "its lock was held for more than " + std::to_string(kLockWaitMs / 1000) +
                                                " seconds" + (holders.empty() ? std::string() : " by " + holders);
        return false;
    }

    int fd_ = -1;
    mode_t mode_ = 0640;
    std::string failure_;
};

// Writes the text beside the file and renames it over the file, so that readers see either the
// old or the new content, never a part.
bool replaceFile(const std::string& path, const std::string& text, mode_t mode) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int directory = ::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

bool validValueName(const std::string& name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20) return false;  // would break the line structure
    return true;
}

// A key's file that is there but cannot be read, said with its mode and owner: the administrator
// who made it readable by root only learns why a user's run finds no resource.
std::string unreadableFile(const std::string& path, int error) {
    struct stat status {};
    if (error == ENOENT || error == ENOTDIR || ::stat(path.c_str(), &status) != 0) return std::string();
    std::string owner;
    if (!posix::accountName(status.st_uid, owner)) owner = std::to_string(status.st_uid);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    return "the installation's resources file " + path + " cannot be read (mode " + mode + ", owner " + owner +
           "): " + std::strerror(error);
}

}  // namespace

bool NativePlatform::readRegistry(const std::string& keyPath, const std::string& name, bool, uint32_t& type,
                                  std::string& data, SystemError& error) {
    try {
        std::string root = kDefaultRoot;
        getEnv("QUILNA_REGISTRY_ROOT", root);
        KeyLocation key;
        if (!locateKey(root, keyPath, key)) return posix::fail(error, ENOENT);
        const std::shared_ptr<const RegFile> file = impl_->regFiles.load(key.file);
        if (!file) {
            const int failure = errno;
            error = posix::systemError(ENOENT);
            // A file that is there but cannot be read is said to be so.
            error.detail = unreadableFile(key.file, failure);
            return false;
        }
        return file->find(key.section, name, type, data) || posix::fail(error, ENOENT);
    } catch (const std::bad_alloc&) {
        return posix::fail(error, ENOMEM);
    }
}

namespace {
bool refuseStoring(SystemError& error, int code, const std::string& name, const std::string& file,
                   const std::string& why) {
    posix::fail(error, code);
    error.detail = "The resource " + name + " cannot be stored in " + file + ": " + why + ".";
    return false;
}
}  // namespace

bool NativePlatform::writeRegistryString(const std::string& keyPath, const std::string& name, const std::string& value,
                                         bool, SystemError& error) {
    try {
        std::string root = kDefaultRoot;
        getEnv("QUILNA_REGISTRY_ROOT", root);
        KeyLocation key;
        if (!validValueName(name) || !locateKey(root, keyPath, key)) return posix::fail(error, EINVAL);
        const posix::TrustedDirectory directory = keyDirectory(parentOf(key.file));
        if (!directory.valid()) {
            if (directory.refusal().empty()) return posix::fail(error, directory.error());
            return refuseStoring(error, directory.error(), name, key.file, directory.refusal());
        }
        KeyFileLock lock(directory, key.file.substr(key.file.rfind('/') + 1));
        if (lock.fd() < 0) return refuseStoring(error, EAGAIN, name, key.file, lock.failure());
        std::string bytes;
        if (!readAll(lock.fd(), bytes)) return posix::fail(error);
        RegFile file;
        // A file that is there but is no .reg text is left alone rather than overwritten.
        if (bytes.empty()) file.clear();
        else if (!file.parse(bytes)) return posix::fail(error, EINVAL);
        file.setString(key.section, name, value);
        return replaceFile(key.file, file.serialize(), lock.mode()) || posix::fail(error);
    } catch (const std::bad_alloc&) {
        return posix::fail(error, ENOMEM);
    }
}

}  // namespace Quilna
