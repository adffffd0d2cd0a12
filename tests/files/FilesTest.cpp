#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/BasicFile.h"
#include "files/FileOps.h"
#include "files/FilePlain.h"
#include "files/FileUtils.h"
#include "files/LockFile.h"
#include "support/FakePlatform.h"
#include "support/ProcessWideBackend.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using namespace FileUtils;
using TestSupport::TestDirectory;

// Every path function's answer for a path, as "with-separator|normalised|stripped|file|directory|valid".
std::string pathFacts(const PathSyntax& syntax, std::string path) {
    std::string withSeparator = path, normalised = path, stripped = path;
    addSeparator(syntax, withSeparator);
    normaliseSeparators(syntax, normalised);
    stripSeparators(syntax, stripped);
    return withSeparator + "|" + normalised + "|" + stripped + "|" + fileName(syntax, path) + "|" +
           directoryName(syntax, path) + "|" + (isValidFileName(syntax, path) ? "valid" : "invalid");
}

TEST(FileUtils, PathsUnderBothSyntaxesDrivesAndClampedStatusTimes) {
    const PathSyntax posixSyntax{'/', false, false, false, false};
    const std::vector<std::pair<const char*, const char*>> posix{
        {"", "|||||valid"},
        {"/data", "/data/|/data|/data|data|/|valid"},
        {"/a//b///c", "/a//b///c/|/a/b/c|/a//b///c|c|/a//b///|valid"},
        {"/data//", "/data//|/data/|/data||/data//|invalid"},
        {"//", "//|//|/||//|invalid"},                 // the root stays the root
        {"dir\\", "dir\\/|dir\\|dir\\|dir\\||valid"},  // a backslash is a name character
        {"a*b", "a*b/|a*b|a*b|a*b||invalid"},
    };
    for (const auto& [path, facts] : posix) EXPECT_EQ(pathFacts(posixSyntax, path), facts) << path;

    const PathSyntax windowsSyntax = FakePlatform::windowsSyntax();
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
    for (const auto& [path, facts] : windows) EXPECT_EQ(pathFacts(windowsSyntax, path), facts) << path;

    // Only a dot of the file name starts an extension.
    const std::vector<std::tuple<std::string, std::string, std::string>> extensions{
        {"/var/log/a.log", "log", "/var/log/a"},
        {"/var/logs.d/run", "", "/var/logs.d/run"},
        {"noext", "", "noext"},
        {"archive.tar.gz", "gz", "archive.tar"}};
    for (auto [path, extension, rest] : extensions)
        EXPECT_EQ((std::pair{splitExtension(posixSyntax, path), path}), std::pair(extension, rest));

    FakePlatform fake;
    fake.syntax = windowsSyntax;
    fake.driveTypes = {{"C:", DriveType::Fixed}, {"Q:", DriveType::Unknown}, {"N:", DriveType::NoRootDir}};
    for (const char* drive : {"C:", "C:\\", "C:/", "N:"}) EXPECT_TRUE(FileOps::exists(fake, fake, drive)) << drive;
    for (const char* drive : {"Q:\\", ""}) EXPECT_FALSE(FileOps::exists(fake, fake, drive)) << drive;

    // Status times outside the range are clamped; a missing file leaves the defaults.
    FileInfo& info = fake.files["/fake/file"];
    std::tie(info.exists, info.created, info.accessed, info.modified) =
        std::tuple(true, -100, int64_t(1) << 40, 1372680000);
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus(fake, "/fake/file", status));
    EXPECT_EQ(std::make_tuple(status.created, status.accessed, status.modified),
              std::make_tuple(int64_t{0}, int64_t{DateTime::largest}, int64_t{1372680000}));
    status.size = 99;
    EXPECT_FALSE(FileOps::fileStatus(fake, "/fake/missing", status));
    EXPECT_EQ(std::make_tuple(status.exists, status.size, status.fullPath),
              std::make_tuple(false, uint64_t{0}, std::string()));
}

