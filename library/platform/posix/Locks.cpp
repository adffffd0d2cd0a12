// POSIX: named locks are flocks on files in the runtime directory's "locks".
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/posix/PosixImpl.h"
#include "platform/posix/TrustedDirectory.h"

namespace Quilna {

namespace {

// Opens (creating when missing) a lock file of the runtime directory, which is this user's alone:
// only a regular file, so that a FIFO in its place cannot hold the program.
int openLockFile(const std::string& path) {
    return posix::TrustedDirectory::openRegularForWriting(AT_FDCWD, path, O_RDONLY | O_CREAT, 0600);
}

// Holds an exclusive flock for its lifetime. Each object has its own open file description,
// so two objects of one process exclude each other as two processes do.
class FlockNamedLock : public NamedLock {
public:
    explicit FlockNamedLock(int fd) : fd_(fd) {}
    ~FlockNamedLock() override {
        SystemError ignored;
        release(ignored);
    }
    FlockNamedLock(const FlockNamedLock&) = delete;
    FlockNamedLock& operator=(const FlockNamedLock&) = delete;

    bool release(SystemError& error) override {
        if (fd_ < 0) return true;
        const bool unlocked = ::flock(fd_, LOCK_UN) == 0 || posix::fail(error);
        const bool closed = ::close(fd_) == 0 || posix::fail(error);
        fd_ = -1;
        return unlocked && closed;
    }

private:
    int fd_;
};

class MutexRecursiveLock : public RecursiveLock {
public:
    void enter() override { mutex_.lock(); }
    void leave() override { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// A name's file in the locks directory: a "/" would lead out of it.
std::string lockFileName(const std::string& name) {
    std::string fileName = name;
    for (char& c : fileName)
        if (c == '/') c = '_';
    return fileName;
}

}  // namespace

std::string NativePlatform::namedLockHolders(const std::string& name) {
    const std::string directory = impl_->runtimeDirectory(*this, "locks", nullptr);
    if (directory.empty() || name.find('\0') != std::string::npos) return std::string();
    const posix::Descriptor file(
        ::open((directory + "/" + lockFileName(name)).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    return file.valid() ? posix::lockHolders(file.get()) : std::string();
}

namespace {
std::unique_ptr<NamedLock> refuseLock(SystemError& error, int code, std::string why) {
    posix::fail(error, code);
    error.detail = std::move(why);
    return nullptr;
}
}  // namespace

std::unique_ptr<NamedLock> NativePlatform::tryNamedLock(const std::string& name, SystemError& error) {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos)
        return refuseLock(error, EINVAL, "\"" + name + "\" is no name for a lock");
    std::string refusal;
    const std::string directory = impl_->runtimeDirectory(*this, "locks", &refusal);
    if (directory.empty())
        return refuseLock(error, EACCES, refusal.empty() ? "the runtime directory cannot be made" : refusal);
    const std::string path = directory + "/" + lockFileName(name);
    int fd = openLockFile(path);
    if (fd < 0) {
        const int failure = errno;
        refusal = posix::TrustedDirectory::pathRefusal(AT_FDCWD, path, path);
        if (refusal.empty()) refusal = "the lock file \"" + path + "\" cannot be opened: " + errorText(failure);
        return refuseLock(error, failure, refusal);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FlockNamedLock>(fd);
}

// The kernel lists every lock in /proc/locks as "<id>: <kind> <mode> <access> <pid>
// <major>:<minor>:<inode> <start> <end>", device numbers in hexadecimal; waiters' lines carry
// "->" after the id.
std::string posix::lockHolders(int fd) {
    struct stat locked {};
    if (::fstat(fd, &locked) != 0) return std::string();
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(locked.st_dev), minor(locked.st_dev),
                  static_cast<unsigned long long>(locked.st_ino));
    std::ifstream table("/proc/locks");
    std::string holders;
    std::set<std::string> named;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, pid, file;
        if (!(fields >> id >> kind) || kind == "->" || !(fields >> mode >> access >> pid >> file)) continue;
        if (file != device || !named.insert(pid).second) continue;
        struct stat process {};
        std::string user;
        const bool known = ::stat(("/proc/" + pid).c_str(), &process) == 0 && accountName(process.st_uid, user);
        if (!holders.empty()) holders += ", ";
        holders += "process " + pid + (known ? " of user " + user : std::string());
    }
    return holders;
}

std::unique_ptr<RecursiveLock> NativePlatform::makeRecursiveLock() { return std::make_unique<MutexRecursiveLock>(); }

}  // namespace Quilna
