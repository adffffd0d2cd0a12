// The POSIX file slice: status, listing, current directory and file operations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

struct stat lstatOf(const std::string& path) {
    struct stat facts {};
    ::lstat(path.c_str(), &facts);
    return facts;
}

std::vector<std::string> readdirOrder(const std::string& directory) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(directory.c_str());
    while (struct dirent* entry = ::readdir(listing)) names.emplace_back(entry->d_name);
    ::closedir(listing);
    return names;
}

TEST(PosixFileInfo, RegularFileGivesEveryFactFromOneStatus) {
    TestDirectory dir;
    std::string path = dir.write("data.bin", std::string(5000, 'x'));
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    struct stat facts = lstatOf(path);

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(path, info));
    EXPECT_TRUE(info.exists);
    EXPECT_EQ(info.fullPath, path);
    EXPECT_EQ(info.size, 5000u);
    EXPECT_EQ(info.attributes, FileAttribute::Normal);
    EXPECT_EQ(info.accessed, 1000000000);
    EXPECT_EQ(info.modified, 1200000000);
    EXPECT_GT(info.created, 1200000000);  // birth or change time: now, not the set times
    ASSERT_TRUE(info.hasAllocated);
    EXPECT_EQ(info.allocated, static_cast<uint64_t>(facts.st_blocks) * 512);
    ASSERT_TRUE(info.hasOwnerId);
    EXPECT_EQ(info.ownerId, facts.st_uid);
    ASSERT_TRUE(info.hasIdentity);
    EXPECT_EQ(info.identity, (FileIdentity{facts.st_dev, facts.st_ino}));
}

TEST(PosixFileInfo, AttributesFollowTheFileKindModeAndName) {
    TestDirectory dir;
    ASSERT_EQ(::mkdir(dir.child("sub").c_str(), 0755), 0);
    dir.write(".hidden", "h");
    std::string readOnly = dir.write("ro", "r");
    ::chmod(readOnly.c_str(), 0444);
    ASSERT_EQ(::symlink(dir.child("sub").c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.child("pipe").c_str(), 0644), 0);
    int sparse = ::open(dir.child("sparse").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(sparse, 64 << 20), 0);
    ::close(sparse);

    auto attributesOf = [&](const std::string& name) {
        FileInfo info;
        EXPECT_TRUE(platform().fileInfo(dir.child(name), info)) << name;
        return info.attributes;
    };
    EXPECT_EQ(attributesOf("sub"), FileAttribute::Directory);
    EXPECT_EQ(attributesOf(".hidden"), FileAttribute::Hidden);
    EXPECT_EQ(attributesOf("ro"), FileAttribute::ReadOnly);
    // The link itself, never what it points to.
    EXPECT_EQ(attributesOf("link"), FileAttribute::Link);
    EXPECT_EQ(attributesOf("pipe"), FileAttribute::System);
    EXPECT_EQ(attributesOf("sparse"), FileAttribute::Sparse);

    FileInfo directory;
    ASSERT_TRUE(platform().fileInfo(dir.child("sub"), directory));
    EXPECT_EQ(directory.size, 0u);
    FileInfo sparseInfo;
    ASSERT_TRUE(platform().fileInfo(dir.child("sparse"), sparseInfo));
    EXPECT_EQ(sparseInfo.size, uint64_t(64) << 20);
    EXPECT_LT(sparseInfo.allocated, sparseInfo.size);
}

TEST(PosixFileInfo, BadPathsAreNotFoundAndLeaveAnEmptyRecord) {
    TestDirectory dir;
    std::string file = dir.write("f", "1");
    ASSERT_EQ(::mkdir(dir.child("d").c_str(), 0755), 0);
    FileInfo info;
    info.size = 7;
    EXPECT_FALSE(platform().fileInfo("", info));
    EXPECT_FALSE(info.exists);
    EXPECT_EQ(info.size, 0u);
    EXPECT_FALSE(platform().fileInfo(dir.child("missing"), info));
    EXPECT_FALSE(platform().fileInfo(dir.child("missing/deeper"), info));
    EXPECT_FALSE(platform().fileInfo(file + "/", info));
    // A trailing separator names no file, not even a directory (it would follow links).
    EXPECT_FALSE(platform().fileInfo(dir.child("d") + "/", info));
    EXPECT_FALSE(platform().fileInfo(std::string("f\0g", 3), info));
    EXPECT_TRUE(platform().fileInfo("/", info));
    EXPECT_TRUE(info.attributes & FileAttribute::Directory);
    // "*" and "?" are ordinary name characters here.
    dir.write("a*?b", "w");
    EXPECT_TRUE(platform().fileInfo(dir.child("a*?b"), info));
    EXPECT_FALSE(platform().fileInfo(dir.child("a*"), info));
}

