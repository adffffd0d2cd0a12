#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "platform/NativePlatform.h"
#include "platform/posix/MountTable.h"

namespace Quilna {
namespace {

const char* sampleMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "22 26 0:21 / /sys rw,relatime - sysfs sysfs rw\n"
    "23 26 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw\n"
    "24 23 0:22 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
    "26 1 254:0 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw\n"
    "30 22 0:27 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
    "31 30 0:28 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
    "40 26 0:40 / /mnt/my\\040disk rw - vfat /dev/sdb1 rw\n"
    "41 26 254:0 /home /srv/home rw - ext4 /dev/vda rw\n"
    "42 26 254:0 / /mnt/again rw - ext4 /dev/vda rw\n"
    "43 26 0:44 / /mnt/share rw - nfs4 server:/export rw\n"
    "44 26 0:45 / /mnt/share rw - tmpfs tmpfs rw\n"
    "45 26 99999999999999999999:1 / /mnt/huge rw - ext4 /dev/vdb rw\n"
    "garbage line without fields\n";

std::vector<std::string> drivePoints(const MountTable& table) {
    std::vector<std::string> points;
    for (const Mount* mount : table.drives()) points.push_back(mount->mountPoint);
    return points;
}

TEST(MountTable, DrivesLeaveOutPseudoFileSystemsWhatLiesBelowThemAndRepeats) {
    MountTable table;
    table.parse(sampleMountInfo);
    // /dev/shm and the cgroup tmpfs lie below pseudo mounts; /mnt/again repeats the device and
    // root of "/", while /srv/home mounts another root of it; /mnt/share is hidden by the tmpfs
    // mounted on top of it; /mnt/huge has a device number beyond every integer.
    EXPECT_EQ(drivePoints(table), (std::vector<std::string>{"/", "/mnt/my disk", "/srv/home", "/mnt/share"}));
    ASSERT_NE(table.find("/mnt/share/"), nullptr);
    EXPECT_EQ(table.find("/mnt/share/")->fileSystem, "tmpfs");
    EXPECT_TRUE(table.isMountPoint("/proc"));
    EXPECT_TRUE(table.isMountPoint("/mnt/my disk/"));
    EXPECT_FALSE(table.isMountPoint("/mnt"));
    EXPECT_EQ(table.find("/mnt/my disk")->source, "/dev/sdb1");
}

TEST(MountTable, UnescapesOctalBytesOnlyWhenComplete) {
    EXPECT_EQ(MountTable::unescape("a\\040b\\011c"), "a b\tc");
    EXPECT_EQ(MountTable::unescape("end\\04"), "end\\04");
    EXPECT_EQ(MountTable::unescape("\\134"), "\\");
    EXPECT_TRUE(MountTable::isPseudoFileSystem("cgroup2"));
    EXPECT_FALSE(MountTable::isPseudoFileSystem("tmpfs"));
}

TEST(Drives, TheRootIsADriveAndAPlainDirectoryHasNoRoot) {
    NativePlatform native;
    std::vector<std::string> roots;
    SystemError error;
    ASSERT_TRUE(native.logicalDrives(roots, error));
    ASSERT_FALSE(roots.empty());
    EXPECT_EQ(roots.front(), "/");
    EXPECT_NE(native.driveType("/"), DriveType::NoRootDir);
    for (const std::string& root : roots) {
        EXPECT_EQ(root.back(), '/');
    }
    const auto plain = std::filesystem::temp_directory_path() / ("hoardscan-drive-" + std::to_string(::getpid()));
    std::filesystem::create_directories(plain);
    ASSERT_FALSE(native.isMountPoint(plain.string()));
    EXPECT_EQ(native.driveType(plain.string() + "/"), DriveType::NoRootDir);
    std::filesystem::remove_all(plain);
    uint32_t cluster = 0;
    EXPECT_TRUE(native.clusterSize("/", cluster, error));
    EXPECT_GT(cluster, 0u);
}

// Runs body in a child with a private mount namespace; the child's exit status is the result.
int inPrivateMounts(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
        _exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(Drives, AMountedTmpfsIsARamDiskDriveAndAMountPoint) {
    const auto point = std::filesystem::temp_directory_path() / ("hoardscan-tmpfs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(point);
    const int result = inPrivateMounts([&] {
        if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=64k") != 0) return 77;
        NativePlatform native;
        std::vector<std::string> roots;
        SystemError error;
        if (!native.logicalDrives(roots, error)) return 1;
        if (std::find(roots.begin(), roots.end(), point.string() + "/") == roots.end()) return 2;
        if (native.driveType(point.string() + "/") != DriveType::RamDisk) return 3;
        if (!native.isMountPoint(point.string())) return 4;
        return 0;
    });
    std::filesystem::remove_all(point);
    if (result == 77) GTEST_SKIP() << "mount namespaces are not available here";
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace Quilna
