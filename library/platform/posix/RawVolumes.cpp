// POSIX: the block device beneath a mounted NTFS file system (an ntfs-3g fuseblk mount or the
// kernel's ntfs3), found in the mount table and opened read-only.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/Descriptor.h"
#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

class BlockDevice : public RawVolume {
public:
    explicit BlockDevice(posix::Descriptor device) : device_(std::move(device)) {}

    bool read(uint64_t offset, std::span<uint8_t> into, size_t& got, SystemError& error) override {
        got = 0;
        while (got < into.size()) {
            const ssize_t count =
                ::pread(device_.get(), into.data() + got, into.size() - got, static_cast<off_t>(offset + got));
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return posix::fail(error);
            if (count == 0) break;
            got += static_cast<size_t>(count);
        }
        return true;
    }

private:
    posix::Descriptor device_;
};

// The cause, with the reason in the words of the log line that tells why the volume is walked.
std::unique_ptr<RawVolume> refuse(SystemError& error, SystemError cause, std::string reason) {
    error = std::move(cause);
    error.detail = std::move(reason);
    return nullptr;
}

}  // namespace

std::unique_ptr<RawVolume> NativePlatform::openRawVolume(const std::string& root, SystemError& error) {
    MountTable mounts;
    if (!mounts.load()) return refuse(error, posix::lastSystemError(), "the mount table cannot be read");
    const Mount* mount = mounts.find(root);
    if (!mount) return refuse(error, {ErrorKind::NotFound, 0}, root + " is not a mount point");
    if (mount->fileSystem != "fuseblk" && mount->fileSystem != "ntfs3")
        return refuse(error, {ErrorKind::Other, 0}, "its file system (" + mount->fileSystem + ") is not NTFS");
    // The volume holds the whole file system; a mount of part of it shows less.
    if (mount->root != "/")
        return refuse(error, {ErrorKind::Other, 0}, "only " + mount->root + " of its file system is mounted there");
    if (mount->source.empty() || mount->source.front() != '/')
        return refuse(error, {ErrorKind::NotFound, 0}, "its source is not a device: " + mount->source);
    posix::Descriptor device(::open(mount->source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!device.valid())
        return refuse(error, posix::lastSystemError(), "its device cannot be opened: " + mount->source);
    // The source is only the mount's word: the node must be the very device the mount stands on.
    struct stat status {};
    if (::fstat(device.get(), &status) != 0)
        return refuse(error, posix::lastSystemError(), "its device cannot be examined: " + mount->source);
    if (!S_ISBLK(status.st_mode) || ::major(status.st_rdev) != mount->major || ::minor(status.st_rdev) != mount->minor)
        return refuse(error, {ErrorKind::Other, 0}, mount->source + " is not the block device of the mount");
    return std::make_unique<BlockDevice>(std::move(device));
}

}  // namespace Quilna
