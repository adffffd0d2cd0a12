#pragma once
// The installation on POSIX: a registry root and runtime directory of its own, runs of the program
// (also as another user), and the real hoardscan-collector as a child.

#include <fcntl.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "e2e/Installation.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"

namespace Quilna::EndToEnd {

using namespace std::chrono_literals;
using TestSupport::eventually;

class ScanInstallation : public Installation {
public:
    ScanInstallation() {
        fs::create_directories(at("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna"));
        fs::create_directory(at("runtime"));
        settings["log.syslog"] = {"Bool", "false"};  // kept out of the machine's system log
    }

    // A file of the tree with its size, last access and last write so many days ago.
    void file(const std::string& relative, size_t size, int64_t accessDays = 1, int64_t modifyDays = 1) {
        fs::create_directories(fs::path(path(relative)).parent_path());
        std::ofstream(path(relative), std::ios::binary) << std::string(size, 'q');
        age(path(relative), accessDays, modifyDays);
    }
    static void age(const std::string& full, int64_t accessDays, int64_t modifyDays) {
        const time_t now = ::time(nullptr);
        // An hour more, so that a day boundary cannot pass during the run.
        struct timespec times[2] = {{now - accessDays * 86400 - 3600, 0}, {now - modifyDays * 86400 - 3600, 0}};
        ::utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    // Every side file: the temperature log of the band monitored, and the directory totals, from so
    // many MiB on.
    void writeEveryResultFile(const std::string& monitored, int fromMiB) {
        settings["hoardscan.inactive-log"] = {"Bool", "true"};
        settings["hoardscan.temperature-log"] = {"Bool", "true"};
        settings["hoardscan.temperature-monitor"] = {"String", monitored};
        settings["hoardscan.temperature-monitor-size"] = {"Integer", std::to_string(fromMiB)};
        settings["hoardscan.extension"] = {"Bool", "true"};
        settings["hoardscan.directory-totals"] = {"Bool", "true"};
        settings["hoardscan.directory-totals-size"] = {"Integer", std::to_string(fromMiB)};
    }

    std::set<std::string> inactiveListed(size_t cut = 0) const {
        std::set<std::string> listed;
        for (const InactiveRow& row :
             ResultFileReader(platform(), platform(), resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
            listed.insert(row.directory.substr(cut) + row.name);
        return listed;
    }

    std::string resourcesFile() const { return at("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg"); }

    // Whether the log holds each line exactly so many times (once by default); a failure shows the log.
    ::testing::AssertionResult logged(const std::vector<std::string>& lines, size_t times = 1) const {
        for (const std::string& line : lines)
            if (logCount(line) != times)
                return ::testing::AssertionFailure() << logCount(line) << " times \"" << line << "\" in:\n" << log();
        return ::testing::AssertionSuccess();
    }

    // The drive of the tree is also named in part 1: it is walked once all the same.
    void writeInstallation() const {
        fs::path drive = tree();
        while (!platform().isMountPoint(drive.string()) && drive != drive.parent_path()) drive = drive.parent_path();
        writeFile(resourcesFile().substr(base().size() + 1),
                  writeFiles(extraRoots + host() + ":" + drive.string() + "\n"));
    }

    int run(const std::vector<std::string>& wrapper = {}) {
        writeInstallation();
        return wait(start(wrapper));
    }

    // Starts the program as last written, after wrapper words; beforeStart runs just before exec.
    pid_t start(const std::vector<std::string>& wrapper = {}, const std::function<void()>& beforeStart = {}) {
        std::vector<std::string> words = wrapper;
        words.push_back(program_);
        words.insert(words.end(), arguments.begin(), arguments.end());
        startDay_ = ResultFiles::dayStamp(DateTime());
        TestSupport::ChildOptions options{at("output.txt"), "", {}, base(), beforeStart};
        options.environment = {{"QUILNA_REGISTRY_ROOT", at("registry")},
                               {"QUILNA_RUNTIME_DIR", at("runtime")},
                               {"QUILNA_TZ", zone},
                               {"HOARDSCAN_TREE", tree()},
                               {"QUILNA_ENV", ""}};
        auto child = std::make_unique<TestSupport::ChildProcess>(words, options);
        const pid_t id = child->id();
        children_[id] = std::move(child);
        return id;
    }
    bool ended(pid_t started) const { return children_.at(started)->ended(); }
    // The exit code, -1 on a signal; a run still going after four minutes waits for ever.
    int wait(pid_t started) {
        TestSupport::ChildProcess& child = *children_.at(started);
        if (!eventually([&] { return child.ended(); }, 240s)) {
            ADD_FAILURE() << "the run still waits after four minutes";
            child.stop(SIGKILL);
        }
        const int code = child.wait();
        usage = child.usage();
        ran(static_cast<uint64_t>(started), startDay_);
        // The program has no such exit codes: a wrapper (setpriv, sh) could not run it.
        if (code == 126 || code == 127)
            ADD_FAILURE() << "the program was not run (exit code " << code << "): " << output();
        return code;
    }

    std::string output() const { return TestSupport::TestDirectory::readFile(at("output.txt")); }

    // The words that run a copy of the program (and of the collector) as that user without
    // capabilities, the installation theirs; the tree stays root's, readable by all.
    std::vector<std::string> giveTo(uid_t user, gid_t group) {
        fs::create_directory(at("bin"));
        program_ = at("bin/hoardscan");
        fs::copy_file(HOARDSCAN_PROGRAM, program_, fs::copy_options::overwrite_existing);
        fs::copy_file(TestSupport::ChildProcess::besideThisProgram("hoardscan-collector"),
                      at("bin/hoardscan-collector"));
        const fs::perms everyone = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
        const fs::perms enter = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        fs::permissions(program_, everyone | enter | fs::perms::owner_write);
        for (const auto& entry : fs::recursive_directory_iterator(base())) {
            if (entry.is_symlink()) continue;
            if (entry.path().string().rfind(tree(), 0) == 0)
                fs::permissions(entry.path(), entry.is_directory() ? everyone | enter : everyone,
                                fs::perm_options::add);
            else if (entry.path() != program_ && ::chown(entry.path().c_str(), user, group) != 0)
                ADD_FAILURE() << "cannot give " << entry.path() << " away: " << std::strerror(errno);
        }
        if (::chown(base().c_str(), user, group) != 0) ADD_FAILURE() << "cannot give " << base() << " away";
        return {"setpriv", "--reuid=" + std::to_string(user), "--regid=" + std::to_string(group), "--clear-groups",
                "--inh-caps=-all"};
    }

    std::vector<std::string> arguments = {"-c", at("conf/hoardscan.conf")};
    std::string extraRoots;  // lines of part 1 before the tree's drive
    struct rusage usage {};  // what the last run waited for took: processor time, largest memory

private:
    std::string program_ = HOARDSCAN_PROGRAM;
    int32_t startDay_ = 0;
    std::map<pid_t, std::unique_ptr<TestSupport::ChildProcess>> children_;
};

// The real hoardscan-collector: its standard error (and output, unless that goes elsewhere) in a file.
class CollectorProcess : public TestSupport::ChildProcess {
public:
    static std::string program() { return besideThisProgram("hoardscan-collector"); }

    // Run with the arguments after the words, by default the program alone.
    CollectorProcess(const std::vector<std::string>& arguments, const std::string& runtime, std::string errors,
                     const std::string& output = "", std::vector<std::string> words = {program()})
        : ChildProcess(
              (words.insert(words.end(), arguments.begin(), arguments.end()), std::move(words)),
              {output.empty() ? errors : output, output.empty() ? "" : errors, {{"QUILNA_RUNTIME_DIR", runtime}}}),
          errors_(std::move(errors)) {}

    // Ready once it has said so on standard error; false when it ended instead.
    bool ready() const {
        bool said = false;
        eventually([&] { return (said = errors().find("receiving on mailslot") != std::string::npos) || ended(); },
                   10s);
        return said && !ended();
    }
    std::string errors() const { return TestSupport::TestDirectory::readFile(errors_); }

private:
    std::string errors_;
};

// Stands in for the system log's socket: a run in a mount namespace of its own, whose /dev is a
// copy in which /dev/log is bound to this socket, sends its system log records here.
class SystemLogSocket {
public:
    explicit SystemLogSocket(std::string path)
        : path_(std::move(path)), fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~SystemLogSocket() { ::close(fd_); }
    SystemLogSocket(const SystemLogSocket&) = delete;
    SystemLogSocket& operator=(const SystemLogSocket&) = delete;

    bool bound() const { return bound_; }
    // The words that run the program so, after the shell commands given (each followed by "&&");
    // exit code 97 when the namespace cannot be made. $S is a place for the copy's layers.
    std::vector<std::string> wrapper(const std::string& before = "") const {
        const std::string script = R"(S="$HOARDSCAN_TREE/../dev-layers"; )" + before +
                                   R"(mkdir -p "$S" && mount -t tmpfs tmpfs "$S" && mkdir "$S/upper" "$S/work" &&
mount -t overlay overlay -o "lowerdir=/dev,upperdir=$S/upper,workdir=$S/work" /dev &&
rm -f /dev/log && touch /dev/log && mount --bind "$0" /dev/log || exit 97; exec "$@")";
        return {"unshare", "--mount", "--propagation", "private", "sh", "-c", script, path_};
    }
    // Takes what arrives until done (a sender whose datagrams find the queue full waits), then
    // what is left.
    const std::vector<std::string>& receiveUntil(const std::function<bool()>& done) {
        eventually([&] { return drain(), done(); }, 120s);
        drain();
        return received_;
    }

private:
    void drain() {
        char buffer[8192];
        for (ssize_t got; (got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            received_.emplace_back(buffer, static_cast<size_t>(got));
    }

    std::string path_;
    int fd_;
    bool bound_ = false;
    std::vector<std::string> received_;
};

inline double filesCounted(const std::string& dataFile) {
    double files = 0;
    for (const auto& entry : ResultFileReader(platform(), platform(), dataFile).accountTotals())
        files += entry.second.files;
    return files;
}

inline bool runningAsRoot() { return ::geteuid() == 0; }
inline uid_t nobody() { return ::getpwnam("nobody") ? ::getpwnam("nobody")->pw_uid : 65534; }
inline gid_t nobodyGroup() { return ::getpwnam("nobody") ? ::getpwnam("nobody")->pw_gid : 65534; }

inline double processorSeconds(const struct rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace Quilna::EndToEnd
