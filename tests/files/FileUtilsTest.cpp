// Path arithmetic and compound file operations, under the POSIX and the Windows path syntax.
#include <gtest/gtest.h>

#include <filesystem>

#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using namespace FileUtils;
using TestSupport::TestDirectory;

// Every path function's answer for a path, as "with-separator|normalised|stripped|file|directory|valid".
std::string pathFacts(std::string path) {
    std::string withSeparator = path, normalised = path, stripped = path;
    addSeparator(withSeparator);
    normaliseSeparators(normalised);
    stripSeparators(stripped);
    return withSeparator + "|" + normalised + "|" + stripped + "|" + fileName(path) + "|" + directoryName(path) + "|" +
           (isValidFileName(path) ? "valid" : "invalid");
}

TEST(FileUtils, PathsUnderBothSyntaxes) {
    FakePlatform fake;
    fake.syntax = PathSyntax{'/', false, false, false, false};
    const std::vector<std::pair<const char*, const char*>> posix{
        {"", "|||||valid"},
        {"/data", "/data/|/data|/data|data|/|valid"},
        {"/a//b///c", "/a//b///c/|/a/b/c|/a//b///c|c|/a//b///|valid"},
        {"/data//", "/data//|/data/|/data||/data//|invalid"},
        {"//", "//|//|/||//|invalid"},                 // the root stays the root
        {"dir\\", "dir\\/|dir\\|dir\\|dir\\||valid"},  // a backslash is a name character
        {"a*b", "a*b/|a*b|a*b|a*b||invalid"},
    };
    for (const auto& [path, facts] : posix) EXPECT_EQ(pathFacts(path), facts) << path;

    fake.syntax = FakePlatform::windowsSyntax();
    const std::vector<std::pair<const char*, const char*>> windows{
        // The two leading backslashes of a network path stay; runs inside become one backslash.
        {"\\\\server\\share\\\\dir//x",
         "\\\\server\\share\\\\dir//x\\|\\\\server\\share\\dir\\x|\\\\server\\share\\\\dir//"
         "x|x|\\\\server\\share\\\\dir//|valid"},
        {"c:/a/\\/b", "c:/a/\\/b\\|c:\\a\\b|c:/a/\\/b|b|c:/a/\\/|valid"},
        {"C:/data/", "C:/data/|C:\\data\\|C:/data||C:/data/|invalid"},
        {"c:\\dir/\\", "c:\\dir/\\|c:\\dir\\|c:\\dir||c:\\dir/\\|invalid"},
        {"c:x.doc", "c:x.doc\\|c:x.doc|c:x.doc|c:x.doc||valid"},
        {"c:\\*.doc", "c:\\*.doc\\|c:\\*.doc|c:\\*.doc|*.doc|c:\\|invalid"},
    };
    for (const auto& [path, facts] : windows) EXPECT_EQ(pathFacts(path), facts) << path;

    // Only a dot of the file name starts an extension.
    const std::vector<std::tuple<std::string, std::string, std::string>> extensions{
        {"/var/log/a.log", "log", "/var/log/a"},
        {"/var/logs.d/run", "", "/var/logs.d/run"},
        {"noext", "", "noext"},
        {"archive.tar.gz", "gz", "archive.tar"}};
    for (auto [path, extension, rest] : extensions) {
        EXPECT_EQ(splitExtension(path), extension);
        EXPECT_EQ(path, rest);
    }
}

TEST(FileUtils, WriteRemoveAndMakeDirectories) {
    TestDirectory dir;
    const std::string path = dir.child("w.txt");
    ASSERT_TRUE(writeFile(path, "first version, long"));
    ASSERT_TRUE(writeFile(path, "second"));  // the longer content is gone
    EXPECT_EQ(dir.read("w.txt"), "second");

    ASSERT_TRUE(FileOps::setAttributes(path, FileAttribute::ReadOnly));
    EXPECT_FALSE(removeFile(path, false));  // read-only stays unless forced
    EXPECT_TRUE(FileOps::exists(path));
    EXPECT_TRUE(removeFile(path, true));
    EXPECT_FALSE(removeFile(path, true));  // not found

    ASSERT_TRUE(makeDirectories(dir.child("a/b/c/")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("a/b/c")));
    // The last component of a path without a trailing separator is a file name.
    ASSERT_TRUE(makeDirectories(dir.child("x/y/file.txt")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("x/y")));
    EXPECT_FALSE(std::filesystem::exists(dir.child("x/y/file.txt")));
    dir.write("blocker", "a file where a directory should go");
    std::string failed;
    EXPECT_FALSE(makeDirectories(dir.child("blocker/sub/deeper/"), &failed));
    EXPECT_EQ(failed, dir.child("blocker/sub"));
}

TEST(FileOps, WindowsDrivesAskTheDriveTypeAndStatusTimesAreClamped) {
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    fake.driveTypes["C:"] = DriveType::Fixed;
    fake.driveTypes["Q:"] = DriveType::Unknown;
    fake.driveTypes["N:"] = DriveType::NoRootDir;
    for (const char* drive : {"C:", "C:\\", "C:/", "N:"}) EXPECT_TRUE(FileOps::exists(drive)) << drive;
    for (const char* drive : {"Q:\\", ""}) EXPECT_FALSE(FileOps::exists(drive)) << drive;

    // Status times outside the range are clamped; a missing file leaves the defaults.
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
