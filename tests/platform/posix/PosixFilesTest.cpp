// The POSIX file slice, the mount table and the accounts of the password and group databases.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <tuple>

#include "platform/FileAttribute.h"
#include "platform/NativePlatform.h"
#include "platform/Platform.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/PosixImpl.h"
#include "support/TestDirectory.h"
#include "support/posix/ShortHostName.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

struct stat lstatOf(const std::string& path) {
    struct stat facts {};
    ::lstat(path.c_str(), &facts);
    return facts;
}

TEST(PosixFileInfo, OneStatusGivesEveryFactAndTheAttributesOfKindModeAndName) {
    TestDirectory dir;
    const std::string path = dir.write("data.bin", std::string(5000, 'x'));
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const struct stat facts = lstatOf(path);
    FileInfo info;
    SystemError error;
    ASSERT_TRUE(platform().fileInfo(path, info, error));
    EXPECT_TRUE(info.hasAllocated && info.hasOwnerId && info.hasIdentity);
    EXPECT_EQ(std::tuple(info.size, info.accessed, info.modified, info.allocated, info.ownerId),
              std::tuple(5000u, 1000000000, 1200000000, static_cast<uint64_t>(facts.st_blocks) * 512, facts.st_uid));
    EXPECT_EQ(info.identity, (FileIdentity{facts.st_dev, facts.st_ino}));

    ASSERT_EQ(::mkdir(dir.child("sub").c_str(), 0755), 0);
    dir.write(".hidden", "h");
    ::chmod(dir.write("ro", "r").c_str(), 0444);
    ASSERT_EQ(::symlink(dir.child("sub").c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.child("pipe").c_str(), 0644), 0);
    ASSERT_EQ(::truncate(dir.write("sparse", "").c_str(), 64 << 20), 0);
    // The link itself, never what it points to.
    const std::vector<std::pair<std::string, int>> kinds{
        {"data.bin", FileAttribute::Normal}, {"sub", FileAttribute::Directory}, {".hidden", FileAttribute::Hidden},
        {"ro", FileAttribute::ReadOnly},     {"link", FileAttribute::Link},     {"pipe", FileAttribute::System},
        {"sparse", FileAttribute::Sparse}};
    for (const auto& [name, attributes] : kinds)
        EXPECT_TRUE(platform().fileInfo(dir.child(name), info, error) && info.attributes == attributes) << name;
    EXPECT_TRUE(info.size == uint64_t(64) << 20 && info.allocated < info.size) << info.allocated;

    // Created is the birth time where the file system keeps one: the temporary directory changed since.
    const std::string temp = std::filesystem::temp_directory_path();
    struct statx birth {};
    ASSERT_EQ(::statx(AT_FDCWD, temp.c_str(), 0, STATX_BTIME, &birth), 0);
    ASSERT_TRUE(platform().fileInfo(temp, info, error));
    EXPECT_TRUE(!(birth.stx_mask & STATX_BTIME) || info.created == birth.stx_btime.tv_sec) << info.created;
}

TEST(PosixFileInfo, NamesAreTakenAsTheyStandAndFullPathsKeepTheirLinks) {
    TestDirectory dir;
    const std::string file = dir.write("f", "1");
    ASSERT_EQ(::mkdir(dir.child("real").c_str(), 0755), 0);
    dir.write("real/file", "x");
    ASSERT_EQ(::symlink("real", dir.child("alias").c_str()), 0);
    FileInfo info;
    SystemError error;
    info.size = 7;
    // A trailing separator names no file, not even a directory (it would follow links).
    for (const std::string& bad : {std::string(), dir.child("missing/deeper"), file + "/", dir.child("real") + "/",
                                   std::string("f\0g", 3), dir.child("a*"), std::string("./")}) {
        info.exists = true;
        error = SystemError{};
        EXPECT_FALSE(platform().fileInfo(bad, info, error) || info.exists || info.size || !error.failed()) << bad;
    }
    // "*" and "?" are ordinary name characters here.
    EXPECT_TRUE(platform().fileInfo(dir.write("a*?b", "w"), info, error) && platform().fileInfo("/", info, error));

    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.text());
    FileInfo viaAlias, dotted, current;
    const bool found = platform().fileInfo("alias/file", viaAlias, error) &&
                       platform().fileInfo("./real//../real/file", dotted, error) &&
                       platform().fileInfo(".", current, error);
    std::filesystem::current_path(saved);
    ASSERT_TRUE(found);
    EXPECT_EQ((std::vector{viaAlias.fullPath, dotted.fullPath, current.fullPath}),
              (std::vector{dir.child("alias/file"), dir.child("real/file"), dir.text()}));
    EXPECT_EQ(current.attributes, FileAttribute::Directory);  // "." is not hidden
    ASSERT_TRUE(platform().fileInfo(dir.text() + "/./real//../real/file", dotted, error));
    EXPECT_EQ(dotted.fullPath, dir.child("real/file"));

    // Below an open directory a name is one component.
    std::string resolved;
    const std::unique_ptr<OpenDirectory> open = platform().openDirectory(dir.text(), resolved, error);
    ASSERT_TRUE(open);
    EXPECT_FALSE(open->entryInfo(std::string("f\0g", 3), info, error));
    for (const std::string& bad :
         {std::string(), std::string("."), std::string(".."), std::string("real/."), std::string("real\0x", 6)})
        EXPECT_TRUE(!open->openSubdirectory(bad, error) && error.code == static_cast<uint32_t>(EINVAL)) << bad;
}

