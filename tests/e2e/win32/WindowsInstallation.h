#pragma once
// A temporary installation of the real Windows programs for end-to-end tests: a tree to scan,
// hoardscan.conf, a file systems file that confines the scan to the tree, the example
// installation's other rules files and message catalogue, and registry resources imported with
// the system's "reg import" from the example installation's .reg file. The programs are
// started as separate processes and their results read back.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hoardscan/ResultFileReader.h"
#include "platform/Platform.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"
#include "system/SystemInfo.h"
#include "text/StringUtils.h"

namespace Quilna::WindowsEndToEnd {

namespace fs = std::filesystem;

// A path of the build machine as this system reaches it: the emulator shows the build
// machine's root as drive Z:.
inline std::string systemPath(std::string path) {
    if (path.empty() || path[0] != '/') return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

inline std::string exampleInstallation() { return systemPath(HOARDSCAN_EXAMPLE_INSTALLATION); }

// A text inside a quoted value of a configuration file or a .reg file: "\" is written "\\".
inline std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// UTF-8 to the system's UTF-16.
inline std::wstring wide(const std::string& text) {
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), units);
    return out;
}

inline std::string readText(const std::string& path) { return TestSupport::TestDirectory::readFile(path); }

class WindowsInstallation {
public:
    explicit WindowsInstallation(std::string resourceKey) : key_(std::move(resourceKey)) {
        for (const char* sub : {"tree", "conf", "results", "side", "log"}) fs::create_directory(base_ + "\\" + sub);
        settings = {
            {"working-dir", {"DirName", base_ + "\\results"}},
            {"temp-dir", {"DirName", base_ + "\\side"}},
            {"filesystems", {"FileName", base_ + "\\conf\\filesystems.rules"}},
            {"hoardscan", {"FileName", exampleInstallation() + "accounts.rules"}},
            {"temperatures", {"FileName", exampleInstallation() + "temperatures.rules"}},
            {"filename", {"FileName", exampleInstallation() + "filetypes.rules"}},
            {"filetype", {"Integer", "1"}},
            {"extension", {"Bool", "false"}},
            {"inactive-log", {"Bool", "false"}},
            {"temperature-log", {"Bool", "false"}},
            {"filesystems-in-parallel", {"Integer", "1"}},
            {"log.debug-level", {"Integer", "1"}},
        };
    }

    const std::string& base() const { return base_; }
    const std::string& key() const { return key_; }
    std::string tree() const { return base_ + "\\tree"; }
    std::string path(const std::string& relative) const { return tree() + "\\" + relative; }

