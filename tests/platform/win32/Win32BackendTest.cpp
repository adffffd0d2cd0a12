// What only the Windows backend shows: drive-letter roots, backslash paths, network and
// long-path forms, the attribute mapping, links, registry value types, mailslot errors.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileAttribute.h"
#include "platform/MailslotEndpoint.h"
#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

using NativeTest::TempDir;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The emulator the cross build's tests run in answers a few calls unlike Windows; those
// expectations are checked on Windows only.
bool underEmulator() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

std::string withForwardSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

TEST(Win32Drives, RootsAreDriveLettersWithABackslash) {
    std::vector<std::string> roots;
    SystemError error;
    ASSERT_TRUE(platform().logicalDrives(roots, error)) << error.code;
    for (const std::string& root : roots) {
        ASSERT_EQ(root.size(), 3u) << root;
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(root[0]))) << root;
        EXPECT_EQ(root.substr(1), ":\\");
    }
    EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());

    TempDir dir;
    EXPECT_EQ(platform().driveType("C:\\"), DriveType::Fixed);
    // A directory is no root, whatever drive it is on (the emulator answers for the drive).
    if (!underEmulator()) {
        EXPECT_EQ(platform().driveType(dir.text() + "\\"), DriveType::NoRootDir);
    }

    // The cluster size is asked with the drive prefix alone, or with nothing for a path
    // without drive letter (the current directory's volume).
    uint32_t bytes = 0;
    ASSERT_TRUE(platform().clusterSize("C:", bytes, error)) << error.code;
    EXPECT_GT(bytes, 0u);
    uint32_t current = 0;
    ASSERT_TRUE(platform().clusterSize("", current, error)) << error.code;
    EXPECT_GT(current, 0u);

    EXPECT_TRUE(platform().isMountPoint("C:\\"));
    EXPECT_FALSE(platform().isMountPoint(dir.text()));
}

TEST(Win32Files, PathsAreWrittenWithBackslashesAndReadWithEither) {
    TempDir dir;
    NativeTest::CurrentDirectoryGuard restore;  // left before the directory is removed
    const std::string path = dir.write("file.txt", "12345");

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(withForwardSlashes(path), info));
    EXPECT_EQ(info.fullPath, path);
    EXPECT_EQ(info.size, 5u);
    // Names compare without case.
    ASSERT_TRUE(platform().fileInfo(upper(path), info));
    EXPECT_EQ(info.size, 5u);

    std::string current;
    std::filesystem::current_path(withForwardSlashes(dir.text()));
    ASSERT_TRUE(platform().currentDirectory(current));
    EXPECT_EQ(upper(current), upper(dir.text()));
    ASSERT_TRUE(platform().fileInfo("file.txt", info));
    EXPECT_EQ(upper(info.fullPath), upper(path));

    // A drive root keeps its separator: "C:" alone means the current directory of C:.
    std::filesystem::current_path("C:/");
    ASSERT_TRUE(platform().currentDirectory(current));
    EXPECT_EQ(current, "C:\\");
}

TEST(Win32Files, RootsAndNetworkFormsReachTheSystem) {
    TempDir dir;
    const std::string path = dir.write("far.txt", "far away");
    FileInfo info;

    ASSERT_TRUE(platform().fileInfo("C:\\", info));
    EXPECT_TRUE(info.attributes & FileAttribute::Directory);
    EXPECT_EQ(info.fullPath, "C:\\");

    // Paths beginning with two backslashes are not refused: the long-path form is one.
    ASSERT_TRUE(platform().fileInfo("\\\\?\\" + path, info));
    EXPECT_EQ(info.size, 8u);
    EXPECT_EQ(info.fullPath, "\\\\?\\" + path);

    // A share that does not exist is simply not found.
    EXPECT_FALSE(platform().fileInfo("\\\\quilna-no-such-host.invalid\\share\\far.txt", info));
    EXPECT_FALSE(info.exists);
    EXPECT_FALSE(platform().fileInfo("\\\\quilna-no-such-host.invalid\\share", info));
}

TEST(Win32Files, AFileOpenedExclusivelyStillGivesItsSizeAndTimes) {
    TempDir dir;
    const std::string path = dir.write("busy.log", std::string(70000, 'b'));
    // As a file another program holds open without sharing.
    HANDLE busy = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    FileInfo info;
    EXPECT_TRUE(platform().fileInfo(path, info));
    EXPECT_EQ(info.size, 70000u);
    EXPECT_GT(info.modified, 0);
    ::CloseHandle(busy);
}

