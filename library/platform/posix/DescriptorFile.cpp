#include "platform/posix/DescriptorFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/PosixImpl.h"

namespace Quilna::posix {

bool DescriptorFile::read(char* buffer, size_t count, size_t& got, SystemError& error) {
    got = 0;
    for (;;) {
        const ssize_t result = ::read(file_.get(), buffer, count);
        if (result >= 0) {
            got = static_cast<size_t>(result);
            return true;
        }
        if (errno != EINTR) return fail(error);
    }
}

bool DescriptorFile::write(const char* data, size_t count, size_t& written, SystemError& error) {
    written = 0;
    while (written < count) {
        const ssize_t result = ::write(file_.get(), data + written, count - written);
        if (result > 0) {
            written += static_cast<size_t>(result);
            continue;
        }
        // A write that takes nothing without saying why has no room left.
        if (result == 0) return fail(error, ENOSPC);
        if (errno != EINTR) return fail(error);
    }
    return true;
}

bool DescriptorFile::seek(int64_t offset, Origin origin, int64_t& reached, SystemError& error) {
    const int whence = origin == Origin::Start ? SEEK_SET : (origin == Origin::End ? SEEK_END : SEEK_CUR);
    const off_t result = ::lseek(file_.get(), static_cast<off_t>(offset), whence);
    if (result < 0) return fail(error);
    reached = static_cast<int64_t>(result);
    return true;
}

bool DescriptorFile::modifiedTime(int64_t& seconds, SystemError& error) {
    struct stat facts {};
    if (::fstat(file_.get(), &facts) != 0) return fail(error);
    seconds = facts.st_mtime;
    return true;
}

bool DescriptorFile::sync(SystemError& error) { return ::fsync(file_.get()) == 0 || fail(error); }

bool DescriptorFile::close(SystemError& error) {
    if (!file_.valid()) return fail(error, EBADF);
    return file_.close() || fail(error);
}

}  // namespace Quilna::posix
