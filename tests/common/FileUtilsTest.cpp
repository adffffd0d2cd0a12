// Path arithmetic and compound file operations, under the POSIX and the Windows path syntax.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/FileOps.h"
#include "common/FileUtils.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using namespace FileUtils;
using TestSupport::TestDirectory;

std::string normalised(std::string path) {
    normaliseSeparators(path);
    return path;
}

std::string stripped(std::string path) {
    stripSeparators(path);
    return path;
}

std::string withSeparator(std::string path) {
    addSeparator(path);
    return path;
}

TEST(FileUtilsPosixSyntax, SlashIsTheOnlySeparator) {
    FakePlatform fake;
    fake.syntax = PathSyntax{'/', false, false, false, false};
    EXPECT_EQ(withSeparator("/data"), "/data/");
    EXPECT_EQ(withSeparator("/data/"), "/data/");
    EXPECT_EQ(withSeparator(""), "");
    EXPECT_EQ(withSeparator("dir\\"), "dir\\/");  // a backslash is a name character

    EXPECT_EQ(normalised("/a//b///c"), "/a/b/c");
    EXPECT_EQ(normalised("a\\\\b"), "a\\\\b");
    EXPECT_EQ(stripped("/data//"), "/data");
    EXPECT_EQ(stripped("/"), "/");
    EXPECT_EQ(stripped("//"), "/");  // the root stays the root
    EXPECT_EQ(stripped("dir\\"), "dir\\");

    EXPECT_EQ(fileName("/home/ann/x.doc"), "x.doc");
    EXPECT_EQ(fileName("x.doc"), "x.doc");
    EXPECT_EQ(fileName("/home/ann/"), "");
    EXPECT_EQ(fileName("a\\b"), "a\\b");
    EXPECT_EQ(directoryName("/home/ann/x.doc"), "/home/ann/");
    EXPECT_EQ(directoryName("x.doc"), "");
    EXPECT_EQ(directoryName("a\\b"), "");

    EXPECT_FALSE(isValidFileName("/data/"));
    EXPECT_TRUE(isValidFileName("/data\\"));
}

TEST(FileUtilsWindowsSyntax, BothSlashesAreReadAndBackslashIsWritten) {
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    EXPECT_EQ(withSeparator("C:\\data"), "C:\\data\\");
    EXPECT_EQ(withSeparator("C:/data/"), "C:/data/");

    // The two leading backslashes of a network path stay; runs inside become one backslash.
    EXPECT_EQ(normalised("\\\\server\\share\\\\dir//x"), "\\\\server\\share\\dir\\x");
    EXPECT_EQ(normalised("c:/a/\\/b"), "c:\\a\\b");
    EXPECT_EQ(normalised("/"), "/");

    EXPECT_EQ(stripped("\\"), "\\");
    EXPECT_EQ(stripped("/"), "/");
    EXPECT_EQ(stripped("c:\\dir\\\\"), "c:\\dir");  // both trailing backslashes go
    EXPECT_EQ(stripped("c:\\dir/\\"), "c:\\dir");

    EXPECT_EQ(fileName("c:\\users\\ann/x.doc"), "x.doc");
    EXPECT_EQ(directoryName("c:\\users\\ann/x.doc"), "c:\\users\\ann/");
    EXPECT_EQ(directoryName("c:x.doc"), "");
    EXPECT_EQ(extension("c:\\logs.d\\run"), "");

    EXPECT_FALSE(isValidFileName("c:\\dir\\"));
    EXPECT_FALSE(isValidFileName("c:\\dir/"));
    EXPECT_FALSE(isValidFileName("c:\\*.doc"));
    EXPECT_TRUE(isValidFileName("c:\\a.doc"));
}

TEST(FileUtilsNames, ExtensionsComeFromTheFileNameOnly) {
    EXPECT_EQ(extension("archive.tar.gz"), "gz");
    EXPECT_EQ(extension("/data/README"), "");
    EXPECT_EQ(extension("/var/logs.d/run"), "");  // a dot of a directory starts no extension
    EXPECT_EQ(extension("name."), "");
    EXPECT_EQ(extension(".profile"), "profile");

    std::string path = "/var/log/a.log";
    EXPECT_EQ(splitExtension(path), "log");
    EXPECT_EQ(path, "/var/log/a");
    path = "/var/logs.d/run";
    EXPECT_EQ(splitExtension(path), "");
    EXPECT_EQ(path, "/var/logs.d/run");
    path = "noext";
    EXPECT_EQ(splitExtension(path), "");
    EXPECT_EQ(path, "noext");
}