TEST(Win32Files, AttributesMapBothWays) {
    TempDir dir;
    const std::string path = dir.write("flags.txt", "f");
    ASSERT_TRUE(platform().setAttributes(path, FileAttribute::ReadOnly | FileAttribute::Archive |
                                                   FileAttribute::Normal | FileAttribute::Directory));
    const DWORD windows = ::GetFileAttributesA(path.c_str());
    EXPECT_TRUE(windows & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(windows & FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(windows & FILE_ATTRIBUTE_NORMAL) << "Normal only alone";
    EXPECT_FALSE(windows & FILE_ATTRIBUTE_DIRECTORY) << "not written back";

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(path, info));
    EXPECT_EQ(info.attributes & (FileAttribute::ReadOnly | FileAttribute::Archive),
              FileAttribute::ReadOnly | FileAttribute::Archive);

    ASSERT_TRUE(platform().setAttributes(path, 0));
    EXPECT_EQ(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ASSERT_TRUE(platform().fileInfo(path, info));
    EXPECT_FALSE(info.attributes & FileAttribute::ReadOnly);
}

TEST(Win32Files, LinksAreListedAsFilesNeverEnteredAndNeverWrittenThrough) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "target");
    dir.write("target/inside.txt", "i");
    const std::string link = dir.child("link");
    if (!::CreateSymbolicLinkA(link.c_str(), dir.child("target").c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "this account may not create symbolic links (" << ::GetLastError() << ")";
    if (::GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the system reported a link but made none";

    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*", entries));
    bool seen = false;
    for (const DirEntry& entry : entries) {
        if (entry.name == "link") {
            seen = true;
            EXPECT_TRUE(entry.isFile) << "a link is never entered";
        }
        if (entry.name == "target") {
            EXPECT_FALSE(entry.isFile);
        }
    }
    EXPECT_TRUE(seen);

    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(link, info));
    EXPECT_TRUE(info.attributes & FileAttribute::Link);
    EXPECT_FALSE(info.attributes & FileAttribute::Directory);
    EXPECT_FALSE(platform().isMountPoint(link)) << "a link to a directory mounts no volume";
    ::RemoveDirectoryA(link.c_str());

    // A file is written as itself; a link put in its place is refused, its target left alone.
    const std::string own = dir.child("own.log");
    std::unique_ptr<std::filebuf> written = platform().openFile(own, std::ios::out | std::ios::trunc, false);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->sputn("line\n", 5), 5);
    EXPECT_TRUE(written->close());
    EXPECT_EQ(std::filesystem::file_size(own), 5u);
    const std::string target = dir.write("target.txt", "kept");
    const std::string planted = dir.child("planted.log");
    ASSERT_TRUE(::CreateSymbolicLinkA(planted.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
    for (std::ios::openmode mode : {std::ios::out | std::ios::trunc, std::ios::out | std::ios::app,
                                    std::ios::in | std::ios::out})
        EXPECT_FALSE(platform().openFile(planted, mode, false)) << mode;
    EXPECT_FALSE(platform().truncateFile(planted, 0));
    EXPECT_FALSE(platform().copyFile(own, planted, true));
    EXPECT_EQ(std::filesystem::file_size(target), 4u);
}

// Registry values of every type come back as the system stores them.
class Win32Registry : public ::testing::Test {
protected:
    Win32Registry() : keyPath_("SOFTWARE\\Quilna\\" + NativeTest::uniqueName("TestTypes")) {
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~Win32Registry() override {
        if (key_) ::RegCloseKey(key_);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath_.c_str());
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath_.c_str());
    }
    void set(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
    std::string keyPath_;
};

TEST_F(Win32Registry, ValuesOfEveryTypeComeBackAsStored) {
    ASSERT_NE(key_, nullptr);
    const DWORD number = 0x12345678;
    set("Number", REG_DWORD, &number, sizeof number);
    const char multi[] = "first\0second\0";
    set("Multi", REG_MULTI_SZ, multi, sizeof multi);
    const char expand[] = "%SystemRoot%\\x";
    set("Expand", REG_EXPAND_SZ, expand, sizeof expand);

    uint32_t type = 0;
    std::string data;
    ASSERT_EQ(platform().readRegistry(keyPath_, "Number", false, type, data), 0);
    EXPECT_EQ(type, RegistryType::Dword);
    ASSERT_EQ(data.size(), 4u);
    uint32_t read = 0;
    std::memcpy(&read, data.data(), 4);
    EXPECT_EQ(read, 0x12345678u);

    ASSERT_EQ(platform().readRegistry(keyPath_, "Multi", false, type, data), 0);
    EXPECT_EQ(type, RegistryType::MultiString);
    EXPECT_EQ(data.substr(0, 13), std::string(multi, 13)) << "the inner zero stays";

    // Not expanded: the value is handed over as written.
    ASSERT_EQ(platform().readRegistry(keyPath_, "Expand", true, type, data), 0);
    EXPECT_EQ(type, RegistryType::ExpandString);
    EXPECT_EQ(data.substr(0, std::strlen(expand)), expand);
}

TEST_F(Win32Registry, WrittenStringsEndInAZero) {
    ASSERT_TRUE(platform().writeRegistryString(keyPath_, "Text", "abc", true));
    char buffer[16] = {};
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(::RegQueryValueExA(key_, "Text", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(buffer, "abc");
}

TEST(Win32Mailslot, ErrorsCarryTheSystemsNumbers) {
    const std::string name = NativeTest::uniqueName("Quilna_Test_");
    SystemError error;
    auto receiver = platform().createMailslot(name, error);
    ASSERT_NE(receiver, nullptr) << error.code;
    EXPECT_EQ(platform().createMailslot(name, error), nullptr) << "one receiver per name";
    EXPECT_EQ(error.kind, ErrorKind::Exists);
    EXPECT_EQ(error.code, static_cast<uint32_t>(ERROR_ALREADY_EXISTS));

    error = SystemError{};
    EXPECT_EQ(platform().openMailslot(NativeTest::uniqueName("Quilna_Nobody_"), false, error), nullptr);
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
    EXPECT_EQ(error.code, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));

    // A receiver cannot send; the system says why.
    EXPECT_FALSE(receiver->write("to myself", error));
    EXPECT_TRUE(error.failed());
}

TEST(Win32Accounts, OwnerOfANewFileIsTheUserOrTheAdministrators) {
    TempDir dir;
    const std::string path = dir.write("mine.txt", "m");
    std::string domain, account, user;
    ASSERT_TRUE(platform().fileOwner(path, "", domain, account));
    ASSERT_TRUE(platform().userName(user));
    EXPECT_FALSE(domain.empty());
    // An elevated administrator's files belong to the Administrators group.
    EXPECT_TRUE(upper(account) == upper(user) || domain == "BUILTIN") << domain << "\\" << account;
    EXPECT_FALSE(platform().fileOwner(dir.child("absent.txt"), "", domain, account));

    uint32_t ownerId = 0;
    EXPECT_FALSE(platform().ownerById(ownerId, domain, account)) << "Windows has no owner ids";
}

TEST(Win32Accounts, LocalGroupsAndAnUnknownGroup) {
    std::vector<std::string> groups{"stale"};
    if (platform().localGroups(groups).failed()) {
        EXPECT_TRUE(groups.empty());
        return;
    }
    for (const std::string& group : groups) EXPECT_FALSE(group.empty());
    if (underEmulator()) return;  // it makes the current user a member of any group
    std::vector<std::string> members{"stale"};
    EXPECT_EQ(platform().localGroupMembers("Quilna no such group", members).kind, ErrorKind::NotFound);
    EXPECT_TRUE(members.empty());
}

TEST(Win32System, VersionComesFromTheKernel) {
    OsVersion version;
    ASSERT_TRUE(platform().osVersion(version));
    EXPECT_TRUE(version.ntFamily);
    EXPECT_GE(version.major, 5u);
    EXPECT_TRUE(version.name.empty()) << "Windows is named above the platform";
    const uint32_t architecture = platform().processorArchitecture();
    EXPECT_TRUE(architecture == PROCESSOR_ARCHITECTURE_AMD64 || architecture == 12) << architecture;
}

}  // namespace
}  // namespace Quilna