TEST(PosixListDirectory, EveryEntryIsListedAndALinkToADirectoryIsAFile) {
    TestDirectory dir;
    for (const char* name : {"b.txt", "a.txt", "c.log", ".dot", "ABC.TXT"}) dir.write(name, name);
    ASSERT_EQ(::mkdir(dir.child("sub.txt").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(dir.child("sub.txt").c_str(), dir.child("dirlink").c_str()), 0);
    std::vector<DirEntry> entries;
    SystemError error;
    ASSERT_TRUE(platform().listDirectory(dir.text() + "/", entries, error));
    std::set<std::string> listed;
    for (const auto& entry : entries) {
        listed.insert(entry.name);
        EXPECT_EQ(entry.isFile, entry.name != "." && entry.name != ".." && entry.name != "sub.txt") << entry.name;
    }
    EXPECT_EQ(listed,
              (std::set<std::string>{".", "..", "b.txt", "a.txt", "c.log", ".dot", "ABC.TXT", "sub.txt", "dirlink"}));
    EXPECT_TRUE(!platform().listDirectory(dir.child("b.txt"), entries, error) && entries.empty() &&
                error.code == static_cast<uint32_t>(ENOTDIR));
    EXPECT_FALSE(platform().listDirectory(std::string("a\0b", 3), entries, error));
}

// Every way of writing refuses a link, a fifo or another user's file at the name, untouched.
TEST(PosixFileOperations, CopyKeepsModeAndTimesAndWritingNeverFollowsALinkNorTouchesAnotherUsersFile) {
    TestDirectory dir;
    const std::string target = dir.write("target", "untouched");
    ASSERT_EQ(::symlink(target.c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.child("fifo").c_str(), 0600), 0);
    const std::string foreign = dir.write("foreign", "theirs");
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0) << "the tests run as root";
    const std::string source = dir.write("source", "content");
    ::chmod(source.c_str(), 0640);
    struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
    ::utimensat(AT_FDCWD, source.c_str(), times, 0);
    SystemError error;
    ASSERT_TRUE(platform().copyFile(source, dir.child("copy"), false, error));
    const struct stat copied = lstatOf(dir.child("copy"));
    EXPECT_EQ(std::tuple(dir.read("copy"), copied.st_mode & 07777, copied.st_mtime),
              std::tuple("content", 0640u, 1100000000));
    // Every failure says why, also where the system itself had nothing to say.
    EXPECT_TRUE(!platform().copyFile(source, source, true, error) && error.failed() && dir.read("source") == "content")
        << "onto itself";
    for (const auto& [from, to] : {std::pair(dir.text(), dir.child("d2")), std::pair(source, dir.child("no/such/dir")),
                                   std::pair(std::string(), dir.child("x"))}) {
        error = SystemError{};
        EXPECT_TRUE(!platform().copyFile(from, to, true, error) && error.failed()) << "to " << to;
    }
    error = SystemError{};
    EXPECT_TRUE(!platform().moveFile(dir.child("copy"), source, false, error) && error.kind == ErrorKind::Exists &&
                dir.read("source") == "content")
        << "a move that must not replace";
    const auto opens = [](FileOpening opening) {
        return [opening](const std::string& path, SystemError& error) {
            return platform().openFile(path, opening, error) != nullptr;
        };
    };
    const std::vector<std::pair<std::string, std::function<bool(const std::string&, SystemError&)>>> ways = {
        {"empty", opens({.write = true, .truncate = true})},
        {"append", opens({.write = true, .append = true})},
        {"update", opens({.read = true, .write = true})},
        {"new", opens({.write = true, .mustBeNew = true})},
        {"copy",
         [&](const std::string& path, SystemError& why) { return platform().copyFile(source, path, true, why); }},
        {"truncate", [](const std::string& path, SystemError& why) { return platform().truncateFile(path, 0, why); }},
    };
    for (const auto& [name, write] : ways) {
        EXPECT_TRUE(!write(dir.child("link"), error) && error.code == static_cast<uint32_t>(ELOOP)) << name;
        EXPECT_FALSE(write(dir.child("fifo"), error) || write(foreign, error) ||
                     write(source + std::string("\0", 1), error))
            << name;
    }
    EXPECT_EQ(TestDirectory::readFile(target) + TestDirectory::readFile(foreign) + dir.read("source"),
              "untouchedtheirscontent");
    EXPECT_TRUE(S_ISLNK(lstatOf(dir.child("link")).st_mode));
    EXPECT_FALSE(opens({.write = true, .mustBeNew = true})(source, error)) << "a new file's name is taken";
    EXPECT_FALSE(opens({})(dir.child("fifo"), error)) << "reading does not wait for a writer";
    size_t count = 0;
    const auto file = platform().openFile(dir.child("new"), {.write = true, .mustBeNew = true}, error);
    EXPECT_TRUE(file && file->write("1", 1, count, error) && count == 1u);
}