TEST(FileUtils, WriteRemoveAndMakeDirectories) {
    TestDirectory dir;
    NativePlatform native;
    const std::string path = dir.child("w.txt");
    ASSERT_TRUE(writeFile(native, path, "first version, long"));
    ASSERT_TRUE(writeFile(native, path, "second"));  // the longer content is gone
    EXPECT_EQ(dir.read("w.txt"), "second");

    // Read-only stays unless forced; then it is not found.
    ASSERT_TRUE(FileOps::setAttributes(native, path, FileAttribute::ReadOnly));
    EXPECT_EQ((std::vector<bool>{removeFile(native, path, false), removeFile(native, path, true),
                                 removeFile(native, path, true)}),
              (std::vector<bool>{false, true, false}));

    // The last component of a path without a trailing separator is a file name.
    ASSERT_TRUE(makeDirectories(native, native, dir.child("a/b/c/")) &&
                makeDirectories(native, native, dir.child("x/y/file.txt")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.child("a/b/c")) && std::filesystem::is_directory(dir.child("x/y")));
    EXPECT_FALSE(std::filesystem::exists(dir.child("x/y/file.txt")));
    dir.write("blocker", "a file where a directory should go");
    std::string failed;
    EXPECT_FALSE(makeDirectories(native, native, dir.child("blocker/sub/deeper/"), &failed));
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
    NativePlatform native;
    FilePlain file(native, dir.write("f", "content\n"));
    for (uint16_t access :
         {FileBase::Read | FileBase::Truncate, FileBase::Read | FileBase::Create, FileBase::Read | FileBase::Append,
          FileBase::Write | FileBase::Truncate | FileBase::Append, 0})
        EXPECT_EQ(thrownCode([&] { file.open(access); }), FL_ACCESS_COMB) << access;
    FilePlain missing(native, dir.child("missing"));
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

std::vector<std::string> linesOf(FileSystem& files, const std::string& path) {
    std::vector<std::string> lines;
    BasicFile file(files);
    std::string line;
    if (!file.open(path, BasicFile::Read)) return lines;
    while (file.readLine(line)) lines.push_back(line);
    return lines;
}

bool exists(Platform& system, const std::string& path) { return FileOps::exists(system, system, path); }

class LockFileTest : public ::testing::Test {
protected:
    LockFileTest() { fake.clock = 1372680000; }  // 2013-07-01T12:00:00Z
    std::vector<std::string> lockLines() { return linesOf(fake, path + ".lock"); }

    TestDirectory dir;
    FakePlatform fake;
    ProcessWideBackend installed{fake};  // a lock expires by the process's clock
    const std::string path = dir.write("protected", "content");
};

TEST_F(LockFileTest, FourLinesOfTakenValidTokenAndHolding) {
    LockFile lock(fake, fake, path);
    ASSERT_TRUE(lock.lock(TimeSpan(30), true));
    auto lines = lockLines();
    ASSERT_EQ(lines.size(), 4u);
    const std::string token = lines[2];  // a time stamp and ten printable characters
    ASSERT_EQ(token.size(), 26u);
    for (char c : token.substr(16)) EXPECT_TRUE(c >= 0x20 && c <= 0x7D) << int(c);
    lines[2].resize(16);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"20130701T120000Z", "20130701T120030Z", "20130701T120000Z", "original"}));
    EXPECT_EQ(dir.read("protected"), "content");  // holding it changes nothing
    EXPECT_FALSE(lock.lock(TimeSpan(30), true));  // already there
    EXPECT_TRUE(lock.unlock());
    EXPECT_FALSE(exists(fake, path + ".lock"));

    // Made in the same second, still another token: one must never take the other's lock for its own.
    LockFile plain(fake, fake, path);
    ASSERT_TRUE(plain.lock(TimeSpan(5), false));
    EXPECT_EQ(lockLines()[3], "missing");
    EXPECT_NE(lockLines()[2], token);
    EXPECT_TRUE(plain.unlock());
    // No lock is left when it cannot be made whole: no directory, a full disk, an original not to be held.
    EXPECT_FALSE(LockFile(fake, fake, dir.child("no/dir/file")).lock(TimeSpan(30), false));
    *fake.diskRoom = 10;
    EXPECT_FALSE(LockFile(fake, fake, path).lock(TimeSpan(30), false));
    fake.diskRoom->reset();
    std::filesystem::create_directory(dir.child("directory"));
    EXPECT_FALSE(LockFile(fake, fake, dir.child("directory")).lock(TimeSpan(30), true));
    EXPECT_FALSE(exists(fake, path + ".lock") || exists(fake, dir.child("directory.lock")));
}

