// The native backend's files slice against a real temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/FileAttribute.h"
#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

using NativeTest::TempDir;
namespace fs = std::filesystem;

std::map<std::string, bool> byName(const std::vector<DirEntry>& entries) {
    std::map<std::string, bool> isFile;
    for (const DirEntry& entry : entries) isFile[entry.name] = entry.isFile;
    return isFile;
}

std::vector<std::string> namesOf(const std::vector<DirEntry>& entries) {
    std::vector<std::string> names;
    for (const DirEntry& entry : entries) names.push_back(entry.name);
    return names;
}

TEST(NativeFiles, PathSyntaxIsTheSystemsOwn) {
    const PathSyntax& syntax = platform().pathSyntax();
    EXPECT_EQ(syntax.separator, static_cast<char>(fs::path::preferred_separator));
    // Windows reads both separators, has drive letters and network paths and ignores case;
    // POSIX has none of these.
    const bool windows = syntax.separator == '\\';
    EXPECT_EQ(syntax.backslashIsSeparator, windows);
    EXPECT_EQ(syntax.driveLetters, windows);
    EXPECT_EQ(syntax.networkPaths, windows);
    EXPECT_EQ(syntax.caseInsensitive, windows);
}

TEST(NativeFiles, ListsEveryEntryWithTheDotEntriesInEnumerationOrder) {
    TempDir dir;
    dir.write("a.txt", "a");
    dir.write("b.dat", "bb");
    fs::create_directory(dir.path() / "sub");

    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*", entries));
    EXPECT_EQ(entries.size(), 5u);
    const auto isFile = byName(entries);
    ASSERT_EQ(isFile.size(), 5u) << "no name twice";
    EXPECT_FALSE(isFile.at("."));
    EXPECT_FALSE(isFile.at(".."));
    EXPECT_FALSE(isFile.at("sub"));
    EXPECT_TRUE(isFile.at("a.txt"));
    EXPECT_TRUE(isFile.at("b.dat"));

    // The order is the system's and stays the same for an unchanged directory, also when
    // the directory is written with its final separator.
    std::vector<DirEntry> again;
    ASSERT_TRUE(platform().listDirectory(dir.text() + platform().pathSyntax().separator, "*", again));
    EXPECT_EQ(namesOf(again), namesOf(entries));
}