TEST(PosixSystem, MountTableDrivesAndTypesOsReleaseValuesAndTimesNoCalendarHolds) {
    MountTable table;
    table.parse(
        "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
        "22 26 0:21 / /sys rw,relatime - sysfs sysfs rw\n"
        "26 1 254:0 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw\n"
        "30 22 0:27 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
        "40 26 0:40 / /mnt/my\\040disk rw - vfat /dev/sdb1 rw\n"
        "41 26 254:0 /home /srv/home rw - ext4 /dev/vda rw\n"
        "42 26 254:0 / /mnt/again rw - ext4 /dev/vda rw\n"
        "43 26 0:44 / /mnt/share rw - nfs4 server:/export rw\n"
        "44 26 0:45 / /mnt/share rw - tmpfs tmpfs rw\n"
        "45 26 99999999999999999999:1 / /mnt/huge rw - ext4 /dev/vdb rw\n"
        "46 26 254:0 /var/lib/q /var/lib/q ro - ext4 /dev/vda rw\n"
        "47 40 0:40 / /mnt/my\\040disk ro - vfat /dev/sdb1 rw\n"
        "48 41 254:0 /home/ann /srv/home/ann ro - ext4 /dev/vda rw\n"
        "garbage line without fields\n");
    std::vector<std::string> points;
    for (const Mount* mount : table.drives()) points.push_back(mount->mountPoint);
    // Left out: below pseudo mounts, the same device and root again, a number beyond every integer,
    // directories bound onto themselves (a sandbox's), which are no mount points either.
    EXPECT_EQ(points, (std::vector<std::string>{"/", "/mnt/my disk", "/srv/home", "/mnt/share"}));
    EXPECT_FALSE(table.isMountPoint("/var/lib/q") || table.isMountPoint("/srv/home/ann"));
    EXPECT_EQ(table.find("/mnt/my disk")->id, "40");
    ASSERT_TRUE(table.find("/mnt/share/") && table.find("/mnt/my disk"));
    EXPECT_EQ(std::tuple(table.find("/mnt/share/")->fileSystem, table.find("/mnt/my disk")->source),
              std::tuple("tmpfs", "/dev/sdb1"));
    EXPECT_TRUE(table.isMountPoint("/proc") && table.isMountPoint("/mnt/my disk/") && !table.isMountPoint("/mnt"));
    for (const auto& [escaped, plain] : std::vector<std::pair<std::string, std::string>>{
             {"a\\040b\\011c", "a b\tc"}, {"end\\04", "end\\04"}, {"\\134", "\\"}, {"\\177\\400", "\x7f\\400"}})
        EXPECT_EQ(MountTable::unescape(escaped), plain) << escaped;
    EXPECT_TRUE(MountTable::isPseudoFileSystem("cgroup2") && !MountTable::isPseudoFileSystem("tmpfs"));
    // Sources that are no block device: the type alone decides.
    const std::vector<std::pair<std::string, int>> types{{"iso9660", DriveType::CdRom},
                                                         {"tmpfs", DriveType::RamDisk},
                                                         {"nfs4", DriveType::Remote},
                                                         {"overlay", DriveType::Fixed},
                                                         {"fuse.other", DriveType::Unknown}};
    for (const auto& [type, expected] : types)
        EXPECT_EQ(posix::driveTypeOf(Mount{"", "", type, "none", 0, 0, "", ""}), expected) << type;

    // Quotes of either kind are removed, a backslash escapes outside single quotes.
    const std::vector<std::pair<std::string, std::string>> values{{"\"Debian \\\"x\\\" 12\"", "Debian \"x\" 12"},
                                                                  {"Plain\\ name", "Plain name"},
                                                                  {"'single \\ \"kept\"'", "single \\ \"kept\""},
                                                                  {"\"one\"' and 'two", "one and two"},
                                                                  {"ends\\", "ends\\"}};
    for (const auto& [raw, value] : values) EXPECT_EQ(posix::osReleaseValue(raw), value) << raw;
    std::vector<uint32_t> architectures;
    for (const char* machine : {"x86_64", "i686", "ia64", "arm64", "armv7l", "ppc64le", "mips64", "alpha", "sparc"})
        architectures.push_back(posix::architectureOf(machine));
    EXPECT_EQ(architectures, (std::vector<uint32_t>{9, 0, 6, 12, 5, 3, 1, 2, 0xFFFF}));
    CalendarTime calendar;
    int64_t seconds = 0;
    EXPECT_FALSE(platform().toLocalCalendar(INT64_MAX, calendar) ||
                 platform().fromLocalCalendar({.year = INT_MAX, .month = INT_MAX}, seconds));
}