TEST_F(LockFileTest, AForeignLockHoldsUntilItExpiresAndNoLaterLockIsRemovedByAnEarlierReader) {
    LockFile slow(fake, fake, path);
    ASSERT_TRUE(slow.lock(TimeSpan(30), false));
    LockFile other(fake, fake, path);
    EXPECT_FALSE(other.lock(TimeSpan(30), false));
    *fake.clock += 29;
    EXPECT_FALSE(other.unlock());
    *fake.clock += 1;
    LockFile late(fake, fake, path);  // read the expired lock, like other
    EXPECT_TRUE(other.unlock());      // expired: cleared, though its holder still runs
    ASSERT_TRUE(other.lock(TimeSpan(30), false));
    const std::string token = lockLines()[2];
    // Neither the slow holder's release nor a writer that read the expired lock earlier removes
    // the lock that now belongs to the next writer.
    EXPECT_TRUE(slow.unlock());
    EXPECT_FALSE(late.unlock());
    EXPECT_EQ(lockLines()[2], token);
    EXPECT_FALSE(LockFile(fake, fake, path).lock(TimeSpan(30), false));
    EXPECT_TRUE(other.unlock());
    EXPECT_FALSE(exists(fake, path + ".lock"));

    // A lock taken since this object was made is not overwritten.
    LockFile before(fake, fake, path);
    LockFile early(fake, fake, path);
    ASSERT_TRUE(early.lock(TimeSpan(30), false));
    EXPECT_FALSE(before.lock(TimeSpan(30), false));
    EXPECT_FALSE(before.unlock());
    EXPECT_TRUE(early.unlock());
}

// The stamps are UTC whatever the process zone; damaged lock files count as expired.
TEST_F(LockFileTest, ForeignLockFilesAreReadInUtcAndDamagedOnesExpire) {
    fake.environment["QUILNA_TZ"] = "-05:00";
    DateTime::resetProcessZone();
    const std::vector<std::pair<std::string, bool>> cases{
        {"20130701T115900Z\n20130701T120001Z\nsomebody else\nmissing\n", true},
        {"20130701T115900Z\n20130701T120000Z\nsomebody else\nmissing\n", false},
        {"", false},
        {"garbage\n\xff\xfe\n", false},
    };
    for (const auto& [content, live] : cases) {
        dir.write("protected.lock", content);
        LockFile lock(fake, fake, path);
        EXPECT_TRUE(lock.isPresent());
        EXPECT_EQ(lock.unlock(), !live) << content;
        EXPECT_EQ(exists(fake, path + ".lock"), live) << content;
    }
    dir.write("protected.lock", cases[1].first);
    LockFile gone(fake, fake, path);  // cleared by someone else in the meantime
    std::filesystem::remove(path + ".lock");
    EXPECT_TRUE(gone.unlock());
    fake.environment.erase("QUILNA_TZ");
    DateTime::resetProcessZone();
}

TEST(FilePlain, TheOriginalStaysUntilCloseReplacesItByTheCopy) {
    TestDirectory dir;
    NativePlatform native;
    const std::string path = dir.write("conf", "old line\n");
    FilePlain file(native, path);
    file.open(FileBase::Read | FileBase::Write | FileBase::Truncate);
    file.writeLine("new line");
    file.flush();
    EXPECT_EQ(dir.read("conf"), "old line\n");
    EXPECT_EQ(dir.read("conf.tmp"), "new line\n");
    file.close();
    EXPECT_EQ(dir.read("conf"), "new line\n");
    EXPECT_FALSE(exists(native, path + ".tmp") || exists(native, path + ".lock"));

    // The copy starts as the original (a copy left by a dead writer is not used): appending keeps the old content.
    dir.write("conf.tmp", "left behind\n");
    file.open(FileBase::Write | FileBase::Append);
    file.write("more\n");
    EXPECT_EQ(dir.read("conf"), "new line\n");
    file.close();
    EXPECT_EQ(dir.read("conf"), "new line\nmore\n");

    // A discard, or a writer unwound by an exception, leaves the original; a new file is gone again.
    file.open(FileBase::Write);
    file.writeLine("throw me away");
    file.discard();
    EXPECT_EQ(thrownCode([&] { file.write("x"); }), FL_IS_CLOSED);
    EXPECT_THROW(
        {
            FilePlain unwound(native, path);
            FilePlain direct(native, dir.child("direct"));
            unwound.open(FileBase::Write);
            unwound.write("half");
            direct.open(FileBase::Write | FileBase::Direct);
            direct.write("whole");
            throw std::runtime_error("the writer fails");
        },
        std::runtime_error);
    EXPECT_EQ(dir.read("conf"), "new line\nmore\n");
    EXPECT_EQ(dir.read("direct"), "whole");  // a direct write is in the file already
    {
        FilePlain dropped(native, dir.child("dropped"));
        dropped.open(FileBase::Write);
        dropped.write("closed by its destructor");
    }
    EXPECT_EQ(dir.read("dropped"), "closed by its destructor");
    EXPECT_FALSE(exists(native, path + ".tmp") || exists(native, path + ".lock"));
    for (uint16_t direct : {0, int(FileBase::Direct)}) {
        FilePlain fresh(native, dir.child("fresh"));
        fresh.open(FileBase::Write | direct);
        fresh.writeLine("x");
        fresh.discard();
        EXPECT_FALSE(exists(native, dir.child("fresh")) || exists(native, dir.child("fresh.tmp"))) << direct;
    }
}

