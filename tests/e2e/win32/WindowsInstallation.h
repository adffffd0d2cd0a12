#pragma once
// A temporary installation of hoardscan.exe whose resources are imported by "reg import" into a
// key of their own, and a tree of files written through the wide calls, for the Windows
// end-to-end tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/Installation.h"
#include "support/ChildProcess.h"
#include "support/EnvironmentScope.h"
#include "support/TestRegistryKey.h"

namespace Quilna::WindowsEndToEnd {

using namespace EndToEnd;

inline std::string readText(const std::string& path) { return TestSupport::TestDirectory::readFile(path); }

class WindowsInstallation : public Installation {
public:
    WindowsInstallation() {
        resourceKey = key_;
        resources["ConfigurationDir"] = at("conf") + "\\";
        accountsRules = readText(exampleInstallation() + "accounts.rules");
        fileTypesRules = readText(exampleInstallation() + "filetypes.rules");
        settings["hoardscan.filetype"] = {"Integer", "1"};
        settings["log.rotation.scheme"] = {"String", "init"};
    }
    ~WindowsInstallation() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str()); }

    // A file of the tree, last read and written so many days ago; the path may be longer than MAX_PATH.
    void file(const std::string& relative, size_t size, int64_t ageDays = 0) const {
        place(path(relative), size, ageDays);
    }
    static void place(const std::string& name, size_t size, int64_t ageDays) {  // UTF-8, as the system's UTF-16
        const std::wstring full = L"\\\\?\\" + fs::path(std::u8string(name.begin(), name.end())).wstring();
        for (size_t at = full.find(L'\\', 7); at != std::wstring::npos; at = full.find(L'\\', at + 1))
            ::CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
        HANDLE file =
            ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        const std::string content(size, 'q');
        DWORD written = 0;
        EXPECT_TRUE(size == 0 || ::WriteFile(file, content.data(), static_cast<DWORD>(size), &written, nullptr));
        if (ageDays > 0) {
            // FILETIME counts 100 ns from 1601; an hour more, so that no day boundary passes meanwhile.
            FILETIME current{};
            ::GetSystemTimeAsFileTime(&current);
            ULARGE_INTEGER now{{current.dwLowDateTime, current.dwHighDateTime}};
            now.QuadPart -= static_cast<ULONGLONG>(ageDays * 24 + 1) * 3600 * 10000000;
            const FILETIME old{now.LowPart, now.HighPart};
            ::SetFileTime(file, nullptr, &old, &old);
        }
        ::CloseHandle(file);
    }

    void writeInstallation() const {
        writeFile("resources.reg", writeFiles(""));
        TestSupport::ChildProcess reg({"reg.exe", "import", at("resources.reg"), "/reg:64"},
                                      {at("reg-import.txt"), "", {}, base()});
        ASSERT_EQ(reg.wait(), 0) << readText(at("reg-import.txt"));
    }

    // Runs hoardscan.exe without arguments: the configuration comes from the resources.
    int run() {
        const int32_t day = ResultFiles::dayStamp(DateTime());
        TestSupport::ChildProcess program({TestSupport::ChildProcess::besideThisProgram("hoardscan")},
                                          {"", "", {}, base()});
        const int code = program.wait();
        ran(program.id(), day);
        return code;
    }

    // A resource value of the installation's key, or "".
    std::string resource(const std::string& name) const {
        uint32_t type = 0;
        std::string data;
        SystemError error;
        if (!platform().readRegistry(resourceKey, name, true, type, data, error)) return "";
        while (!data.empty() && data.back() == '\0') data.pop_back();
        return data;
    }

private:
    // A key below SOFTWARE\Quilna\Tests, named by QUILNA_ENV for the programs.
    const std::string key_ = TestSupport::uniqueResourceKey();
    TestSupport::EnvironmentScope variable_{"QUILNA_ENV", key_};
};

}  // namespace Quilna::WindowsEndToEnd
