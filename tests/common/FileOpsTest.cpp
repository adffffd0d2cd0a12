// The file operations: existence, status records, owners, listing and renames with retries.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/FileOps.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

// The root of the file system the temporary directory lies on: "/" or "C:\\".
std::string rootOf(const TestDirectory& dir) { return dir.path().root_path().string(); }

TEST(FileOpsExists, FilesDirectoriesAndTheRoot) {
    TestDirectory dir;
    const char separator = platform().pathSyntax().separator;
    std::string file = dir.write("f", "x");
    EXPECT_TRUE(FileOps::exists(file));
    EXPECT_TRUE(FileOps::exists(dir.text()));
    EXPECT_TRUE(FileOps::exists(dir.text() + separator));  // one trailing separator is ignored
    EXPECT_TRUE(FileOps::exists(dir.text() + "/"));
    EXPECT_TRUE(FileOps::exists(rootOf(dir)));
    EXPECT_FALSE(FileOps::exists(""));
    EXPECT_FALSE(FileOps::exists(dir.child("missing")));
    EXPECT_FALSE(FileOps::exists(dir.child("*")));
    EXPECT_FALSE(FileOps::exists(dir.child("?")));
}

TEST(FileOpsExists, WindowsDrivesAskTheDriveType) {
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    fake.driveTypes["C:"] = DriveType::Fixed;
    fake.driveTypes["Q:"] = DriveType::Unknown;
    fake.driveTypes["N:"] = DriveType::NoRootDir;
    EXPECT_TRUE(FileOps::exists("C:"));
    EXPECT_TRUE(FileOps::exists("C:\\"));
    EXPECT_TRUE(FileOps::exists("C:/"));
    EXPECT_FALSE(FileOps::exists("Q:\\"));
    EXPECT_TRUE(FileOps::exists("N:"));  // any answer but "unknown"
    EXPECT_FALSE(FileOps::exists(""));
}

TEST(FileOpsStatus, RecordHoldsTheFactsAndTimesAsMoments) {
    TestDirectory dir;
    std::string path = dir.write("data", std::string(3000, 'd'));
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now());
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus(path, status));
    EXPECT_TRUE(status.exists);
    EXPECT_EQ(status.fullPath, path);
    EXPECT_EQ(status.size, 3000u);
    // A new file is "Normal" on POSIX; Windows marks it for the next backup (Archive).
    EXPECT_TRUE(status.attributes == FileAttribute::Normal || status.attributes == FileAttribute::Archive)
        << status.attributes;
    EXPECT_FALSE(status.isDirectory());
    EXPECT_NEAR(status.modified.value(), DateTime().value(), 120);
    EXPECT_NEAR(status.created.value(), DateTime().value(), 120);

    ASSERT_TRUE(FileOps::fileStatus(dir.text(), status));
    EXPECT_TRUE(status.isDirectory());
    EXPECT_EQ(status.size, 0u);
}

TEST(FileOpsStatus, NotFoundLeavesTheDefaults) {
    TestDirectory dir;
    FileStatus status;
    status.size = 99;
    status.exists = true;
    for (const std::string& bad : {std::string(), dir.child("missing"), dir.child("a?b"), dir.child("*"),
                                   dir.write("f", "x") + "/"}) {
        EXPECT_FALSE(FileOps::fileStatus(bad, status)) << bad;
        EXPECT_FALSE(status.exists);
        EXPECT_EQ(status.size, 0u);
        EXPECT_EQ(status.modified.value(), 0);
        EXPECT_TRUE(status.fullPath.empty());
    }
}

TEST(FileOpsStatus, PlatformTimesOutsideTheRangeAreClamped) {
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
}

TEST(FileOpsStatus, AFileThatVanishesAfterListingIsSimplyNotFound) {
    TestDirectory dir;
    dir.write("short-lived", "x");
    auto entries = FileOps::listDirectory(dir.text(), "short*");
    ASSERT_EQ(entries.size(), 1u);
    std::filesystem::remove(dir.child("short-lived"));
    FileStatus status;
    EXPECT_FALSE(FileOps::fileStatus(dir.child(entries[0].name), status));
    std::string owner = "UNDEF";
    EXPECT_FALSE(FileOps::fileOwner(dir.child(entries[0].name), owner));
    EXPECT_EQ(owner, "UNDEF");
}

TEST(FileOpsOwner, BuiltinOwnersAreBareNamesOthersCarryTheirDomain) {
    FakePlatform fake;
    fake.owners["c:\\admin.doc"] = {"BUILTIN", "Administrators"};
    fake.owners["c:\\ann.doc"] = {"OFFICE", "ann"};
    fake.owners["c:\\odd.doc"] = {"builtin", "x"};  // the rule is case-sensitive
    std::string owner;
    ASSERT_TRUE(FileOps::fileOwner("c:\\admin.doc", owner));
    EXPECT_EQ(owner, "Administrators");
    ASSERT_TRUE(FileOps::fileOwner("c:\\ann.doc", owner));
    EXPECT_EQ(owner, "\\\\OFFICE\\ann");
    ASSERT_TRUE(FileOps::fileOwner("c:\\odd.doc", owner));
    EXPECT_EQ(owner, "\\\\builtin\\x");
}

TEST(FileOpsListing, BadDirectoriesGiveEmptyLists) {
    TestDirectory dir;
    std::string file = dir.write("plain", "x");
    EXPECT_TRUE(FileOps::listDirectory(dir.child("missing"), "*").empty());
    EXPECT_TRUE(FileOps::listDirectory(file, "*").empty());
    EXPECT_TRUE(FileOps::listDirectory(dir.text(), "").empty());
    auto entries = FileOps::listDirectory(dir.text() + "/", "*");
    EXPECT_EQ(entries.size(), 3u);  // ".", ".." and the file
}

TEST(FileOpsCurrentDirectory, EndsInTheSeparator) {
    TestDirectory dir;
    const char separator = platform().pathSyntax().separator;
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.text());
    EXPECT_EQ(FileOps::currentDirectory(), dir.text() + separator);
    // The root keeps its one separator.
    std::filesystem::current_path(rootOf(dir));
    EXPECT_EQ(FileOps::currentDirectory(), rootOf(dir));
    std::filesystem::current_path(saved);
}

TEST(FileOpsRename, SixAttemptsTwoSecondsApartOnTheFakeClock) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1000000;
    std::string from = dir.write("from", "new");
    std::string to = dir.write("to", "old");

    EXPECT_FALSE(FileOps::renameFile(from, to, false));
    EXPECT_EQ(*fake.clock, 1000000 + 10);  // five pauses between six attempts
    EXPECT_EQ(dir.read("to"), "old");
    EXPECT_EQ(dir.read("from"), "new");

    ASSERT_TRUE(FileOps::renameFile(from, to, true));
    EXPECT_EQ(*fake.clock, 1000000 + 10);  // no pause when the first attempt works
    EXPECT_EQ(dir.read("to"), "new");
    EXPECT_FALSE(FileOps::exists(from));

    EXPECT_FALSE(FileOps::renameFile(dir.child("missing"), dir.child("x"), true));
    EXPECT_EQ(*fake.clock, 1000000 + 20);
}

}  // namespace
}  // namespace Quilna
