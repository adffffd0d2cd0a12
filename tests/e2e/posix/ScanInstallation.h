#pragma once
// A temporary installation of the real program for end-to-end tests: a tree to scan, the
// configuration, rules files, registry resources and result directories, and a run of
// build/bin/hoardscan on them. The file systems file confines the scan to the tree: the run
// still meets every drive of the machine, but exclude_all rules keep it out of everything that
// is neither the tree nor on the way to it.

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/StringUtils.h"
#include "common/SystemInfo.h"
#include "common/DateTime.h"
#include "hoardscan/ResultFileReader.h"
#include "hoardscan/ResultFiles.h"
#include "platform/Platform.h"
#include "support/TestDirectory.h"

namespace Quilna::EndToEnd {

namespace fs = std::filesystem;

inline constexpr int64_t day = 86400;
// Both the program and the test read times in this zone.
inline constexpr const char* zone = "+01:00";

struct Setting {
    std::string type;
    std::string value;
};

class ScanInstallation {
public:
    ScanInstallation() : base_(fs::canonical(directory_.path()).string()) {
        platform().setEnv("QUILNA_TZ", zone);
        DateTime::resetProcessZone();
        for (const char* sub : {"tree", "conf", "results", "side", "log", "runtime", "registry"})
            fs::create_directory(base_ + "/" + sub);
        // The catalogue travels with the installation: a run as another user may not reach the
        // checkout (a clone below a directory only its owner may enter).
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

    // The host name as the program writes it, and the drive the tree lies on.
    static std::string host() {
        std::string domain, computer, architecture, os;
        getSystemInfo(domain, computer, architecture, os);
        return StringUtils::upperCopy(computer);
    }
    static std::string domain() {
        std::string domain, computer, architecture, os;
        getSystemInfo(domain, computer, architecture, os);
        return domain;
    }
    std::string driveOfTree() const {
        for (fs::path at = tree(); ; at = at.parent_path()) {
            if (platform().isMountPoint(at.string())) return at.string();
            if (at == at.parent_path()) return "/";
        }
    }
    static uint64_t cluster(const std::string& directory) {
        uint32_t bytes = 0;
        SystemError error;
        platform().clusterSize(directory, bytes, error);
        return bytes;
    }
    static uint64_t onDisk(uint64_t size, uint64_t cluster) { return (size + cluster - 1) / cluster * cluster; }

    // Rules: the test's own part 2 rules come first, then the tree and the way to it are
    // included, everything else excluded whole.
    std::string extraRules;
    std::string accountsRules;
    std::string temperaturesRules = "hot 7\nwarm 30\ncold 365\nfrozen infinity\n";
    std::string fileTypesRules;
    std::map<std::string, Setting> settings;  // below "hoardscan."
    bool systemLog = false;  // log.syslog: tests keep their records out of the machine's system log

    void writeInstallation() const {
        std::string rules = "@part1\n" + host() + ":" + driveOfTree() + "\n@part2\n" + extraRules;
        rules += "*:*:" + tree() + "* include\n";
        for (fs::path at = fs::path(tree()).parent_path(); ; at = at.parent_path()) {
            rules += "*:*:" + at.string() + " include\n";
            if (at.string() != "/") rules += "*:*:" + at.string() + "/ include\n";
            if (at == at.parent_path()) break;
        }
        rules += "*:*:* exclude_all\n";
        write("conf/filesystems.rules", rules);
        write("conf/accounts.rules", accountsRules);
        write("conf/temperatures.rules", temperaturesRules);
        write("conf/filetypes.rules", fileTypesRules);

        std::string conf = "Quilna () = '' { directories () = '' {\n"
                           "  conf (DirName) = '" + base_ + "/conf' {}\n"
                           "  log (DirName) = '" + base_ + "/log' {}\n} }\n"
                           "log () = '' { syslog (Bool) = \"" + (systemLog ? "true" : "false") +
                           "\" {} global () = '' { severity (String) = 'NOTICE' {} } }\n"
                           "hoardscan () = '' {\n";
        std::map<std::string, std::string> blocks;  // "log.debug-level" goes into a block "log"
        for (const auto& [key, setting] : settings) {
            const std::string entry = "(" + setting.type + ") = '" + setting.value + "' {}\n";
            const size_t dot = key.find('.');
            if (dot == std::string::npos) conf += "  " + key + " " + entry;
            else blocks[key.substr(0, dot)] += "    " + key.substr(dot + 1) + " " + entry;
        }
        for (const auto& [block, entries] : blocks) conf += "  " + block + " () = '' {\n" + entries + "  }\n";
        conf += "}\n";
        write("conf/hoardscan.conf", conf);

        write("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources]\r\n"
              "\"StartupLogDir\"=\"" + base_ + "/log/\"\r\n\"HoardscanDebugLog\"=\"HoardscanDebug.log\"\r\n");
    }

    // Runs the program: wrapper words go before it (setpriv, unshare ...); beforeStart runs in
    // the new process just before the program replaces it. The exit code, or -1 on a signal.
    int run(const std::vector<std::string>& wrapper = {}, const std::function<void()>& beforeStart = {}) {
        writeInstallation();
        return wait(start(wrapper, beforeStart));
    }

    // Starts the program on the installation as last written, without waiting for it; its
    // standard output and error go to the file named output (below the base).
    pid_t start(const std::vector<std::string>& wrapper = {}, const std::function<void()>& beforeStart = {},
                const std::string& output = "output.txt") {
        std::vector<std::string> words = wrapper;
        words.push_back(program_);
        if (arguments) {
            words.insert(words.end(), arguments->begin(), arguments->end());
        } else {
            words.push_back("-c");
            words.push_back(base_ + "/conf/hoardscan.conf");
        }
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const std::string outputPath = base_ + "/" + output;
        startDay_ = ResultFiles::dayStamp(DateTime());
        std::fflush(nullptr);
        // A start that fails before the program runs says why through this pipe; a successful
        // exec closes it empty.
        int failure[2];
        if (::pipe2(failure, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe for starting " << words[0] << ": " << std::strerror(errno);
            return -1;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            auto fail = [&](const std::string& what) {
                const std::string text = what + ": " + std::strerror(errno);
                (void)!::write(failure[1], text.data(), text.size());
                ::_exit(127);
            };
            ::setenv("QUILNA_REGISTRY_ROOT", (base_ + "/registry").c_str(), 1);
            ::setenv("QUILNA_RUNTIME_DIR", (base_ + "/runtime").c_str(), 1);
            ::setenv("QUILNA_TZ", zone, 1);
            ::setenv("HOARDSCAN_TREE", tree().c_str(), 1);
            ::unsetenv("QUILNA_ENV");
            int fd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd < 0) fail("cannot open " + outputPath);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            if (::chdir(base_.c_str()) != 0) fail("cannot enter " + base_);
            if (beforeStart) beforeStart();
            ::execvp(argv[0], argv.data());
            fail("cannot run " + words[0]);
        }
        ::close(failure[1]);
        std::string why;
        char buffer[512];
        for (ssize_t got; (got = ::read(failure[0], buffer, sizeof buffer)) != 0;) {
            if (got > 0) why.append(buffer, static_cast<size_t>(got));
            else if (errno != EINTR) break;
        }
        ::close(failure[0]);
        if (!why.empty()) ADD_FAILURE() << why;
        return child;
    }

    // Waits for a started program; its process id and day stamp name the result files of
    // resultFile() from now on. The exit code, or -1 on a signal.
    int wait(pid_t child) {
        int status = 0;
        usage = {};
        while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        processId = child;
        // A run across noon names its files with the next day.
        dayStamp = startDay_;
        const int32_t after = ResultFiles::dayStamp(DateTime());
        if (!fs::exists(dataFile()) && after != startDay_) {
            dayStamp = after;
            if (!fs::exists(dataFile())) dayStamp = startDay_;
        }
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        // The program has no such exit codes: a wrapper (setpriv, sh) could not run it.
        if (code == 126 || code == 127) ADD_FAILURE() << "the program was not run (exit code " << code << "): " << output();
        return code;
    }

    std::string log() const { return TestSupport::TestDirectory::readFile(base_ + "/log/HoardscanDebug.log"); }
    std::string output() const { return TestSupport::TestDirectory::readFile(base_ + "/output.txt"); }
    size_t logCount(const std::string& text) const {
        const std::string all = log();
        size_t count = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
        return count;
    }

    // The names in a result directory ("results" or "side").
    std::vector<std::string> names(const std::string& sub) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(base_ + "/" + sub)) found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    // A result file of the last run by its stem ("Hoardscan", "HoardscanInactive", ...) and ending.
    std::string resultFile(const std::string& sub, const std::string& stem, const std::string& ending) const {
        return base_ + "/" + sub + "/" + stem + "-" + std::to_string(dayStamp) + "-" + std::to_string(processId) + ending;
    }
    std::string dataFile() const { return resultFile("results", "Hoardscan", ".data"); }

