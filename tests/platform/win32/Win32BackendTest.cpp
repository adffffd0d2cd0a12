// What only the Windows backend shows; the entry point through entry_probe.exe, built beside this program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ntfs/BootSector.h"
#include "platform/FileAttribute.h"
#include "platform/Platform.h"
#include "support/TestDirectory.h"
#include "support/TestRegistryKey.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

TEST(Win32Backend, DriveRootsAreDriveLettersWithABackslash) {
    const PathSyntax& syntax = platform().pathSyntax();
    EXPECT_TRUE(syntax.separator == '\\' && syntax.backslashIsSeparator && syntax.driveLetters && syntax.networkPaths &&
                syntax.caseInsensitive);
    std::vector<std::string> roots;
    SystemError error;
    ASSERT_TRUE(platform().logicalDrives(roots, error)) << error.code;
    for (const std::string& root : roots)
        EXPECT_TRUE(root.size() == 3 && std::isupper(static_cast<unsigned char>(root[0])) && root.substr(1) == ":\\")
            << root;
    EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());
    EXPECT_EQ(platform().driveType("C:\\"), DriveType::Fixed);
    TestDirectory dir;
    // The emulator the cross build's tests run in answers this one unlike Windows.
    if (!::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
        EXPECT_EQ(platform().driveType(dir.text() + "\\"), DriveType::NoRootDir);
    }
    // Asked with the drive prefix alone, or with nothing for the current directory's volume.
    uint32_t bytes = 0, current = 0;
    EXPECT_TRUE(platform().clusterSize("C:", bytes, error) && platform().clusterSize("", current, error) && bytes > 0 &&
                current > 0)
        << error.code;
    EXPECT_TRUE(platform().isMountPoint("C:\\") && !platform().isMountPoint(dir.text()));

    // A drive's volume opens raw and reads at any offset, though the device takes whole sectors
    // only; the drive named here (by tools/ci/windows) holds an NTFS image.
    std::string why;
    EXPECT_FALSE(platform().openRawVolume(dir.text(), error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound) << error.detail;
    const char* drive = std::getenv("QUILNA_TEST_RAW_DRIVE");
    if (!drive) return;
    const auto volume = platform().openRawVolume(std::string(drive) + "\\", error);
    ASSERT_TRUE(volume) << error.detail << " " << error.code;
    std::vector<uint8_t> start(10000), part(5000);
    size_t got = 0, partGot = 0;
    EXPECT_TRUE(volume->read(0, start, got, error) && volume->read(4097, part, partGot, error));
    EXPECT_TRUE(got == start.size() && partGot == part.size() && std::equal(part.begin(), part.end(), &start[4097]));
    EXPECT_TRUE(Ntfs::BootSector::parse(std::span(start).first(Ntfs::BootSector::kSize), why)) << why;
}

