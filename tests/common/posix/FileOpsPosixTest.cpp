// File status and owners as another user and the superuser see them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>

#include "common/FileOps.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"
#include "support/posix/ShortHostName.h"

namespace Quilna {
namespace {

using TestSupport::ChildProcess;
using TestSupport::TestDirectory;

TEST(FileOpsPosix, OneStatusCallGivesSizeOnDiskOwnerAndIdentity) {
    TestDirectory dir;
    std::string path = dir.write("data", std::string(3000, 'd'));
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus(path, status));
    EXPECT_EQ(status.attributes, FileAttribute::Normal);
    EXPECT_TRUE(status.hasAllocated);
    EXPECT_TRUE(status.hasOwnerId);
    EXPECT_TRUE(status.hasIdentity);
    // Two separators name no file; drive letters mean nothing: "C:" is a relative name.
    EXPECT_FALSE(FileOps::exists(dir.text() + "//"));
    EXPECT_FALSE(FileOps::exists("C:"));
}

TEST(FileOpsPosix, UnreadableFileKeepsItsRealSizeAndTimes) {
    TestDirectory dir;
    ::chmod(dir.text().c_str(), 0755);
    std::string path = dir.write("locked-away", std::string(70000, 'z'));
    struct timespec times[2] = {{1200000000, 0}, {1250000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);

    ChildProcess child([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
        if (::open(path.c_str(), O_RDONLY) >= 0) return 11;  // the premise: it cannot be opened
        FileStatus status;
        if (!FileOps::fileStatus(path, status) || !status.exists) return 12;
        if (status.size != 70000) return 13;
        if (status.accessed.value() != 1200000000 || status.modified.value() != 1250000000) return 14;
        if (!(status.attributes & FileAttribute::ReadOnly)) return 15;
        return 0;
    });
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.wait(), 0);
}

TEST(FileOpsPosix, OwnerOfARootFileIsTheUpperCaseShortHostAndRoot) {
    TestDirectory dir;
    std::string path = dir.write("root-owned", "x");
    ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
    const std::string expected = TestSupport::upperShortHostName();

    std::string owner;
    ASSERT_TRUE(FileOps::fileOwner(path, owner));
    EXPECT_EQ(owner, "\\\\" + expected + "\\root");

    ASSERT_EQ(::chown(path.c_str(), 54321, 54321), 0);  // no password entry
    owner = "UNDEF";
    EXPECT_FALSE(FileOps::fileOwner(path, owner));
    EXPECT_EQ(owner, "UNDEF");
}

TEST(FileOpsPosix, AppendToAFullDeviceFails) {
    // The device takes the open and the buffered write; only the flush reports the full disk.
    TestDirectory dir;
    const std::string full = dir.child("full");
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    EXPECT_FALSE(FileOps::appendToFile(full, "a line that cannot be stored\n"));
}

}  // namespace
}  // namespace Quilna