    // Gives the installation to another user and returns the words that run the program as that
    // user without capabilities (root would read and write everything). The program is copied
    // into the installation, which the user can reach whatever the modes of the checkout's
    // directories; everything but the tree becomes the user's own, the tree stays root's and
    // readable by everyone.
    std::vector<std::string> giveTo(uid_t user, gid_t group) {
        fs::create_directory(base_ + "/bin");
        program_ = base_ + "/bin/hoardscan";
        fs::copy_file(HOARDSCAN_PROGRAM, program_, fs::copy_options::overwrite_existing);
        fs::permissions(program_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
        const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
        const fs::perms enterable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        for (const auto& entry : fs::recursive_directory_iterator(base_)) {
            if (entry.is_symlink()) continue;
            if (entry.path().string().rfind(tree(), 0) == 0) {
                fs::permissions(entry.path(), entry.is_directory() ? readable | enterable : readable,
                                fs::perm_options::add);
            } else if (entry.path() != program_ && ::chown(entry.path().c_str(), user, group) != 0) {
                ADD_FAILURE() << "cannot give " << entry.path() << " to user " << user << ": " << std::strerror(errno);
            }
        }
        if (::chown(base_.c_str(), user, group) != 0) ADD_FAILURE() << "cannot give " << base_ << " away";
        const std::string id = std::to_string(user), groupId = std::to_string(group);
        return {"setpriv", "--reuid=" + id, "--regid=" + groupId, "--clear-groups", "--inh-caps=-all"};
    }

    // The program's arguments; by default "-c" and the installation's configuration file.
    std::optional<std::vector<std::string>> arguments;
    pid_t processId = -1;
    int32_t dayStamp = 0;  // of the last run's file names, from the test's own clock and zone
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

inline uid_t nobody() {
    const struct passwd* entry = ::getpwnam("nobody");
    return entry ? entry->pw_uid : 65534;
}
inline gid_t nobodyGroup() {
    const struct passwd* entry = ::getpwnam("nobody");
    return entry ? entry->pw_gid : 65534;
}

}  // namespace Quilna::EndToEnd
