#include <gtest/gtest.h>

#include <filesystem>

#include "files/BasicFile.h"
#include "files/FileOps.h"
#include "files/FilePlain.h"
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

TEST(FileUtils, PathsUnderBothSyntaxesDrivesAndClampedStatusTimes) {
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
    for (auto [path, extension, rest] : extensions)
        EXPECT_EQ((std::pair{splitExtension(path), path}), std::pair(extension, rest));

    fake.driveTypes = {{"C:", DriveType::Fixed}, {"Q:", DriveType::Unknown}, {"N:", DriveType::NoRootDir}};
    for (const char* drive : {"C:", "C:\\", "C:/", "N:"}) EXPECT_TRUE(FileOps::exists(drive)) << drive;
    for (const char* drive : {"Q:\\", ""}) EXPECT_FALSE(FileOps::exists(drive)) << drive;

    // Status times outside the range are clamped; a missing file leaves the defaults.
    FileInfo& info = fake.files["/fake/file"];
    std::tie(info.exists, info.created, info.accessed, info.modified) =
        std::tuple(true, -100, int64_t(1) << 40, 1372680000);
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus("/fake/file", status));
    EXPECT_EQ(std::make_tuple(status.created.value(), status.accessed.value(), status.modified.value()),
              std::make_tuple(int64_t{0}, DateTime::largest, int64_t{1372680000}));
    status.size = 99;
    EXPECT_FALSE(FileOps::fileStatus("/fake/missing", status));
    EXPECT_EQ(std::make_tuple(status.exists, status.size, status.fullPath),
              std::make_tuple(false, uint64_t{0}, std::string()));
}

TEST(FileUtils, WriteRemoveAndMakeDirectories) {
    TestDirectory dir;
    const std::string path = dir.child("w.txt");
    ASSERT_TRUE(writeFile(path, "first version, long"));
    ASSERT_TRUE(writeFile(path, "second"));  // the longer content is gone
    EXPECT_EQ(dir.read("w.txt"), "second");

    // Read-only stays unless forced; then it is not found.
    ASSERT_TRUE(FileOps::setAttributes(path, FileAttribute::ReadOnly));
    EXPECT_EQ((std::vector<bool>{removeFile(path, false), removeFile(path, true), removeFile(path, true)}),
              (std::vector<bool>{false, true, false}));

    // The last component of a path without a trailing separator is a file name.
    ASSERT_TRUE(makeDirectories(dir.child("a/b/c/")) && makeDirectories(dir.child("x/y/file.txt")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("a/b/c")) && std::filesystem::is_directory(dir.child("x/y")));
    EXPECT_FALSE(std::filesystem::exists(dir.child("x/y/file.txt")));
    dir.write("blocker", "a file where a directory should go");
    std::string failed;
    EXPECT_FALSE(makeDirectories(dir.child("blocker/sub/deeper/"), &failed));
    EXPECT_EQ(failed, dir.child("blocker/sub"));
}

// The FileException code an action throws (-1: none), with its detail and one-line what().
template <typename Action>
int32_t thrownCode(Action action, std::string* detail = nullptr, std::string* what = nullptr) {
    try {
        action();
    } catch (const FileException& error) {
        if (detail) *detail = error.detail();
        if (what) *what = static_cast<const std::exception&>(error).what();
        return error.code();
    }
    return -1;
}

TEST(FilePlain, AccessCombinationsStatesAndText) {
    TestDirectory dir;
    FilePlain file(dir.write("f", "content\n"));
    // A write is to the file itself, without a lock file: rewrites through a copy are gone.
    for (uint16_t access : {FileBase::Read | FileBase::Truncate, FileBase::Read | FileBase::Create,
                            FileBase::Read | FileBase::Append, FileBase::Write | FileBase::Truncate | FileBase::Append,
                            0, FileBase::Write | FileBase::Direct, FileBase::Write | FileBase::NoLock})
        EXPECT_EQ(thrownCode([&] { file.open(access); }), FL_ACCESS_COMB) << access;
    FilePlain missing(dir.child("missing"));
    std::string detail, what;
    EXPECT_EQ(thrownCode([&] { missing.open(FileBase::Read); }, &detail, &what), FL_EXISTS_NOT);
    EXPECT_EQ(detail, dir.child("missing") + "-->File does not exist.");
    EXPECT_EQ(what, "File: File does not exist. (Code: 60.2) (" + detail + ")");
    file.open(FileBase::Read);
    EXPECT_EQ(thrownCode([&] { file.write("x"); }), FL_CANNOT_WRITE);
    file.close();
    EXPECT_EQ(thrownCode([&] { file.readLine(); }), FL_IS_CLOSED);

    // Only tab, carriage return and line feed are allowed controls.
    EXPECT_NO_THROW(file.checkText("a\tb\r\nc\xff"));
    for (const std::string& text : {std::string("page\fbreak"), std::string("nul\0", 4)})
        EXPECT_EQ(thrownCode([&] { file.checkText(text); }), 27);
}

// A write larger than the buffer goes to the system after the bytes pending; a full disk fails it.
TEST(BasicFile, LinesAndLargeWrites) {
    TestDirectory dir;
    FakePlatform fake;
    BasicFile file;
    ASSERT_TRUE(file.open(dir.write("lines", "one\r\ntw\ro\r\n\nlast"), BasicFile::Read));
    std::vector<std::string> lines;
    for (std::string line; file.readLine(line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "last"}));  // a last line without line feed counts
    EXPECT_EQ(file.error(), BasicFile::AlreadyAtEnd);
    EXPECT_FALSE(file.write("x"));
    EXPECT_EQ(file.error(), BasicFile::NotForWriting);
    file.close();
    EXPECT_TRUE(file.atEnd()) << "a closed file has nothing more to read";
    EXPECT_TRUE(file.open(dir.child("never"), BasicFile::Nothing));  // succeeds without opening anything

    BasicFile out;
    ASSERT_TRUE(out.open(dir.child("big"), BasicFile::Write));
    const std::string big(200000, 'x');
    ASSERT_TRUE(out.write("pending"));
    ASSERT_TRUE(out.write(big));
    EXPECT_EQ(dir.read("big"), "pending" + big);
    *fake.diskRoom = 1000;
    EXPECT_FALSE(out.write(big));
    EXPECT_EQ(out.error(), BasicFile::WriteFailed);
}

}  // namespace
}  // namespace Quilna
