// The walk stays on its file system and never loops: mounts inside the tree are walked once,
// as drives of their own, and neither bind mounts nor symbolic links lead it round in circles.
#include <gtest/gtest.h>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

TEST(ScanBoundaries, MountsInsideTheTreeAreWalkedOnceAndBindMountsDoNotLoop) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.file("sub/b.txt", 20);
    fs::create_directories(installation.path("sub/loop"));
    fs::create_directories(installation.path("ram"));
    fs::create_directory_symlink("..", installation.path("sub/up"));
    installation.settings["filetype"] = {"Integer", "3"};
    installation.settings["log.debug-level"] = {"Integer", "3"};
    // In a mount namespace of its own: a RAM disk inside the tree with a file on it, and the
    // tree bound onto one of its own subdirectories.
    const std::string script =
        "mount -t tmpfs tmpfs \"$HOARDSCAN_TREE/ram\" || exit 97; echo ram > \"$HOARDSCAN_TREE/ram/r.txt\" || exit 97;"
        "mount --bind \"$HOARDSCAN_TREE\" \"$HOARDSCAN_TREE/sub/loop\" || exit 97; exec \"$@\"";
    const int code = installation.run({"unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh"});
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 0) << installation.log();

    const std::string tree = installation.tree();
    const std::map<std::string, double> expected = {
        {tree + "/a.txt", 1},  // the tree, walked on the drive that holds it
        {tree + "/sub/b.txt", 1},
        {tree + "/sub/up", 1},              // a link, never followed
        {tree + "/ram/r.txt", 1},           // the RAM disk, walked once as its own drive
        {tree + "/sub/loop/a.txt", 1},      // the bind mount, walked once as its own drive, where
        {tree + "/sub/loop/sub/b.txt", 1},  // the mounts below the tree do not show
        {tree + "/sub/loop/sub/up", 1},
    };
    std::map<std::string, double> found;  // file type scheme 3 puts the directory into the record
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords())
        found[record.key[KeyField::FileSystem] + record.key[KeyField::FileType]] += record.values.files;
    EXPECT_EQ(found, expected);
    EXPECT_EQ(installation.logCount("Mount point \"" + tree + "/ram\" is walked as a file system of its own."), 1u)
        << installation.log();
    EXPECT_EQ(installation.logCount("Mount point \"" + tree + "/sub/loop\" is walked as a file system of its own."),
              1u);
}

}  // namespace
}  // namespace Quilna::EndToEnd
