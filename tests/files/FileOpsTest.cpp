// The file operations: existence of drives, status records and owners.
#include <gtest/gtest.h>

#include "files/FileOps.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

TEST(FileOps, WindowsDrivesAskTheDriveTypeAndOwnersCarryTheirDomain) {
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    fake.driveTypes["C:"] = DriveType::Fixed;
    fake.driveTypes["Q:"] = DriveType::Unknown;
    fake.driveTypes["N:"] = DriveType::NoRootDir;
    for (const char* drive : {"C:", "C:\\", "C:/", "N:"}) EXPECT_TRUE(FileOps::exists(drive)) << drive;
    for (const char* drive : {"Q:\\", ""}) EXPECT_FALSE(FileOps::exists(drive)) << drive;

    // Built-in owners are bare names; the rule is case-sensitive.
    fake.owners["c:\\admin.doc"] = {"BUILTIN", "Administrators"};
    fake.owners["c:\\ann.doc"] = {"OFFICE", "ann"};
    fake.owners["c:\\odd.doc"] = {"builtin", "x"};
    const std::vector<std::pair<const char*, const char*>> owners{
        {"c:\\admin.doc", "Administrators"}, {"c:\\ann.doc", "\\\\OFFICE\\ann"}, {"c:\\odd.doc", "\\\\builtin\\x"}};
    for (const auto& [path, expected] : owners) {
        std::string owner;
        ASSERT_TRUE(FileOps::fileOwner(path, owner)) << path;
        EXPECT_EQ(owner, expected);
    }
    std::string owner = "UNDEF";
    EXPECT_FALSE(FileOps::fileOwner("c:\\vanished.doc", owner));
    EXPECT_EQ(owner, "UNDEF");
}

TEST(FileOps, StatusTimesOutsideTheRangeAreClampedAndMissingFilesLeaveDefaults) {
    FakePlatform fake;
    FileInfo info;
    info.exists = true;
    info.created = -100;
    info.accessed = int64_t(1) << 40;
    info.modified = 1372680000;
    fake.files["/fake/file"] = info;
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus("/fake/file", status));
    EXPECT_EQ(status.created.value(), 0);
    EXPECT_EQ(status.accessed.value(), DateTime::largest);
    EXPECT_EQ(status.modified.value(), 1372680000);
    status.size = 99;
    EXPECT_FALSE(FileOps::fileStatus("/fake/missing", status));
    EXPECT_FALSE(status.exists);
    EXPECT_EQ(status.size, 0u);
    EXPECT_TRUE(status.fullPath.empty());
}

}  // namespace
}  // namespace Quilna
