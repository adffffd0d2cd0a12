// POSIX: named locks are flocks on files below $QUILNA_RUNTIME_DIR/locks.
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

constexpr const char* defaultRuntimeDirectory = "/tmp/quilna";

bool isDirectory(const std::string& path) {
    struct stat facts {};
    return ::stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

// Creates a missing directory with its missing parents (parents with the usual mode).
bool makeDirectoryChain(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0) return true;
    if (errno == EEXIST) return isDirectory(path);
    if (errno != ENOENT) return false;
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    if (!makeDirectoryChain(path.substr(0, slash), 0777)) return false;
    return ::mkdir(path.c_str(), mode) == 0 || (errno == EEXIST && isDirectory(path));
}

// A directory everybody may create files in, like /tmp: created with mode 1777 (the umask
// would take bits away, hence the chmod). An existing directory keeps its mode.
bool ensureSharedDirectory(const std::string& path) {
    if (isDirectory(path)) return true;
    if (!makeDirectoryChain(path, 01777)) return false;
    ::chmod(path.c_str(), 01777);
    return true;
}

// Opens (creating when missing) a lock file without an O_CREAT open of an existing file:
// such an open is refused for another user's file in a sticky directory (protected_regular).
int openLockFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
        ::fchmod(fd, 0666);
        return fd;
    }
    if (errno != EEXIST) return -1;
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
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

namespace posix {

std::string runtimeSubdirectory(Platform& backend, const std::string& sub) {
    std::string root;
    if (!backend.getEnv("QUILNA_RUNTIME_DIR", root) || root.empty()) root = defaultRuntimeDirectory;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!ensureSharedDirectory(root)) return std::string();
    std::string directory = root == "/" ? "/" + sub : root + "/" + sub;
    return ensureSharedDirectory(directory) ? directory : std::string();
}

}  // namespace posix

std::unique_ptr<NamedLock> NativePlatform::tryNamedLock(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) return nullptr;
    std::string directory = posix::runtimeSubdirectory(*this, "locks");
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