TEST(PosixFileInfo, FullPathJoinsTheCurrentDirectoryWithoutResolvingLinks) {
    NativeTest::CurrentDirectoryGuard restore;
    TestDirectory dir;
    ASSERT_EQ(::mkdir(dir.child("real").c_str(), 0755), 0);
    dir.write("real/file", "x");
    ASSERT_EQ(::symlink("real", dir.child("alias").c_str()), 0);
    std::filesystem::current_path(dir.text());

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo("alias/file", info));
    EXPECT_EQ(info.fullPath, dir.child("alias/file"));
    ASSERT_TRUE(platform().fileInfo("./real//../real/file", info));
    EXPECT_EQ(info.fullPath, dir.child("real/file"));
    ASSERT_TRUE(platform().fileInfo(".", info));
    EXPECT_EQ(info.fullPath, dir.text());
    EXPECT_EQ(info.attributes, FileAttribute::Directory);  // "." is not hidden
}

// Paths far longer than the system takes whole: the walk goes down and up through descriptors,
// and a link in a directory's place is never followed.
TEST(PosixOpenDirectory, ReachesBeyondTheLongestPathAndRefusesLinks) {
    TestDirectory dir;
    ASSERT_EQ(::mkdir(dir.child("real").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("real", dir.child("alias").c_str()), 0);
    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = platform().openDirectory(dir.text() + "/alias/..", resolved, error);
    ASSERT_TRUE(top) << platform().errorText(error.code);
    EXPECT_EQ(resolved, dir.text() + "/") << "the root as the system resolves it";
    EXPECT_FALSE(top->openSubdirectory("alias", error)) << "a link is not followed";

    const std::string level(120, 'd');
    const int depth = 40;  // 4,840 bytes below the test directory
    int at = ::open(dir.child("real").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < depth && at >= 0; ++i) {
        ASSERT_EQ(::mkdirat(at, level.c_str(), 0755), 0) << i;
        const int below = ::openat(at, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(at);
        at = below;
    }
    ASSERT_GE(at, 0);
    ASSERT_EQ(::close(::openat(at, "file", O_CREAT | O_WRONLY | O_CLOEXEC, 0644)), 0);
    ::close(at);

    std::vector<std::unique_ptr<OpenDirectory>> path;
    path.push_back(top->openSubdirectory("real", error));
    for (int i = 0; i < depth && path.back(); ++i) path.push_back(path.back()->openSubdirectory(level, error));
    ASSERT_TRUE(path.back());
    FileInfo info;
    ASSERT_TRUE(path.back()->entryInfo("file", info));
    EXPECT_TRUE(info.exists);
    std::unique_ptr<OpenDirectory> up = path.back()->openParent(error);
    ASSERT_TRUE(up);
    FileIdentity upId, parentId;
    ASSERT_TRUE(up->identity(upId) && path[path.size() - 2]->identity(parentId));
    EXPECT_EQ(upId, parentId);
    // The removal of the test directory goes by paths, which the chain outgrows.
    const std::string command = "rm -rf '" + dir.child("real") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(PosixListDirectory, GivesEveryEntryInEnumerationOrderWithDirectoryFlags) {
    TestDirectory dir;
    for (const char* name : {"b.txt", "a.txt", "c.log", ".dot", "ABC.TXT"}) dir.write(name, name);
    ASSERT_EQ(::mkdir(dir.child("sub.txt").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(dir.child("sub.txt").c_str(), dir.child("dirlink").c_str()), 0);

    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*", entries));
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    EXPECT_EQ(names, readdirOrder(dir.text()));
    ASSERT_EQ(entries.size(), 9u);
    for (const auto& entry : entries) {
        bool directory = entry.name == "." || entry.name == ".." || entry.name == "sub.txt";
        EXPECT_EQ(entry.isFile, !directory) << entry.name;  // the link to a directory is a file
    }

    ASSERT_TRUE(platform().listDirectory(dir.text() + "/", "*.txt", entries));
    std::set<std::string> matched;
    for (const auto& entry : entries) matched.insert(entry.name);
    EXPECT_EQ(matched, (std::set<std::string>{"a.txt", "b.txt", "sub.txt"}));  // case-sensitive

    ASSERT_TRUE(platform().listDirectory(dir.text(), "?.*", entries));
    EXPECT_EQ(entries.size(), 4u);  // a.txt, b.txt, c.log and ".." (one character, a dot, the rest)
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*b*", entries));
    EXPECT_EQ(entries.size(), 2u);  // b.txt and sub.txt, not ABC.TXT
    ASSERT_TRUE(platform().listDirectory(dir.text(), "nothing*", entries));
    EXPECT_TRUE(entries.empty());
    ASSERT_TRUE(platform().listDirectory(dir.text(), "", entries));
    EXPECT_TRUE(entries.empty());
}

TEST(PosixListDirectory, FailsCleanlyForWhatCannotBeListed) {
    TestDirectory dir;
    std::string file = dir.write("plain", "p");
    std::vector<DirEntry> entries{DirEntry{"stale", true}};
    EXPECT_FALSE(platform().listDirectory(dir.child("missing"), "*", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(platform().listDirectory(file, "*", entries));
    EXPECT_FALSE(platform().listDirectory(std::string("a\0b", 3), "*", entries));
}

TEST(PosixListDirectory, ManyEntriesAreListedInLinearTime) {
    TestDirectory dir;
    constexpr int count = 20000;
    std::string base = dir.text() + "/entry-";
    for (int i = 0; i < count; ++i) {
        int fd = ::open((base + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    std::vector<DirEntry> entries;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform().listDirectory(dir.text(), "entry-*9", entries));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(entries.size(), static_cast<size_t>(count / 10));
    // Generous: a quadratic listing would take minutes, a linear one a few milliseconds.
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(PosixFileOperations, CopyKeepsContentModeAndTimesAndRefusesWhatItMustNot) {
    TestDirectory dir;
    std::string source = dir.write("source", "content");
    ::chmod(source.c_str(), 0640);
    struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
    ::utimensat(AT_FDCWD, source.c_str(), times, 0);

    ASSERT_TRUE(platform().copyFile(source, dir.child("copy"), false));
    EXPECT_EQ(dir.read("copy"), "content");
    EXPECT_EQ(lstatOf(dir.child("copy")).st_mode & 07777, 0640u);
    EXPECT_EQ(lstatOf(dir.child("copy")).st_mtime, 1100000000);

    dir.write("other", "older and longer");
    EXPECT_FALSE(platform().copyFile(source, dir.child("other"), false));
    EXPECT_EQ(dir.read("other"), "older and longer");
    ASSERT_TRUE(platform().copyFile(source, dir.child("other"), true));
    EXPECT_EQ(dir.read("other"), "content");

    // Onto itself: refused, and the content survives.
    EXPECT_FALSE(platform().copyFile(source, source, true));
    EXPECT_EQ(dir.read("source"), "content");
    ::mkdir(dir.child("d").c_str(), 0755);
    EXPECT_FALSE(platform().copyFile(dir.child("d"), dir.child("d2"), false));
    EXPECT_FALSE(platform().copyFile(dir.child("missing"), dir.child("m2"), true));
    EXPECT_NE(::access(dir.child("m2").c_str(), F_OK), 0);
    EXPECT_FALSE(platform().copyFile(source, dir.child("no/such/dir"), true));
    EXPECT_FALSE(platform().copyFile("", dir.child("x"), true));
}

// Every way of writing a file: new files are readable by owner and group only (whatever the
// umask), and a link, a fifo or another user's file at the name is refused untouched, as is a
// directory that other users may write in.
TEST(PosixFileOperations, WritingNeverFollowsALinkNorTouchesWhatIsNotTheUsersOwn) {
    TestDirectory dir;
    const std::string target = dir.write("target", "untouched");
    ASSERT_EQ(::symlink(target.c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.child("fifo").c_str(), 0600), 0);
    const std::string foreign = dir.write("foreign", "theirs");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }
    const mode_t before = ::umask(0);
    struct Way {
        const char* name;
        std::function<bool(const std::string&)> write;
    };
    const std::vector<Way> ways = {
        {"empty", [](const std::string& path) { return platform().openFile(path, std::ios::out | std::ios::trunc, false) != nullptr; }},
        {"append", [](const std::string& path) { return platform().openFile(path, std::ios::app, false) != nullptr; }},
        {"update", [](const std::string& path) { return platform().openFile(path, std::ios::in | std::ios::out, false) != nullptr; }},
        {"new", [](const std::string& path) { return platform().openFile(path, std::ios::out, true) != nullptr; }},
        {"copy", [&](const std::string& path) { return platform().copyFile(dir.child("source"), path, true); }},
        {"truncate", [](const std::string& path) { return platform().truncateFile(path, 0); }},
    };
    dir.write("source", "copied");
    ::chmod(dir.child("source").c_str(), 0640);
    for (const Way& way : ways) {
        const std::string fresh = dir.child(std::string("fresh-") + way.name);
        if (std::string(way.name) != "truncate") {
            EXPECT_TRUE(way.write(fresh)) << way.name;
            EXPECT_EQ(lstatOf(fresh).st_mode & 07777, 0640u) << way.name;
        }
        EXPECT_FALSE(way.write(dir.child("link"))) << way.name;
        EXPECT_EQ(platform().lastError().code, static_cast<uint32_t>(ELOOP)) << way.name;
        EXPECT_FALSE(way.write(dir.child("fifo"))) << way.name;
        if (root) {
            EXPECT_FALSE(way.write(foreign)) << way.name;
        }
    }
    ::umask(before);
    EXPECT_EQ(TestDirectory::readFile(target), "untouched");
    EXPECT_EQ(TestDirectory::readFile(foreign), "theirs");
    EXPECT_TRUE(S_ISLNK(lstatOf(dir.child("link")).st_mode));
    EXPECT_FALSE(platform().openFile(dir.child("fresh-new"), std::ios::out, true));  // the name is taken
    EXPECT_EQ(platform().writeRefusal(dir.child("link")),
              "\"" + dir.child("link") + "\" is a symbolic link, which is never followed for writing");
    EXPECT_EQ(platform().writeRefusal(dir.child("fresh-new")), "");

    // A directory others may write in, and anything below it.
    const std::string open = dir.child("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    EXPECT_FALSE(platform().openFile(open + "/file", std::ios::out, false));
    EXPECT_FALSE(platform().copyFile(dir.child("source"), open + "/copy", false));
    EXPECT_EQ(platform().writeRefusal(open + "/below/file"), "the directory \"" + open + "\" may be written by every user");
    EXPECT_TRUE(std::filesystem::is_empty(open));
    // ... unless it is root's and sticky, as /tmp is.
    if (root) {
        ASSERT_EQ(::chmod(open.c_str(), 01777), 0);
        EXPECT_TRUE(platform().openFile(open + "/file", std::ios::out, false));
        EXPECT_EQ(platform().writeRefusal(open + "/"), "");
    }
}

TEST(PosixFileOperations, MoveReplacesOnlyWhenAsked) {
    TestDirectory dir;
    std::string from = dir.write("from", "new");
    std::string to = dir.write("to", "old");
    EXPECT_FALSE(platform().moveFile(from, to, false));
    EXPECT_EQ(dir.read("from"), "new");
    EXPECT_EQ(dir.read("to"), "old");
    ASSERT_TRUE(platform().moveFile(from, to, true));
    EXPECT_EQ(dir.read("to"), "new");
    EXPECT_NE(::access(from.c_str(), F_OK), 0);
    ASSERT_TRUE(platform().moveFile(to, dir.child("fresh"), false));
    EXPECT_EQ(dir.read("fresh"), "new");
    EXPECT_FALSE(platform().moveFile(dir.child("missing"), dir.child("x"), true));
    EXPECT_FALSE(platform().moveFile("", dir.child("x"), false));
}

}  // namespace
}  // namespace Quilna