TEST(Win32Backend, PathsAreReadWithEitherSeparatorAnyCaseAndInTheirLongAndNetworkForms) {
    TestDirectory dir;
    const std::string path = dir.write("file.txt", "12345");
    std::string forward = path, upper = path;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    FileInfo info;
    SystemError error;
    for (const std::string& name : {upper, "\\\\?\\" + path, forward})
        EXPECT_TRUE(platform().fileInfo(name, info, error) && info.size == 5u) << name;
    EXPECT_EQ(info.fullPath, path) << "written with backslashes";
    ASSERT_TRUE(platform().fileInfo("\\\\?\\" + path, info, error));
    EXPECT_EQ(info.fullPath, "\\\\?\\" + path);
    EXPECT_TRUE(platform().fileInfo("C:\\", info, error) && (info.attributes & FileAttribute::Directory) &&
                info.fullPath == "C:\\")
        << info.fullPath;
    // A share that does not exist is simply not found.
    EXPECT_FALSE(platform().fileInfo("\\\\quilna-no-such-host.invalid\\share\\far.txt", info, error) || info.exists);
    EXPECT_FALSE(platform().fileInfo("\\\\quilna-no-such-host.invalid\\share", info, error));
    EXPECT_TRUE(error.failed());
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
    SystemError error;
    ASSERT_TRUE(platform().listDirectory(dir.text(), entries, error));
    std::map<std::string, bool> isFile;
    for (const DirEntry& entry : entries) isFile[entry.name] = entry.isFile;
    EXPECT_TRUE(isFile.at("link") && !isFile.at("target")) << "a link is never entered";
    FileInfo info;
    ASSERT_TRUE(platform().fileInfo(link, info, error));
    EXPECT_EQ(info.attributes & (FileAttribute::Link | FileAttribute::Directory), FileAttribute::Link);
    EXPECT_FALSE(platform().isMountPoint(link)) << "a link to a directory mounts no volume";

    // A file is written as itself; a link put in its place is refused, its target left alone.
    const std::string own = dir.child("own.log");
    std::unique_ptr<OpenFile> written = platform().openFile(own, {.write = true, .truncate = true}, error);
    ASSERT_TRUE(written);
    size_t count = 0;
    EXPECT_TRUE(written->write("line\n", 5, count, error) && count == 5u && written->close(error));
    const std::string target = dir.write("target.txt", "kept");
    const std::string planted = dir.child("planted.log");
    ASSERT_TRUE(::CreateSymbolicLinkA(planted.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
    for (const FileOpening& opening :
         {FileOpening{.write = true, .truncate = true}, FileOpening{.write = true, .append = true},
          FileOpening{.read = true, .write = true}})
        EXPECT_FALSE(platform().openFile(planted, opening, error)) << opening.append << opening.read;
    EXPECT_FALSE(platform().truncateFile(planted, 0, error) || platform().copyFile(own, planted, true, error));
    EXPECT_EQ(dir.read("target.txt"), "kept");
    ::RemoveDirectoryA(link.c_str());
}

// An expandable string is not expanded, a multi-string keeps its inner zero.
TEST(Win32Backend, RegistryValuesComeBackAsStoredAndStringsAreWrittenWithTheirZero) {
    const std::string key = TestSupport::uniqueResourceKey();
    SystemError error;
    ASSERT_TRUE(platform().writeRegistryString(key, "Text", "abc", true, error));
    const std::vector<std::tuple<std::string, DWORD, std::string>> values{
        {"Number", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
        {"Multi", REG_MULTI_SZ, std::string("first\0second\0", 14)},
        {"Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x", 15)}};
    uint32_t type = 0;
    std::string data;
    for (const auto& [name, stored, bytes] : values) {
        ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), stored, bytes.data(),
                          static_cast<DWORD>(bytes.size()));
        ASSERT_TRUE(platform().readRegistry(key, name, true, type, data, error)) << name;
        EXPECT_EQ(type, stored) << name;
        EXPECT_EQ(data.substr(0, bytes.size()), bytes) << name;
    }
    ASSERT_TRUE(platform().readRegistry(key, "Text", true, type, data, error));
    EXPECT_EQ(type, RegistryType::String);
    EXPECT_EQ(data, std::string("abc", 4));
    EXPECT_TRUE(!platform().readRegistry(key, "Absent", false, type, data, error) && error.kind == ErrorKind::NotFound);
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST(Win32Entry, CommandTextExitCodeAndTheHiddenWindowThatAnswersTheSessionEnd) {
    TestDirectory dir;
    SystemError error;
    platform().setEnv("QUILNA_PROBE_REPORT", dir.child("report.txt"), error);
    std::string command(MAX_PATH, '\0');
    command.resize(::GetModuleFileNameA(nullptr, command.data(), MAX_PATH));
    command = "\"" + command.substr(0, command.rfind('\\')) + "\\entry_probe.exe\"   -c \"C:\\Quilna conf\\x\" -l 3";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(code, 7u) << "the program still ends normally after WM_DESTROY";
    // Asking does not set the flag, the session's end does; the window is answered on a thread of its own.
    EXPECT_EQ(dir.read("report.txt"),
              "command=dummy-c \"C:\\Quilna conf\\x\" -l 3\n"
              "visible=0 classStyle=35 windowStyle=16711680 sameThread=0 flag=0\n"
              "query=1 flag=0\nend=0 flag=1\nquery=1 flag=1\ndestroy=0 flag=1\n");
}

}  // namespace
}  // namespace Quilna
