#pragma once
// The installation on Windows: the example installation's rules, the resources imported into a
// registry key with the system's "reg import", and hoardscan.exe started without arguments.

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "e2e/Installation.h"
#include "support/ChildProcess.h"

namespace Quilna::WindowsEndToEnd {

using namespace EndToEnd;

inline std::string readText(const std::string& path) { return TestSupport::TestDirectory::readFile(path); }

// UTF-8 to the system's UTF-16.
inline std::wstring wide(const std::string& text) {
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), units);
    return out;
}

class WindowsInstallation : public Installation {
public:
    explicit WindowsInstallation(std::string key) {
        resourceKey = std::move(key);
        resources["ConfigurationDir"] = at("conf") + "\\";
        accountsRules = readText(exampleInstallation() + "accounts.rules");
        fileTypesRules = readText(exampleInstallation() + "filetypes.rules");
        settings["hoardscan.filetype"] = {"Integer", "1"};
        settings["log.rotation.scheme"] = {"String", "init"};
    }

    // A file of the tree, last read and written so many days ago; the path may be longer than MAX_PATH.
    void file(const std::string& relative, size_t size, int64_t ageDays = 0) const {
        const std::wstring full = L"\\\\?\\" + wide(path(relative));
        for (size_t at = full.find(L'\\', 7); at != std::wstring::npos; at = full.find(L'\\', at + 1))
            ::CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
        HANDLE file =
            ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
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

    // A resource value of the installation's key, or nothing.
    std::optional<std::string> resource(const std::string& name) const {
        uint32_t type = 0;
        std::string data;
        if (platform().readRegistry(resourceKey, name, true, type, data) != 0) return std::nullopt;
        while (!data.empty() && data.back() == '\0') data.pop_back();
        return data;
    }
};

inline uint64_t onDisk(uint64_t size) {
    uint32_t cluster = 0;
    SystemError error;
    if (!platform().clusterSize("C:", cluster, error) || cluster == 0) return size;
    return (size + cluster - 1) / cluster * cluster;
}

}  // namespace Quilna::WindowsEndToEnd