// A directory held open lists its entries one at a time (a listing stopped goes on where it
// stopped), answers for them by name, and leads to its subdirectories and its parent, each told
// apart by identity.
TEST(NativeFiles, AnOpenDirectoryListsAnswersAndLeadsUpAndDown) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.log"}) dir.write(name, name);
    fs::create_directory(dir.path() / "sub");
    fs::create_directory(dir.path() / "other");
    const char separator = platform().pathSyntax().separator;

    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = platform().openDirectory(dir.text(), resolved, error);
    ASSERT_TRUE(top) << platform().errorText(error.code);
    ASSERT_EQ(resolved.back(), separator);
    EXPECT_TRUE(fs::equivalent(resolved.substr(0, resolved.size() - 1), dir.path())) << resolved;

    std::vector<DirEntry> listed;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*", listed));
    std::vector<DirEntry> visited;
    FileInfo info;
    int calls = 0;
    // Two entries, then the rest.
    ASSERT_EQ(top->readEntries([&](const DirEntry& entry) {
        visited.push_back(entry);
        return ++calls < 2;
    }), OpenDirectory::Listing::More);
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(top->readEntries([&](const DirEntry& entry) {
        visited.push_back(entry);
        // Asked while the listing is at the entry, and again afterwards: the same answer.
        if (entry.name == "c.log") {
            EXPECT_TRUE(top->entryInfo(entry.name, info));
        }
        return true;
    }), OpenDirectory::Listing::End);
    EXPECT_EQ(top->readEntries([](const DirEntry&) { return true; }), OpenDirectory::Listing::End);
    EXPECT_EQ(namesOf(visited), namesOf(listed));
    EXPECT_EQ(byName(visited), byName(listed));
    EXPECT_EQ(info.size, 5u);
    EXPECT_TRUE(info.fullPath.empty());
    FileInfo again;
    ASSERT_TRUE(top->entryInfo("c.log", again));
    EXPECT_EQ(again.size, info.size);
    EXPECT_EQ(again.modified, info.modified);
    EXPECT_FALSE(top->entryInfo("absent.txt", again));

    std::unique_ptr<OpenDirectory> sub = top->openSubdirectory("sub", error);
    ASSERT_TRUE(sub) << platform().errorText(error.code);
    std::unique_ptr<OpenDirectory> other = top->openSubdirectory("other", error);
    ASSERT_TRUE(other);
    std::unique_ptr<OpenDirectory> up = sub->openParent(error);
    ASSERT_TRUE(up);
    FileIdentity topId, subId, otherId, upId;
    ASSERT_TRUE(top->identity(topId) && sub->identity(subId) && other->identity(otherId) && up->identity(upId));
    EXPECT_EQ(upId, topId);
    EXPECT_FALSE(subId == otherId);
    EXPECT_FALSE(subId == topId);

    error = SystemError{};
    EXPECT_FALSE(top->openSubdirectory("a.txt", error)) << "a file is no directory";
    EXPECT_TRUE(error.failed());
    EXPECT_FALSE(top->openSubdirectory("missing", error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
    EXPECT_FALSE(top->openSubdirectory("..", error)) << "names only";
    EXPECT_FALSE(platform().openDirectory(dir.child("missing"), resolved, error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
}

TEST(NativeFiles, ListingFiltersByPatternAndReportsMissingDirectories) {
    TempDir dir;
    dir.write("report.txt", "r");
    dir.write("report.csv", "c");
    dir.write("notes.txt", "n");

    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*.txt", entries));
    std::vector<std::string> names = namesOf(entries);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "report.txt"}));

    ASSERT_TRUE(platform().listDirectory(dir.text(), "report.???", entries));
    EXPECT_EQ(entries.size(), 2u);

    // An existing directory without a match lists nothing; a missing one fails.
    EXPECT_TRUE(platform().listDirectory(dir.text(), "*.none", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(platform().listDirectory(dir.child("missing"), "*", entries));
    EXPECT_TRUE(entries.empty());
}

TEST(NativeFiles, FileInfoOfAFileGivesItsSizeTimesAndFullPath) {
    TempDir dir;
    const int64_t before = platform().now();
    const std::string path = dir.write("data.bin", std::string(12345, 'x'));
    // 2001-02-03T04:05:06Z
    const std::chrono::sys_seconds written{std::chrono::seconds{981173106}};
    fs::last_write_time(path, std::chrono::file_clock::from_sys(written));

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(path, info));
    EXPECT_TRUE(info.exists);
    EXPECT_EQ(info.size, 12345u);
    EXPECT_EQ(info.fullPath, path);
    EXPECT_EQ(info.modified, 981173106);
    // Read just now. Creation is now on most systems, but some report the write time for it.
    EXPECT_GE(info.accessed, before - 5);
    EXPECT_GE(info.created, 981173106);
    EXPECT_LE(info.created, platform().now() + 5);
    EXPECT_EQ(info.attributes & (FileAttribute::Directory | FileAttribute::Link | FileAttribute::ReadOnly), 0);
    EXPECT_NE(info.attributes, 0) << "a plain file carries at least Normal or Archive";
}

TEST(NativeFiles, FileInfoOfADirectoryHasSizeZero) {
    TempDir dir;
    const std::string sub = dir.child("sub");
    fs::create_directory(sub);
    dir.write("sub/inner.txt", "some bytes");

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(sub, info));
    EXPECT_TRUE(info.exists);
    EXPECT_TRUE(info.attributes & FileAttribute::Directory);
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(info.fullPath, sub);
    EXPECT_GT(info.modified, 0);
}

TEST(NativeFiles, FileInfoRefusesMissingEmptyAndWildcardPaths) {
    TempDir dir;
    dir.write("present.txt", "p");
    FileInfo info;
    info.exists = true;
    EXPECT_FALSE(platform().fileInfo(dir.child("absent.txt"), info));
    EXPECT_FALSE(info.exists);
    EXPECT_FALSE(platform().fileInfo("", info));
    EXPECT_FALSE(platform().fileInfo(dir.child("present.*"), info)) << "a pattern names no file";
    EXPECT_FALSE(platform().fileInfo(dir.child("pre?ent.txt"), info));
}