TEST(FileUtilsNames, ValidNamesAndControlCharacters) {
    EXPECT_TRUE(isValidFileName(""));
    EXPECT_FALSE(isValidFileName("a*b"));
    EXPECT_FALSE(isValidFileName("what?"));
    EXPECT_TRUE(isValidFileName("plain.txt"));

    EXPECT_TRUE(hasOnlyAllowedControls("a\tb\r\n", "\t\r\n"));
    EXPECT_FALSE(hasOnlyAllowedControls("form\ffeed", "\t\r\n"));
    EXPECT_FALSE(hasOnlyAllowedControls(std::string("nul\0", 4), "\t"));
    EXPECT_TRUE(hasOnlyAllowedControls("\xff\x7f high bytes", ""));
}

TEST(FileUtilsNames, EmptyPathsGiveEmptyAnswers) {
    EXPECT_EQ(withSeparator(""), "");
    EXPECT_EQ(normalised(""), "");
    EXPECT_EQ(stripped(""), "");
    EXPECT_EQ(fileName(""), "");
    EXPECT_EQ(directoryName(""), "");
    EXPECT_EQ(extension(""), "");
    std::string path;
    EXPECT_EQ(splitExtension(path), "");
    EXPECT_EQ(fileSize(""), 0u);
    EXPECT_TRUE(hasOnlyAllowedControls("", ""));
}

TEST(FileUtilsFiles, RemoveRespectsReadOnlyUnlessForced) {
    TestDirectory dir;
    std::string path = dir.write("ro", "x");
    ASSERT_TRUE(FileOps::setAttributes(path, FileAttribute::ReadOnly));
    EXPECT_FALSE(removeFile(path, false));
    EXPECT_TRUE(FileOps::exists(path));
    EXPECT_TRUE(removeFile(path, true));
    EXPECT_FALSE(FileOps::exists(path));
    EXPECT_FALSE(removeFile(path, true));  // not found
    EXPECT_TRUE(removeFile(dir.write("plain", "x"), false));
    std::filesystem::create_directory(dir.child("sub"));
    EXPECT_FALSE(removeFile(dir.child("sub"), true));
    EXPECT_FALSE(removeFile("", true));
}

TEST(FileUtilsFiles, WriteFileHoldsExactlyTheTextAndSizeReadsItBack) {
    TestDirectory dir;
    std::string path = dir.child("w.txt");
    ASSERT_TRUE(writeFile(path, "first version, long"));
    ASSERT_TRUE(writeFile(path, "second"));
    EXPECT_EQ(dir.read("w.txt"), "second");
    EXPECT_EQ(fileSize(path), 6u);
    EXPECT_EQ(fileSize(dir.child("missing")), 0u);
    EXPECT_FALSE(writeFile(dir.child("no/such/dir/w.txt"), "x"));
    EXPECT_FALSE(writeFile(dir.text(), "x"));  // a directory
    EXPECT_FALSE(writeFile("", "x"));

    ASSERT_TRUE(FileOps::appendToFile(path, "+more"));
    ASSERT_TRUE(FileOps::appendToFile(dir.child("new.txt"), "fresh"));
    EXPECT_EQ(dir.read("w.txt"), "second+more");
    EXPECT_EQ(dir.read("new.txt"), "fresh");

    ASSERT_TRUE(copy(path, dir.child("c.txt"), false));
    EXPECT_FALSE(copy(path, dir.child("c.txt"), false));
    ASSERT_TRUE(rename(dir.child("c.txt"), dir.child("r.txt"), false));
    EXPECT_EQ(dir.read("r.txt"), "second+more");
}

TEST(FileUtilsFiles, MakeDirectoriesCreatesMissingParents) {
    TestDirectory dir;
    EXPECT_TRUE(makeDirectories(""));
    EXPECT_TRUE(makeDirectories("bare-name"));  // nothing above a bare name
    ASSERT_TRUE(makeDirectories(dir.child("a/b/c/")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("a/b/c")));
    // The last component of a path without a trailing separator is a file name.
    ASSERT_TRUE(makeDirectories(dir.child("x/y/file.txt")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("x/y")));
    EXPECT_FALSE(std::filesystem::exists(dir.child("x/y/file.txt")));
    EXPECT_TRUE(makeDirectories(dir.child("a/b/c/")));  // already there

    dir.write("blocker", "a file where a directory should go");
    std::string failed;
    EXPECT_FALSE(makeDirectories(dir.child("blocker/sub/deeper/"), &failed));
    EXPECT_EQ(failed, dir.child("blocker/sub"));
}

TEST(FileUtilsFiles, MakeDirectoriesOfARelativePathStartsAtTheCurrentDirectory) {
    TestDirectory dir;
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.text());
    EXPECT_TRUE(makeDirectories("rel/one/"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("rel/one")));
    std::filesystem::current_path(saved);
}

}  // namespace
}  // namespace Quilna
