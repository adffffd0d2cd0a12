#pragma once
// Control over a running program for the fault tests: waiting for what its log or its files
// show, holding it still (SIGSTOP) while the test changes the world under it, and reading the
// log line by line.

#include <set>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {

using namespace std::chrono_literals;

// Polls a condition every millisecond until it holds or the time is up; its last answer.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return condition();
}

// Whether a child has ended, without reaping it: its exit code stays for wait().
inline bool hasEnded(pid_t child) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
}

// The process state letter of /proc/<pid>/stat ('T' stopped, 'Z' ended), 0 when unknown.
inline char processState(pid_t process) {
    const std::string stat = TestSupport::TestDirectory::readFile("/proc/" + std::to_string(process) + "/stat");
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// Holds a process still for a scope: stopped on construction, continued on destruction.
class Stopped {
public:
    explicit Stopped(pid_t process) : process_(process) {
        ::kill(process_, SIGSTOP);
        eventually([&] {
            const char state = processState(process_);
            return state == 'T' || state == 't' || state == 'Z' || state == 0;
        }, 10s);
    }
    ~Stopped() { ::kill(process_, SIGCONT); }
    Stopped(const Stopped&) = delete;
    Stopped& operator=(const Stopped&) = delete;

private:
    pid_t process_;
};

// Where a walking process stands in a tree: the directories below the tree that it holds open.
inline std::string positionOf(pid_t process, const std::string& tree) {
    std::error_code ignored;
    std::set<std::string> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/fd", ignored)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), ignored).string();
        if (target.rfind(tree, 0) == 0) open.insert(target);
    }
    std::string position;
    for (const std::string& directory : open) position += directory + "\n";
    return position;
}

// Reads a growing log line by line: each call gives the lines completed since the last.
class LogFollower {
public:
    explicit LogFollower(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> newLines() {
        std::vector<std::string> lines;
        std::ifstream file(path_, std::ios::binary);
        if (!file) return lines;
        file.seekg(static_cast<std::streamoff>(offset_));
        const std::string more((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        pending_ += more;
        offset_ += more.size();
        size_t start = 0;
        for (size_t end = pending_.find("\r\n"); end != std::string::npos; end = pending_.find("\r\n", start)) {
            lines.push_back(pending_.substr(start, end - start));
            start = end + 2;
        }
        pending_.erase(0, start);
        return lines;
    }

    // Waits until a line holds the text and gives that line; empty when the process ended or
    // the time ran out first.
    std::string waitForLine(const std::string& text, pid_t process, std::chrono::milliseconds limit = 30s) {
        std::string found;
        auto look = [&] {
            for (const std::string& line : newLines())
                if (found.empty() && line.find(text) != std::string::npos) found = line;
            return !found.empty();
        };
        eventually([&] { return look() || hasEnded(process); }, limit);
        look();
        return found;
    }
    bool waitFor(const std::string& text, pid_t process, std::chrono::milliseconds limit = 30s) {
        return !waitForLine(text, process, limit).empty();
    }

private:
    std::string path_;
    size_t offset_ = 0;
    std::string pending_;
};

// The thread that wrote a log line ("... (17.17.18) 4242: text"): the process id for the
// program's one thread; -1 when the line has none.
inline pid_t writerOf(const std::string& line) {
    const size_t close = line.find(") ");
    if (close == std::string::npos) return -1;
    size_t start = line.find_first_not_of(' ', close + 1);
    const size_t colon = line.find(": ", start);
    if (start == std::string::npos || colon == std::string::npos || colon == start) return -1;
    for (size_t i = start; i < colon; ++i)
        if (line[i] < '0' || line[i] > '9') return -1;
    return static_cast<pid_t>(std::stol(line.substr(start, colon - start)));
}

// The lines of a log text, without their CR LF; a last line without its end is kept as it is.
inline std::vector<std::string> logLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Counts the occurrences of a text.
inline size_t countOf(const std::string& text, const std::string& wanted) {
    size_t count = 0;
    for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) ++count;
    return count;
}

// The number of files an account record file counts.
inline double filesCounted(const std::string& dataFile) {
    double files = 0;
    for (const auto& entry : ResultFileReader(dataFile).accountTotals()) files += entry.second.files;
    return files;
}

// The names in a directory that end in the text.
inline std::vector<std::string> namesEndingIn(const std::string& directory, const std::string& ending) {
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            found.push_back(directory + "/" + name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace Quilna::EndToEnd
