#include "platform/posix/DescriptorFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/PosixImpl.h"

namespace Quilna::posix {

SystemError DescriptorFile::read(char* buffer, size_t count, size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t result = ::read(file_.get(), buffer, count);
        if (result >= 0) {
            got = static_cast<size_t>(result);
            return SystemError{};
        }
        if (errno != EINTR) return lastSystemError();
    }
}

SystemError DescriptorFile::write(const char* data, size_t count, size_t& written) {
    written = 0;
    while (written < count) {
        const ssize_t result = ::write(file_.get(), data + written, count - written);
        if (result > 0) {
            written += static_cast<size_t>(result);
            continue;
        }
        // A write that takes nothing without saying why has no room left.
        if (result == 0) return systemError(ENOSPC);
        if (errno != EINTR) return lastSystemError();
    }
    return SystemError{};
}

SystemError DescriptorFile::seek(int64_t offset, Origin origin, int64_t& reached) {
    const int whence = origin == Origin::Start ? SEEK_SET : (origin == Origin::End ? SEEK_END : SEEK_CUR);
    const off_t result = ::lseek(file_.get(), static_cast<off_t>(offset), whence);
    if (result < 0) return lastSystemError();
    reached = static_cast<int64_t>(result);
    return SystemError{};
}

SystemError DescriptorFile::modifiedTime(int64_t& seconds) {
    struct stat facts {};
    if (::fstat(file_.get(), &facts) != 0) return lastSystemError();
    seconds = facts.st_mtime;
    return SystemError{};
}

SystemError DescriptorFile::sync() { return ::fsync(file_.get()) == 0 ? SystemError{} : lastSystemError(); }

SystemError DescriptorFile::close() {
    if (!file_.valid()) return systemError(EBADF);
    return file_.close() ? SystemError{} : lastSystemError();
}

}  // namespace Quilna::posix