TEST(FilePlain, ASecondWriterIsRefusedUntilTheLockIsReleasedOrExpired) {
    TestDirectory dir;
    FakePlatform fake;
    ProcessWideBackend installed{fake};  // a lock expires by the process's clock
    fake.clock = 1372680000;             // 2013-07-01T12:00:00Z
    const std::string path = dir.write("shared", "base\n");
    FilePlain first(fake, path), second(fake, path), reader(fake, path);
    first.open(FileBase::Write | FileBase::Append | FileBase::Direct);
    first.write("first\n");
    EXPECT_EQ(thrownCode([&] { second.open(FileBase::Write | FileBase::Append); }), FL_IS_LOCKED);
    EXPECT_NO_THROW(reader.open(FileBase::Read));  // readers take no lock
    reader.close();                                // on Windows an open reader keeps the file from being replaced
    first.close();
    second.open(FileBase::Write | FileBase::Append);
    second.write("second\n");
    second.close();
    EXPECT_EQ(dir.read("shared"), "base\nfirst\nsecond\n");

    // A dead writer's lock holds until it expires.
    dir.write("shared.lock", "20130701T115950Z\n20130701T120020Z\nsomebody else\nmissing\n");
    EXPECT_EQ(thrownCode([&] { second.open(FileBase::Write | FileBase::Append); }), FL_IS_LOCKED);
    *fake.clock += 30;
    second.open(FileBase::Write | FileBase::Append);
    second.write("after\n");
    // A write that fails only at close leaves the original, without copy or lock.
    *fake.diskRoom = 0;
    EXPECT_EQ(thrownCode([&] { second.close(); }), FL_CANNOT_CLOSE);
    EXPECT_EQ(dir.read("shared"), "base\nfirst\nsecond\n");
    EXPECT_FALSE(exists(fake, path + ".lock") || exists(fake, path + ".tmp"));
}

TEST(FilePlain, AFailedReplaceThrowsRenameAfterItsRetriesAndKeepsTheCopy) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;
    const std::string path = dir.write("target", "old");
    FilePlain file(fake, path);
    file.open(FileBase::Write);
    file.write("new");
    // Make the final rename impossible. Where an open file can be removed, a non-empty
    // directory takes its place; where it cannot (Windows), a reader that does not share
    // deletion keeps the file.
    std::ifstream reader;
    std::error_code removal;
    if (std::filesystem::remove(path, removal)) {
        std::filesystem::create_directories(path + "/inside");
    } else {
        reader.open(path, std::ios::binary);
        ASSERT_TRUE(reader.is_open());
    }
    std::string detail;
    EXPECT_EQ(thrownCode([&] { file.close(); }, &detail), FL_RENAME);
    EXPECT_EQ(detail, "Failed to update the file \"" + path + "\"");
    // Ten replace attempts of six renames each, all on the fake clock.
    EXPECT_EQ(*fake.clock, 1372680000 + 10 * 10 + 9 * 2);
    EXPECT_EQ(dir.read("target.tmp"), "new");
    EXPECT_FALSE(exists(fake, path + ".lock"));
}

#ifndef _WIN32
// Nothing is written through a link, and what is written is not readable by others.
TEST(FilePlain, LinksAreRefusedAndCopiesAreNotReadableByOthers) {
    namespace fs = std::filesystem;
    TestDirectory dir;
    NativePlatform native;
    const std::string secret = dir.write("secret", "keep");
    const std::string path = dir.write("conf", "old");
    fs::permissions(path, fs::perms::all);
    dir.write("conf.tmp", "left");
    fs::permissions(dir.child("conf.tmp"), fs::perms::all);
    FilePlain file(native, path);
    file.open(FileBase::Write | FileBase::Append);
    file.close();
    EXPECT_EQ(dir.read("conf"), "old");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_all, fs::perms::none);

    fs::create_symlink(secret, dir.child("linked"));
    FilePlain linked(native, dir.child("linked"));
    EXPECT_EQ(thrownCode([&] { linked.open(FileBase::Write | FileBase::Append); }), FL_CANNOT_OPEN);
    EXPECT_EQ(dir.read("secret"), "keep");
    EXPECT_TRUE(fs::is_symlink(dir.child("linked")));
}
#endif

// A write larger than the buffer goes to the system after the bytes pending; a full disk fails it.
TEST(BasicFile, LinesAndLargeWrites) {
    TestDirectory dir;
    FakePlatform fake;
    BasicFile file(fake);
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

    BasicFile out(fake);
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
