// POSIX: drives are the mount points of real file systems; sizes from statvfs and lstat.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

#include "platform/posix/PosixImpl.h"

namespace Quilna {

namespace {

const std::set<std::string>& remoteFileSystems() {
    static const std::set<std::string> remote = {"nfs", "nfs4", "cifs",      "smb3",   "smbfs", "fuse.sshfs",
                                                 "9p",  "ceph", "glusterfs", "lustre", "afs"};
    return remote;
}

bool readFlag(const std::string& path) {
    std::ifstream file(path);
    int flag = 0;
    return file >> flag && flag == 1;
}

// The block device behind a mount, from its device numbers or its source node.
bool blockDevice(const Mount& mount, unsigned& major, unsigned& minor) {
    const std::string sysPath = "/sys/dev/block/" + std::to_string(mount.major) + ":" + std::to_string(mount.minor);
    struct stat info {};
    if (::stat(sysPath.c_str(), &info) == 0) {
        major = mount.major;
        minor = mount.minor;
        return true;
    }
    if (::stat(mount.source.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
        major = ::major(info.st_rdev);
        minor = ::minor(info.st_rdev);
        return true;
    }
    return false;
}

// A partition inherits the removable flag of its disk.
bool isRemovable(unsigned major, unsigned minor) {
    const std::string device = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    return readFlag(device + "/removable") || readFlag(device + "/../removable");
}

// More than any real file of mounts holds.
constexpr size_t largestMountConfiguration = 1 << 20;

// The mount points that /etc/fstab names, but "/" (always mounted). Read with a bound, and only
// from a regular file, which a non-blocking open cannot make wait.
std::vector<std::string> configuredMountPoints() {
    std::vector<std::string> points;
    const int fd = ::open("/etc/fstab", O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return points;
    std::string text;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        char buffer[8192];
        ssize_t got = 0;
        while (text.size() < largestMountConfiguration && (got = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string source, point;
        if (!(fields >> source >> point) || source.front() == '#' || point.front() != '/') continue;
        point = MountTable::unescape(point);
        while (point.size() > 1 && point.back() == '/') point.pop_back();
        if (point.size() > 1) points.push_back(std::move(point));
    }
    return points;
}

bool isWithin(const std::string& path, const std::string& directory) {
    return path.compare(0, directory.size(), directory) == 0 &&
           (path.size() == directory.size() || path[directory.size()] == '/' || directory == "/");
}

}  // namespace

int posix::driveTypeOf(const Mount& mount) {
    const std::string& type = mount.fileSystem;
    if (type == "iso9660" || type == "udf") return DriveType::CdRom;
    if (type == "tmpfs" || type == "ramfs") return DriveType::RamDisk;
    if (remoteFileSystems().count(type)) return DriveType::Remote;
    unsigned major = 0, minor = 0;
    if (blockDevice(mount, major, minor)) return isRemovable(major, minor) ? DriveType::Removable : DriveType::Fixed;
    if (type == "overlay") return DriveType::Fixed;
    return DriveType::Unknown;
}

bool NativePlatform::logicalDrives(std::vector<std::string>& roots, SystemError& error) {
    if (!impl_->mounts.load()) {
        error = posix::lastSystemError();
        return false;
    }
    for (const Mount* mount : impl_->mounts.drives())
        roots.push_back(mount->mountPoint == "/" ? "/" : mount->mountPoint + "/");
    return true;
}

int NativePlatform::driveType(const std::string& root) {
    if (!impl_->mounts.loaded()) impl_->mounts.load();
    const Mount* mount = impl_->mounts.find(root);
    return mount ? posix::driveTypeOf(*mount) : DriveType::NoRootDir;
}

bool NativePlatform::clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) {
    struct statvfs info {};
    if (::statvfs(root.empty() ? "." : root.c_str(), &info) != 0) {
        error = posix::lastSystemError();
        return false;
    }
    bytes = static_cast<uint32_t>(info.f_frsize ? info.f_frsize : info.f_bsize);
    return true;
}

bool NativePlatform::compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        error = posix::lastSystemError();
        return false;
    }
    bytes = static_cast<uint64_t>(info.st_blocks) * 512u;
    return true;
}

// The deepest configured mount point above the path, unless a mount as deep or deeper holds it.
std::string NativePlatform::unmountedMountPointAbove(const std::string& path) {
    std::string configured;
    for (const std::string& point : configuredMountPoints())
        if (point.size() > configured.size() && isWithin(path, point)) configured = point;
    MountTable mounts;
    if (configured.empty() || !mounts.load()) return std::string();
    for (const Mount& mount : mounts.mounts())
        if (mount.mountPoint.size() >= configured.size() && isWithin(path, mount.mountPoint)) return std::string();
    return configured;
}

bool NativePlatform::isMountPoint(const std::string& directory) {
    if (!impl_->mounts.loaded()) impl_->mounts.load();
    return impl_->mounts.isMountPoint(directory);
}

}  // namespace Quilna