TEST(NativeFiles, ReadOnlyAttributeRoundTrip) {
    TempDir dir;
    const std::string path = dir.write("guarded.txt", "g");
    FileInfo info;

    ASSERT_TRUE(platform().setAttributes(path, FileAttribute::ReadOnly));
    ASSERT_TRUE(platform().fileInfo(path, info));
    EXPECT_TRUE(info.attributes & FileAttribute::ReadOnly);

    ASSERT_TRUE(platform().setAttributes(path, FileAttribute::Normal));
    ASSERT_TRUE(platform().fileInfo(path, info));
    EXPECT_FALSE(info.attributes & FileAttribute::ReadOnly);
    EXPECT_FALSE(platform().setAttributes(dir.child("absent.txt"), FileAttribute::Normal));
}

TEST(NativeFiles, TheCurrentDirectoryCompletesRelativeNames) {
    TempDir dir;
    NativeTest::CurrentDirectoryGuard restore;  // left before the directory is removed
    dir.write("here.txt", "h");

    fs::current_path(dir.path());
    std::string current;
    ASSERT_TRUE(platform().currentDirectory(current));
    EXPECT_TRUE(fs::equivalent(current, dir.path())) << current;
    EXPECT_NE(current.back(), platform().pathSyntax().separator) << "no final separator";

    // A relative name is completed with the current directory.
    FileInfo info;
    ASSERT_TRUE(platform().fileInfo("here.txt", info));
    EXPECT_EQ(fs::path(info.fullPath).filename(), "here.txt");
    EXPECT_TRUE(fs::equivalent(fs::path(info.fullPath).parent_path(), dir.path())) << info.fullPath;
}

TEST(NativeFiles, CopyMoveAndDeleteKeepOrReplaceAsAsked) {
    TempDir dir;
    const std::string first = dir.write("first.txt", "first");
    const std::string second = dir.write("second.txt", "second, longer");
    const std::string copy = dir.child("copy.txt");
    const std::string moved = dir.child("moved.txt");
    FileInfo info;

    EXPECT_TRUE(platform().copyFile(first, copy, false));
    EXPECT_FALSE(platform().copyFile(second, copy, false)) << "an existing file is kept";
    ASSERT_TRUE(platform().fileInfo(copy, info));
    EXPECT_EQ(info.size, 5u);
    EXPECT_TRUE(platform().copyFile(second, copy, true));
    ASSERT_TRUE(platform().fileInfo(copy, info));
    EXPECT_EQ(info.size, 14u);
    EXPECT_TRUE(platform().fileInfo(second, info)) << "the source of a copy stays";

    EXPECT_TRUE(platform().moveFile(copy, moved, false));
    EXPECT_FALSE(platform().fileInfo(copy, info));
    EXPECT_FALSE(platform().moveFile(first, moved, false)) << "no replace without being asked";
    EXPECT_TRUE(platform().fileInfo(first, info));
    EXPECT_TRUE(platform().moveFile(first, moved, true));
    EXPECT_FALSE(platform().fileInfo(first, info));
    ASSERT_TRUE(platform().fileInfo(moved, info));
    EXPECT_EQ(info.size, 5u);

    EXPECT_TRUE(platform().deleteFile(moved));
    EXPECT_FALSE(platform().deleteFile(moved));
    EXPECT_FALSE(platform().copyFile(moved, copy, true)) << "nothing to copy";
}

TEST(NativeFiles, CreateDirectoryMakesOneLevel) {
    TempDir dir;
    const std::string made = dir.child("made");
    EXPECT_TRUE(platform().createDirectory(made));
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_FALSE(platform().createDirectory(made)) << "it exists already";
    EXPECT_FALSE(platform().createDirectory((fs::path(made) / "a" / "b").string())) << "one level only";
}

TEST(NativeFiles, SyncFileFlushesExistingFilesOnly) {
    TempDir dir;
    EXPECT_TRUE(platform().syncFile(dir.write("result.data", "records\n")));
    EXPECT_FALSE(platform().syncFile(dir.child("absent.data")));
}

}  // namespace
}  // namespace Quilna