// Owners and groups by the password and group databases, with the upper-case short host name.
TEST(PosixAccounts, OwnersByIdAndGroupsInTheDatabaseOrderWithListedMembersFirst) {
    TestDirectory dir;
    const std::string path = dir.write("owned", "x");
    ASSERT_EQ(::symlink(path.c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::lchown(dir.child("link").c_str(), 65534, 65534), 0) << "the tests run as root";
    std::string domain, account;
    SystemError error;
    EXPECT_TRUE(platform().fileOwner(dir.child("link"), "", domain, account, error) && account == "nobody")
        << "the link's own owner, not " << account;
    const std::string host = TestSupport::upperShortHostName();
    EXPECT_TRUE(platform().ownerById(0, domain, account, error) && account == "root" && domain == host) << domain;
    ASSERT_EQ(::chown(path.c_str(), 54321, 54321), 0);
    account = "kept";  // an id without entry has no name
    for (const std::string& owned : {path, dir.child("missing"), std::string()}) {
        error = SystemError{};
        EXPECT_TRUE(!platform().fileOwner(owned, "", domain, account, error) && error.failed()) << owned;
    }
    EXPECT_TRUE(!platform().ownerById(54321, domain, account, error) && error.kind == ErrorKind::NotFound);
    EXPECT_EQ(account, "kept");

    NativePlatform native;
    std::vector<std::string> names, members;
    EXPECT_TRUE(native.localGroups(names, error) && std::ranges::count(names, "root") == 1);
    // A group's listed members come before the users whose primary group it is.
    std::ifstream in("/etc/group");
    static const std::regex listing("([^-+#:][^:]*):[^:]*:[^:]*:([^,]+).*");
    std::smatch fields;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, fields, listing)) {
            ASSERT_TRUE(native.localGroupMembers(fields[1], members, error)) << line;
            EXPECT_EQ(members.at(0), host + "\\" + fields[2].str()) << line;
        }
    ASSERT_TRUE(native.localGroupMembers("root", members, error));
    EXPECT_NE(std::find(members.begin(), members.end(), host + "\\root"), members.end()) << "root's primary group";
    EXPECT_TRUE(!native.localGroupMembers("no-such-group-of-quilna", members, error) &&
                error.kind == ErrorKind::NotFound && members.empty());
    error = SystemError{};
    EXPECT_TRUE(!native.localGroupMembers(std::string("ro\0ot", 5), members, error) &&
                error.kind == ErrorKind::NotFound);
}

}  // namespace
}  // namespace Quilna