    // A file of the tree holding so many bytes, last read and written so many days ago. The
    // name is UTF-8 ("/" or "\\" between its parts); the path may be longer than the plain forms.
    void file(const std::string& relative, size_t size, int64_t ageDays = 0) const {
        std::wstring full = L"\\\\?\\" + wide(path(relative));
        std::replace(full.begin(), full.end(), L'/', L'\\');
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
            ULARGE_INTEGER now{};
            FILETIME current{};
            ::GetSystemTimeAsFileTime(&current);
            now.LowPart = current.dwLowDateTime;
            now.HighPart = current.dwHighDateTime;
            now.QuadPart -= static_cast<ULONGLONG>(ageDays * 24 + 1) * 3600 * 10000000;
            const FILETIME old{now.LowPart, now.HighPart};
            ::SetFileTime(file, nullptr, &old, &old);
        }
        ::CloseHandle(file);
    }

    // Extra rules of the file systems file's second part, tried before the tree's own.
    std::string extraRules;
    std::string accountsRules;  // replaces the example's accounts file when set
    std::map<std::string, std::pair<std::string, std::string>> settings;  // below "hoardscan.": type, value

    // The rules, the configuration, and the resources in the registry key.
    void write() const {
        std::string rules = "@part1\n@part2\n" + extraRules + "*:*:" + tree() + "* include\n";
        for (fs::path at = fs::path(tree()).parent_path();; at = at.parent_path()) {
            std::string text = at.string();
            if (text.size() > 2 && text.back() == '\\') text.pop_back();  // the root "C:\" as "C:"
            rules += "*:*:" + text + " include\n*:*:" + text + "\\ include\n";
            if (at == at.parent_path()) break;
        }
        rules += "*:*:* exclude_all\n";
        writeFile("conf\\filesystems.rules", rules);

        std::map<std::string, std::pair<std::string, std::string>> all = settings;
        if (!accountsRules.empty()) {
            writeFile("conf\\accounts.rules", accountsRules);
            all["hoardscan"] = {"FileName", base_ + "\\conf\\accounts.rules"};
        }
        std::string conf =
            "Quilna () = '' { directories () = '' {\n"
            "  conf (DirName) = '" +
            escaped(exampleInstallation()) +
            "' {}\n"
            "  log (DirName) = '" +
            escaped(base_ + "\\log") +
            "' {}\n} }\n"
            "log () = '' { global () = '' { severity (String) = 'NOTICE' {} }\n"
            "  rotation () = '' { scheme (String) = 'init' {} } }\n"
            "hoardscan () = '' {\n";
        std::map<std::string, std::string> blocks;
        for (const auto& [name, setting] : all) {
            const std::string entry = "(" + setting.first + ") = '" + escaped(setting.second) + "' {}\n";
            const size_t dot = name.find('.');
            if (dot == std::string::npos) conf += "  " + name + " " + entry;
            else blocks[name.substr(0, dot)] += "    " + name.substr(dot + 1) + " " + entry;
        }
        for (const auto& [block, entries] : blocks) conf += "  " + block + " () = '' {\n" + entries + "  }\n";
        writeFile("conf\\hoardscan.conf", conf + "}\n");
        importResources();
    }

    // The example installation's .reg file with this installation's key and directories,
    // imported with the system's own tool.
    void importResources() const {
        std::string text = readText(exampleInstallation() + "resources.reg");
        ASSERT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources]"), std::string::npos);
        replace(text, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources]", "[HKEY_LOCAL_MACHINE\\" + key_ + "]");
        replaceValue(text, "ConfigurationDir", escaped(base_ + "\\conf\\"));
        replaceValue(text, "StartupLogDir", escaped(base_ + "\\log\\"));
        writeFile("resources.reg", text);
        TestSupport::ChildProcess reg({"reg.exe", "import", base_ + "\\resources.reg", "/reg:64"},
                                      {base_ + "\\reg-import.txt", "", {}, base_});
        ASSERT_EQ(reg.wait(), 0) << readText(base_ + "\\reg-import.txt");
    }

    // Runs hoardscan.exe without arguments: the configuration comes from the resources.
    int run() {
        TestSupport::ChildProcess program({TestSupport::ChildProcess::besideThisProgram("hoardscan")},
                                          {"", "", {}, base_});
        processId = program.id();
        return program.wait();
    }

    // The finished account record file of the last run, and its side files.
    std::string dataFile() const { return resultFile(".data"); }
    std::string resultFile(const std::string& ending, const std::string& sub = "results") const {
        for (const auto& entry : fs::directory_iterator(base_ + "\\" + sub)) {
            const std::string name = entry.path().filename().string();
            const auto parsed = ResultFileReader::parseName(name);
            if (parsed && parsed->processId == processId && name.ends_with(ending)) return entry.path().string();
        }
        return std::string();
    }
    std::vector<AccountRecord> records() const {
        const std::string data = dataFile();
        if (data.empty()) return {};
        return ResultFileReader(data).accountRecords();
    }

    std::string log() const { return readText(base_ + "\\log\\HoardscanDebug.log"); }

    // A resource value of the installation's key, or nothing.
    std::optional<std::string> resource(const std::string& name) const {
        uint32_t type = 0;
        std::string data;
        if (platform().readRegistry(key_, name, true, type, data) != 0) return std::nullopt;
        while (!data.empty() && data.back() == '\0') data.pop_back();
        return data;
    }

    uint32_t processId = 0;

private:
    void writeFile(const std::string& relative, const std::string& text) const {
        std::ofstream(base_ + "\\" + relative, std::ios::binary | std::ios::trunc) << text;
    }
    static void replace(std::string& text, const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    // "Name"="old" becomes "Name"="value".
    static void replaceValue(std::string& text, const std::string& name, const std::string& value) {
        const std::string start = "\"" + name + "\"=\"";
        const size_t at = text.find(start);
        if (at == std::string::npos) return;
        const size_t close = text.rfind('"', text.find_first_of("\r\n", at));
        if (close == std::string::npos || close < at + start.size()) return;
        text.replace(at + start.size(), close - at - start.size(), value);
    }

    TestSupport::TestDirectory directory_;
    std::string base_ = fs::canonical(directory_.path()).string();
    std::string key_;
};

// Files, bytes and bytes on disk summed over the records.
inline AccountValues totals(const std::vector<AccountRecord>& records) {
    AccountValues sum;
    for (const AccountRecord& record : records) sum += record.values;
    return sum;
}

inline uint64_t onDisk(uint64_t size) {
    uint32_t cluster = 0;
    SystemError error;
    if (!platform().clusterSize("C:", cluster, error) || cluster == 0) return size;
    return (size + cluster - 1) / cluster * cluster;
}

}  // namespace Quilna::WindowsEndToEnd
