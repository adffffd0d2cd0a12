// What only the Windows backend shows: drive-letter roots, backslash paths, network and
// long-path forms, links, and registry values as the system stores them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/FileAttribute.h"
#include "platform/Platform.h"
#include "support/TestDirectory.h"
#include "support/TestRegistryKey.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The emulator the cross build's tests run in answers a few calls unlike Windows.
bool underEmulator() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

TEST(Win32Backend, DriveRootsAreDriveLettersWithABackslash) {
    std::vector<std::string> roots;
    SystemError error;
    ASSERT_TRUE(platform().logicalDrives(roots, error)) << error.code;
    for (const std::string& root : roots) {
        ASSERT_EQ(root.size(), 3u) << root;
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(root[0]))) << root;
        EXPECT_EQ(root.substr(1), ":\\");
    }
    EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());
    EXPECT_EQ(platform().driveType("C:\\"), DriveType::Fixed);
    TestDirectory dir;
    if (!underEmulator()) {
        EXPECT_EQ(platform().driveType(dir.text() + "\\"), DriveType::NoRootDir);
    }
    // The cluster size is asked with the drive prefix alone, or with nothing for a path
    // without drive letter (the current directory's volume).
    uint32_t bytes = 0, current = 0;
    ASSERT_TRUE(platform().clusterSize("C:", bytes, error)) << error.code;
    ASSERT_TRUE(platform().clusterSize("", current, error)) << error.code;
    EXPECT_GT(bytes, 0u);
    EXPECT_GT(current, 0u);
    EXPECT_TRUE(platform().isMountPoint("C:\\"));
    EXPECT_FALSE(platform().isMountPoint(dir.text()));
}

TEST(Win32Backend, PathsAreReadWithEitherSeparatorAnyCaseAndInTheirLongAndNetworkForms) {
    TestDirectory dir;
    const std::string path = dir.write("file.txt", "12345");
    std::string forward = path;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    FileInfo info;
    for (const std::string& name : {forward, upper(path), "\\\\?\\" + path}) {
        ASSERT_TRUE(platform().fileInfo(name, info)) << name;
        EXPECT_EQ(info.size, 5u) << name;
    }
    EXPECT_EQ(info.fullPath, "\\\\?\\" + path);
    ASSERT_TRUE(platform().fileInfo(forward, info));
    EXPECT_EQ(info.fullPath, path) << "written with backslashes";
    ASSERT_TRUE(platform().fileInfo("C:\\", info));
    EXPECT_TRUE(info.attributes & FileAttribute::Directory);
    EXPECT_EQ(info.fullPath, "C:\\");
    // A share that does not exist is simply not found.
    EXPECT_FALSE(platform().fileInfo("\\\\quilna-no-such-host.invalid\\share\\far.txt", info));
    EXPECT_FALSE(info.exists);
    EXPECT_FALSE(platform().fileInfo("\\\\quilna-no-such-host.invalid\\share", info));
}

TEST(Win32Backend, LinksAreListedAsFilesNeverEnteredAndNeverWrittenThrough) {
    TestDirectory dir;
    std::filesystem::create_directory(dir.path() / "target");
    const std::string link = dir.child("link");
    if (!::CreateSymbolicLinkA(link.c_str(), dir.child("target").c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
        ::GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this account may not create symbolic links (" << ::GetLastError() << ")";
    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*", entries));
    std::map<std::string, bool> isFile;
    for (const DirEntry& entry : entries) isFile[entry.name] = entry.isFile;
    EXPECT_TRUE(isFile.at("link")) << "a link is never entered";
    EXPECT_FALSE(isFile.at("target"));
    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(link, info));
    EXPECT_TRUE(info.attributes & FileAttribute::Link);
    EXPECT_FALSE(info.attributes & FileAttribute::Directory);
    EXPECT_FALSE(platform().isMountPoint(link)) << "a link to a directory mounts no volume";

    // A file is written as itself; a link put in its place is refused, its target left alone.
    const std::string own = dir.child("own.log");
    SystemError error;
    std::unique_ptr<OpenFile> written = platform().openFile(own, {.write = true, .truncate = true}, error);
    ASSERT_TRUE(written);
    size_t count = 0;
    EXPECT_FALSE(written->write("line\n", 5, count).failed());
    EXPECT_EQ(count, 5u);
    EXPECT_FALSE(written->close().failed());
    const std::string target = dir.write("target.txt", "kept");
    const std::string planted = dir.child("planted.log");
    ASSERT_TRUE(::CreateSymbolicLinkA(planted.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
    for (const FileOpening& opening :
         {FileOpening{.write = true, .truncate = true}, FileOpening{.write = true, .append = true},
          FileOpening{.read = true, .write = true}})
        EXPECT_FALSE(platform().openFile(planted, opening, error)) << opening.append << opening.read;
    EXPECT_FALSE(platform().truncateFile(planted, 0));
    EXPECT_FALSE(platform().copyFile(own, planted, true));
    EXPECT_EQ(dir.read("target.txt"), "kept");
    ::RemoveDirectoryA(link.c_str());
}

// Values of every type come back as the system stores them (an expandable string not
// expanded); a string is written as the system's own string type, with its terminating zero.
TEST(Win32Backend, RegistryValuesComeBackAsStoredAndStringsAreWrittenWithTheirZero) {
    const std::string keyPath = TestSupport::uniqueResourceKey();
    HKEY key = nullptr;
    ASSERT_EQ(
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const DWORD number = 0x12345678;
    const char multi[] = "first\0second\0";
    const char expand[] = "%SystemRoot%\\x";
    ::RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    ::RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi);
    ::RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand);
    ::RegCloseKey(key);
    uint32_t type = 0;
    std::string data;
    ASSERT_EQ(platform().readRegistry(keyPath, "Number", false, type, data), 0);
    EXPECT_EQ(type, RegistryType::Dword);
    EXPECT_EQ(data, std::string("\x78\x56\x34\x12", 4));
    ASSERT_EQ(platform().readRegistry(keyPath, "Multi", false, type, data), 0);
    EXPECT_EQ(type, RegistryType::MultiString);
    EXPECT_EQ(data.substr(0, 13), std::string(multi, 13)) << "the inner zero stays";
    ASSERT_EQ(platform().readRegistry(keyPath, "Expand", true, type, data), 0);
    EXPECT_EQ(type, RegistryType::ExpandString);
    EXPECT_EQ(data.substr(0, std::strlen(expand)), expand);
    EXPECT_EQ(platform().readRegistry(keyPath, "Absent", false, type, data), 2);

    ASSERT_TRUE(platform().writeRegistryString(keyPath, "Text", "abc", true));
    char buffer[16] = {};
    DWORD stored = 0, size = sizeof buffer;
    ASSERT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, keyPath.c_str(), "Text", RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY, &stored,
                             buffer, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(stored, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(buffer, "abc");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath.c_str());
}

}  // namespace
}  // namespace Quilna
