// The mount table of /proc/self/mountinfo: what counts as a drive (mounts in a real tree: end to
// end).
#include <gtest/gtest.h>

#include "platform/posix/MountTable.h"
#include "platform/posix/PosixImpl.h"

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

TEST(MountTable, DrivesLeaveOutPseudoFileSystemsWhatLiesBelowThemAndRepeats) {
    MountTable table;
    table.parse(sampleMountInfo);
    std::vector<std::string> points;
    for (const Mount* mount : table.drives()) points.push_back(mount->mountPoint);
    // /dev/shm and the cgroup tmpfs lie below pseudo mounts; /mnt/again repeats the device and
    // root of "/", while /srv/home mounts another root of it; /mnt/share is hidden by the tmpfs
    // mounted on top of it; /mnt/huge has a device number beyond every integer.
    EXPECT_EQ(points, (std::vector<std::string>{"/", "/mnt/my disk", "/srv/home", "/mnt/share"}));
    ASSERT_NE(table.find("/mnt/share/"), nullptr);
    EXPECT_EQ(table.find("/mnt/share/")->fileSystem, "tmpfs");
    EXPECT_TRUE(table.isMountPoint("/proc"));
    EXPECT_TRUE(table.isMountPoint("/mnt/my disk/"));
    EXPECT_FALSE(table.isMountPoint("/mnt"));
    EXPECT_EQ(table.find("/mnt/my disk")->source, "/dev/sdb1");
}

TEST(MountTable, OctalEscapesPseudoFileSystemsAndDriveTypes) {
    EXPECT_EQ(MountTable::unescape("a\\040b\\011c"), "a b\tc");
    EXPECT_EQ(MountTable::unescape("end\\04"), "end\\04");
    EXPECT_EQ(MountTable::unescape("\\134"), "\\");
    EXPECT_TRUE(MountTable::isPseudoFileSystem("cgroup2"));
    EXPECT_FALSE(MountTable::isPseudoFileSystem("tmpfs"));
    // Sources that are no block device: the type alone decides.
    const std::vector<std::pair<std::string, int>> types{{"iso9660", DriveType::CdRom},
                                                         {"tmpfs", DriveType::RamDisk},
                                                         {"nfs4", DriveType::Remote},
                                                         {"overlay", DriveType::Fixed},
                                                         {"fuse.other", DriveType::Unknown}};
    for (const auto& [type, expected] : types)
        EXPECT_EQ(posix::driveTypeOf(Mount{"", "", type, "none", 0, 0}), expected) << type;
}

}  // namespace
}  // namespace Quilna
