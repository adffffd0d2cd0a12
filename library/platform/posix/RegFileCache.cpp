#include "platform/posix/RegFileCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/Descriptor.h"

namespace Quilna::posix {

namespace {

bool readAll(int fd, uint64_t size, std::string& out) {
    out.clear();
    out.reserve(size);
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        out.append(buffer, static_cast<size_t>(got));
        if (out.size() > RegFileCache::largestFile) {
            errno = EFBIG;
            return false;
        }
    }
}

}  // namespace

std::shared_ptr<const RegFile> RegFileCache::load(const std::string& path) {
    // Opened without waiting for a writer, should a FIFO stand there; refused below.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) return nullptr;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return nullptr;
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    if (static_cast<uint64_t>(status.st_size) > largestFile) {
        errno = EFBIG;
        return nullptr;
    }
    const Stamp stamp{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                      static_cast<uint64_t>(status.st_size), static_cast<int64_t>(status.st_mtim.tv_sec),
                      static_cast<int64_t>(status.st_mtim.tv_nsec)};
    {
        std::lock_guard<std::mutex> hold(guard_);
        const auto known = files_.find(path);
        if (known != files_.end() && known->second.stamp == stamp) return known->second.file;
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    std::string bytes;
    if (!readAll(file.get(), stamp.size, bytes)) return nullptr;
    auto parsed = std::make_shared<RegFile>();
    const bool valid = parsed->parse(bytes);
    std::lock_guard<std::mutex> hold(guard_);
    ++parses_;
    if (!valid) {
        files_.erase(path);
        errno = EINVAL;
        return nullptr;
    }
    files_[path] = Parsed{stamp, parsed};
    return parsed;
}

uint64_t RegFileCache::parses() const {
    std::lock_guard<std::mutex> hold(guard_);
    return parses_;
}

}  // namespace Quilna::posix
