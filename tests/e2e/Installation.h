#pragma once
// A temporary installation of the real program, confined to a tree of its own, for the end-to-end
// tests of both systems; the result files of a run read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "results/ResultFileReader.h"
#include "hoardscan/tallies/ResultFiles.h"
#include "platform/Platform.h"
#include "support/TestDirectory.h"
#include "text/StringUtils.h"
#include "time/DateTime.h"

namespace Quilna::EndToEnd {

namespace fs = std::filesystem;

inline constexpr char separator = static_cast<char>(fs::path::preferred_separator);
inline constexpr const char* zone = "+01:00";  // both the program and the test read times in it

inline size_t countOf(const std::string& text, const std::string& wanted) {
    size_t count = 0;
    for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) ++count;
    return count;
}

// Whether the text holds the wanted one; a failure shows the whole text.
inline ::testing::AssertionResult holds(const std::string& text, const std::string& wanted) {
    if (text.find(wanted) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << wanted << "\" in:\n" << text;
}

// A text inside a quoted value of a configuration file or a .reg file.
inline std::string escaped(const std::string& text) { return std::regex_replace(text, std::regex(R"(\\)"), R"(\\)"); }

// Under the emulator, the build machine's root is drive Z:.
inline std::string exampleInstallation() {
    std::string path = HOARDSCAN_EXAMPLE_INSTALLATION;
    StringUtils::replaceChar(path, '/', separator);
    return separator == '/' ? path : "Z:" + path;
}

inline std::string host() {
    std::string name;
    platform().computerName(name);
    return StringUtils::upperCopy(name);
}

using Setting = std::pair<std::string, std::string>;  // a type and a value

// A tree whose names are written in several scripts, with an emoji and a path of more than 300 characters.
namespace UnicodeTree {

inline std::string longWay() {
    std::string way;
    for (int level = 1; level <= 7; ++level)
        way += "ebene-" + std::to_string(level) + "-" + std::string(36, 'x') + "-ü/";
    return way;
}

// Paths relative to the tree, "/" between the parts, and sizes.
inline std::vector<std::pair<std::string, size_t>> files() {
    std::vector<std::pair<std::string, size_t>> files;
    for (const char* path :
         {"名前.txt", "émoji😀.txt", "Ünïcödé/straße.doc", "目录/файл.txt", "目录/子/文件.doc", "Ελληνικά/αρχείο.txt",
          "עברית/קובץ.txt", "한국어/파일.txt", "mixed/naïve café.txt", "ascii/plain.txt"})
        files.push_back({path, 11 + files.size()});
    files.push_back({longWay() + "tief.txt", 21});
    return files;
}

// The directory whose files the accounts file below charges to an account of its own.
inline const std::string accountedDirectory = "目录", accountOfDirectory = "账户";

// An accounts file in UTF-8: the files below the accounted directory go to its account, others to "other".
inline std::string accountsRules(const std::string& tree, char separator) {
    return "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" + tree + separator + accountedDirectory +
           separator + "*\naccount=" + accountOfDirectory + "\n}\nentry\n{\ndir=*\naccount=other\n}\n}\n}\n}\n}\n";
}

}  // namespace UnicodeTree

class Installation {
public:
    Installation() : base_(fs::canonical(directory_.path()).string()) {
        SystemError error;
        platform().setEnv("QUILNA_TZ", zone, error);
        DateTime::resetProcessZone();
        for (const char* sub : {"tree", "conf", "results", "side", "log"}) fs::create_directory(at(sub));
        // The catalogue travels with the installation: a run as another user may not reach the checkout.
        fs::copy(exampleInstallation() + "LogMessages", at("conf/LogMessages"));
        settings = {
            {"Quilna.directories.conf", {"DirName", at("conf")}},
            {"Quilna.directories.log", {"DirName", at("log")}},
            {"log.global.severity", {"String", "NOTICE"}},
            {"hoardscan.working-dir", {"DirName", at("results")}},
            {"hoardscan.temp-dir", {"DirName", at("side")}},
            {"hoardscan.filetype", {"Integer", "0"}},
            {"hoardscan.extension", {"Bool", "false"}},
            {"hoardscan.inactive-log", {"Bool", "false"}},
            {"hoardscan.temperature-log", {"Bool", "false"}},
            {"hoardscan.filesystems-in-parallel", {"Integer", "1"}},
            {"hoardscan.log.debug-level", {"Integer", "1"}},
            {"hoardscan.filesystems", {"FileName", at("conf/filesystems.rules")}},
            {"hoardscan.hoardscan", {"FileName", at("conf/accounts.rules")}},
            {"hoardscan.temperatures", {"FileName", at("conf/temperatures.rules")}},
            {"hoardscan.filename", {"FileName", at("conf/filetypes.rules")}},
        };
        resources = {{"StartupLogDir", at("log") + separator}, {"HoardscanDebugLog", "HoardscanDebug.log"}};
    }

    const std::string& base() const { return base_; }
    // A place below the installation, or below its tree; "/" may part the names.
    std::string at(std::string relative) const {
        StringUtils::replaceChar(relative, '/', separator);
        return base_ + separator + relative;
    }
    std::string tree() const { return at("tree"); }
    std::string path(const std::string& relative) const { return at("tree/" + relative); }

    std::string extraRules;  // of the file systems file's second part, tried before the tree's own
    std::string accountsRules;
    std::string temperaturesRules = "hot 7\nwarm 30\ncold 365\nfrozen infinity\n";
    std::string fileTypesRules;
    std::map<std::string, Setting> settings;  // hoardscan.conf by dotted names
    std::string resourceKey = "SOFTWARE\\Quilna\\Resources";
    std::map<std::string, std::string> resources;  // string values of the key

    std::string log() const { return TestSupport::TestDirectory::readFile(at("log/HoardscanDebug.log")); }
    size_t logCount(const std::string& text) const { return countOf(log(), text); }

    // A result file of the last run by its place, stem ("Hoardscan", "HoardscanInactive") and ending.
    std::string resultFile(const std::string& sub, const std::string& stem, const std::string& ending) const {
        return at(sub + "/" + stem + "-" + std::to_string(dayStamp) + "-" + std::to_string(processId) + ending);
    }
    std::string dataFile() const { return resultFile("results", "Hoardscan", ".data"); }
    std::vector<AccountRecord> records() const {
        return ResultFileReader(platform(), platform(), dataFile()).accountRecords();
    }

    uint64_t processId = 0;
    int32_t dayStamp = 0;  // of the last run's file names, from the test's own clock and zone

protected:
    // The rules files, hoardscan.conf, and the text of a .reg file with the resources.
    std::string writeFiles(const std::string& part1) const {
        writeFile("conf/filesystems.rules", fileSystemsRules(part1));
        writeFile("conf/accounts.rules", accountsRules);
        writeFile("conf/temperatures.rules", temperaturesRules);
        writeFile("conf/filetypes.rules", fileTypesRules);
        writeFile("conf/hoardscan.conf", configuration());
        std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + resourceKey + "]\r\n";
        for (const auto& [name, value] : resources) reg += "\"" + name + "\"=\"" + escaped(value) + "\"\r\n";
        return reg;
    }

    // Readable by every user, whatever the umask: some runs are another user's.
    void writeFile(const std::string& relative, const std::string& text) const {
        std::ofstream(at(relative), std::ios::binary | std::ios::trunc) << text;
        fs::permissions(at(relative), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                        fs::perm_options::add);
    }

    // After a run: its process id and day stamp name the result files; a run across noon, the next day.
    void ran(uint64_t process, int32_t startDay) {
        processId = process;
        dayStamp = startDay;
        if (!fs::exists(dataFile())) dayStamp = ResultFiles::dayStamp(DateTime());
        if (!fs::exists(dataFile())) dayStamp = startDay;
    }

private:
    // The test's own part 2 rules first, then the tree and the way to it included.
    std::string fileSystemsRules(const std::string& part1) const {
        std::string rules = "@part1\n" + part1 + "@part2\n" + extraRules + "*:*:" + tree() + "* include\n";
        for (fs::path way = fs::path(tree()).parent_path();; way = way.parent_path()) {
            std::string text = way.string();
            if (text.size() > 1 && text.back() == separator) text.pop_back();  // the root "C:\" as "C:"
            rules += "*:*:" + text + " include\n";
            if (text != "/") rules += "*:*:" + text + separator + " include\n";
            if (way == way.parent_path()) break;
        }
        return rules + "*:*:* exclude_all\n";
    }

    // "log.global.severity" is the entry severity in the block global of the block log.
    std::string configuration() const {
        std::string text;
        std::vector<std::string> open;  // the blocks around the next entry
        for (const auto& [name, setting] : settings) {
            const std::vector<std::string> parts = StringUtils::split(name, '.');
            size_t same = 0;
            while (same < open.size() && same + 1 < parts.size() && open[same] == parts[same]) ++same;
            for (; open.size() > same; open.pop_back()) text += "}\n";
            for (; open.size() + 1 < parts.size(); open.push_back(parts[open.size()]))
                text += parts[open.size()] + " () = '' {\n";
            text += parts.back() + " (" + setting.first + ") = '" + escaped(setting.second) + "' {}\n";
        }
        return text + std::string(open.size(), '}') + "\n";
    }

    TestSupport::TestDirectory directory_;
    std::string base_;
};

}  // namespace Quilna::EndToEnd
