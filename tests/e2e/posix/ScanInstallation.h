#pragma once
// A temporary installation of the real program for end-to-end tests: a tree to scan, the
// configuration, rules files, registry resources and result directories, and runs of
// build/bin/hoardscan on them. The file systems file confines the scan to the tree: exclude_all
// rules keep it out of everything that is neither the tree nor on the way to it.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hoardscan/ResultFileReader.h"
#include "hoardscan/ResultFiles.h"
#include "platform/Platform.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"
#include "system/SystemInfo.h"
#include "text/StringUtils.h"
#include "time/DateTime.h"

namespace Quilna::EndToEnd {

namespace fs = std::filesystem;

inline constexpr int64_t day = 86400;
inline constexpr const char* zone = "+01:00";  // both the program and the test read times in it

inline size_t countOf(const std::string& text, const std::string& wanted) {
    size_t count = 0;
    for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) ++count;
    return count;
}

struct Setting {
    std::string type;
    std::string value;
};

class ScanInstallation {
public:
    ScanInstallation() : base_(fs::canonical(directory_.path()).string()) {
        platform().setEnv("QUILNA_TZ", zone);
        DateTime::resetProcessZone();
        for (const char* sub : {"tree", "conf", "results", "side", "log", "runtime"})
            fs::create_directory(base_ + "/" + sub);
        // The catalogue travels with the installation: a run as another user may not reach the checkout.
        fs::copy(HOARDSCAN_EXAMPLE_INSTALLATION "LogMessages", base_ + "/conf/LogMessages");
        fs::create_directories(base_ + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna");
        settings = {
            {"working-dir", {"DirName", base_ + "/results"}},
            {"temp-dir", {"DirName", base_ + "/side"}},
            {"filesystems", {"FileName", base_ + "/conf/filesystems.rules"}},
            {"hoardscan", {"FileName", base_ + "/conf/accounts.rules"}},
            {"temperatures", {"FileName", base_ + "/conf/temperatures.rules"}},
            {"filename", {"FileName", base_ + "/conf/filetypes.rules"}},
            {"filetype", {"Integer", "0"}},
            {"extension", {"Bool", "false"}},
            {"inactive-log", {"Bool", "false"}},
            {"temperature-log", {"Bool", "false"}},
            {"filesystems-in-parallel", {"Integer", "1"}},
            {"log.debug-level", {"Integer", "1"}},
        };
    }

    const std::string& base() const { return base_; }
    std::string tree() const { return base_ + "/tree"; }
    std::string path(const std::string& relative) const { return tree() + "/" + relative; }

    // A file of the tree with its size, last access and last write so many days ago.
    void file(const std::string& relative, size_t size, int64_t accessDays = 1, int64_t modifyDays = 1) {
        const std::string full = path(relative);
        fs::create_directories(fs::path(full).parent_path());
        std::ofstream(full, std::ios::binary) << std::string(size, 'q');
        age(full, accessDays, modifyDays);
    }
    static void age(const std::string& full, int64_t accessDays, int64_t modifyDays) {
        const time_t now = ::time(nullptr);
        // An hour more, so that a day boundary cannot pass during the run.
        struct timespec times[2] = {{now - accessDays * day - 3600, 0}, {now - modifyDays * day - 3600, 0}};
        ::utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    // The computer as the program names it, and the drive the tree lies on.
    static std::string host() {
        std::string domain, computer, architecture, os;
        getSystemInfo(domain, computer, architecture, os);
        return StringUtils::upperCopy(computer);
    }
    std::string driveOfTree() const {
        fs::path at = tree();
        while (!platform().isMountPoint(at.string()) && at != at.parent_path()) at = at.parent_path();
        return at.string();
    }

    // Rules: the test's own part 2 rules first, then the tree and the way to it included,
    // everything else excluded whole.
    std::string extraRules;
    std::string accountsRules;
    std::string temperaturesRules = "hot 7\nwarm 30\ncold 365\nfrozen infinity\n";
    std::string fileTypesRules;
    std::map<std::string, Setting> settings;  // below "hoardscan."
    bool systemLog = false;                   // tests keep their records out of the machine's system log

    void writeInstallation() const {
        // The drive of the tree is also named in part 1: it is walked once all the same.
        std::string rules =
            "@part1\n" + host() + ":" + driveOfTree() + "\n@part2\n" + extraRules + "*:*:" + tree() + "* include\n";
        for (fs::path at = fs::path(tree()).parent_path();; at = at.parent_path()) {
            rules += "*:*:" + at.string() + " include\n";
            if (at.string() != "/") rules += "*:*:" + at.string() + "/ include\n";
            if (at == at.parent_path()) break;
        }
        write("conf/filesystems.rules", rules + "*:*:* exclude_all\n");
        write("conf/accounts.rules", accountsRules);
        write("conf/temperatures.rules", temperaturesRules);
        write("conf/filetypes.rules", fileTypesRules);

        std::string conf = "Quilna () = '' { directories () = '' {\n  conf (DirName) = '" + base_ +
                           "/conf' {}\n  log (DirName) = '" + base_ +
                           "/log' {}\n} }\n"
                           "log () = '' { syslog (Bool) = \"" +
                           (systemLog ? "true" : "false") +
                           "\" {} global () = '' { severity (String) = 'NOTICE' {} } }\nhoardscan () = '' {\n";
        std::map<std::string, std::string> blocks;  // "log.debug-level" goes into a block "log"
        for (const auto& [key, setting] : settings) {
            const std::string entry = "(" + setting.type + ") = '" + setting.value + "' {}\n";
            const size_t dot = key.find('.');
            if (dot == std::string::npos) conf += "  " + key + " " + entry;
            else blocks[key.substr(0, dot)] += "    " + key.substr(dot + 1) + " " + entry;
        }
        for (const auto& [block, entries] : blocks) conf += "  " + block + " () = '' {\n" + entries + "  }\n";
        write("conf/hoardscan.conf", conf + "}\n");
        write("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources]\r\n"
              "\"StartupLogDir\"=\"" +
                  base_ + "/log/\"\r\n\"HoardscanDebugLog\"=\"HoardscanDebug.log\"\r\n");
    }

    // Writes the installation, runs the program and waits: the exit code, -1 on a signal.
    int run(const std::vector<std::string>& wrapper = {}, const std::function<void()>& beforeStart = {}) {
        writeInstallation();
        return wait(start(wrapper, beforeStart));
    }

    // Starts the program on the installation as last written: wrapper words (setpriv, unshare
    // ...) go before it, beforeStart runs in the new process just before the program replaces
    // it, standard output and error go to the file named output (below the base).
    pid_t start(const std::vector<std::string>& wrapper = {}, const std::function<void()>& beforeStart = {},
                const std::string& output = "output.txt") {
        std::vector<std::string> words = wrapper;
        words.push_back(program_);
        const std::vector<std::string> rest =
            arguments.value_or(std::vector<std::string>{"-c", base_ + "/conf/hoardscan.conf"});
        words.insert(words.end(), rest.begin(), rest.end());
        startDay_ = ResultFiles::dayStamp(DateTime());
        auto child = std::make_unique<TestSupport::ChildProcess>(
            words, TestSupport::ChildOptions{base_ + "/" + output,
                                             "",
                                             {{"QUILNA_REGISTRY_ROOT", base_ + "/registry"},
                                              {"QUILNA_RUNTIME_DIR", base_ + "/runtime"},
                                              {"QUILNA_TZ", zone},
                                              {"HOARDSCAN_TREE", tree()},
                                              {"QUILNA_ENV", ""}},
                                             base_,
                                             beforeStart});
        const pid_t id = child->id();
        children_[id] = std::move(child);
        return id;
    }

    // Waits for a started program; its process id and day stamp name the result files of
    // resultFile() from now on. The exit code, -1 on a signal.
    int wait(pid_t started) {
        TestSupport::ChildProcess& child = *children_.at(started);
        const int code = child.wait();
        usage = child.usage();
        processId = started;
        // A run across noon names its files with the next day.
        dayStamp = startDay_;
        if (!fs::exists(dataFile())) dayStamp = ResultFiles::dayStamp(DateTime());
        if (!fs::exists(dataFile())) dayStamp = startDay_;
        // The program has no such exit codes: a wrapper (setpriv, sh) could not run it.
        if (code == 126 || code == 127)
            ADD_FAILURE() << "the program was not run (exit code " << code << "): " << output();
        return code;
    }

    std::string log() const { return TestSupport::TestDirectory::readFile(base_ + "/log/HoardscanDebug.log"); }
    std::string output() const { return TestSupport::TestDirectory::readFile(base_ + "/output.txt"); }
    size_t logCount(const std::string& text) const { return countOf(log(), text); }

    // The names in a result directory ("results" or "side").
    std::vector<std::string> names(const std::string& sub) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(base_ + "/" + sub))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    // A result file of the last run by its stem ("Hoardscan", "HoardscanInactive", ...) and ending.
    std::string resultFile(const std::string& sub, const std::string& stem, const std::string& ending) const {
        return base_ + "/" + sub + "/" + stem + "-" + std::to_string(dayStamp) + "-" + std::to_string(processId) +
               ending;
    }
    std::string dataFile() const { return resultFile("results", "Hoardscan", ".data"); }

    // Gives the installation to another user and returns the words that run the program as
    // that user without capabilities (root reads and writes everything). The program is copied
    // into the installation, which the user can reach whatever the modes of the checkout; the
    // tree stays root's and readable by everyone.
    std::vector<std::string> giveTo(uid_t user, gid_t group) {
        fs::create_directory(base_ + "/bin");
        program_ = base_ + "/bin/hoardscan";
        fs::copy_file(HOARDSCAN_PROGRAM, program_, fs::copy_options::overwrite_existing);
        const fs::perms everyone = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
        const fs::perms enter = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        fs::permissions(program_, everyone | enter | fs::perms::owner_write);
        for (const auto& entry : fs::recursive_directory_iterator(base_)) {
            if (entry.is_symlink()) continue;
            if (entry.path().string().rfind(tree(), 0) == 0)
                fs::permissions(entry.path(), entry.is_directory() ? everyone | enter : everyone,
                                fs::perm_options::add);
            else if (entry.path() != program_ && ::chown(entry.path().c_str(), user, group) != 0)
                ADD_FAILURE() << "cannot give " << entry.path() << " away: " << std::strerror(errno);
        }
        if (::chown(base_.c_str(), user, group) != 0) ADD_FAILURE() << "cannot give " << base_ << " away";
        return {"setpriv", "--reuid=" + std::to_string(user), "--regid=" + std::to_string(group), "--clear-groups",
                "--inh-caps=-all"};
    }

    std::optional<std::vector<std::string>> arguments;  // by default "-c" and the configuration file
    pid_t processId = -1;
    int32_t dayStamp = 0;    // of the last run's file names, from the test's own clock and zone
    struct rusage usage {};  // what the last run waited for took: processor time, largest memory

private:
    // Readable by every user, whatever the umask: some runs are another user's.
    void write(const std::string& relative, const std::string& text) const {
        std::ofstream(base_ + "/" + relative, std::ios::binary | std::ios::trunc) << text;
        fs::permissions(base_ + "/" + relative, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                        fs::perm_options::add);
    }

    TestSupport::TestDirectory directory_;
    std::string base_;
    std::string program_ = HOARDSCAN_PROGRAM;
    int32_t startDay_ = 0;
    std::map<pid_t, std::unique_ptr<TestSupport::ChildProcess>> children_;
};

inline bool runningAsRoot() { return ::geteuid() == 0; }

// Processor seconds (user and system) and largest resident memory (MiB) of a waited-for child.
inline double processorSeconds(const struct rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
inline double largestMemoryMiB(const struct rusage& usage) { return static_cast<double>(usage.ru_maxrss) / 1024.0; }
#if defined(HOARDSCAN_SANITIZED)
constexpr bool memoryIsMeasured = false;  // shadow memory and quarantine, not the program's own
#else
constexpr bool memoryIsMeasured = true;
#endif

inline uid_t nobody() { return ::getpwnam("nobody") ? ::getpwnam("nobody")->pw_uid : 65534; }
inline gid_t nobodyGroup() { return ::getpwnam("nobody") ? ::getpwnam("nobody")->pw_gid : 65534; }

}  // namespace Quilna::EndToEnd
