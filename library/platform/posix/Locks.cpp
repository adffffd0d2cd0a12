// POSIX: named locks are flocks on files in the runtime directory's "locks".
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

// Opens (creating when missing) a lock file of the runtime directory, which is this user's alone.
int openLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// Holds an exclusive flock for its lifetime. Each object has its own open file description,
// so two objects of one process exclude each other as two processes do.
class FlockNamedLock : public NamedLock {
public:
    explicit FlockNamedLock(int fd) : fd_(fd) {}
    ~FlockNamedLock() override { release(); }
    FlockNamedLock(const FlockNamedLock&) = delete;
    FlockNamedLock& operator=(const FlockNamedLock&) = delete;

    bool release() override {
        if (fd_ < 0) return true;
        bool unlocked = ::flock(fd_, LOCK_UN) == 0;
        bool closed = ::close(fd_) == 0;
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

}  // namespace

std::unique_ptr<NamedLock> NativePlatform::tryNamedLock(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) return nullptr;
    const std::string directory = impl_->runtimeDirectory(*this, "locks");
    if (directory.empty()) return nullptr;
    std::string fileName = name;
    for (char& c : fileName)
        if (c == '/') c = '_';
    int fd = openLockFile(directory + "/" + fileName);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FlockNamedLock>(fd);
}

std::unique_ptr<RecursiveLock> NativePlatform::makeRecursiveLock() { return std::make_unique<MutexRecursiveLock>(); }

}  // namespace Quilna
