#pragma once
// The real hoardscan-collector as a child process of an end-to-end test: started with its
// words, its standard error (and output, unless that goes elsewhere) kept in a file, and ended
// by the test or, at the latest, by its destructor.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "RunControl.h"
#include "common/StringUtils.h"
#include "platform/Platform.h"

namespace Quilna::EndToEnd {

class CollectorProcess {
public:
    // The collector built next to the program.
    static std::string program() { return (fs::path(HOARDSCAN_PROGRAM).parent_path() / "hoardscan-collector").string(); }
    // The name each collected line starts with.
    static std::string host() {
        std::string name;
        platform().computerName(name);
        return StringUtils::toUpper(name);
    }
    // The lines of a collector's output without that name and its blank (a line that lacks it
    // is kept whole, so that it differs from every line sent).
    static std::vector<std::string> collectedLines(const std::string& output) {
        const std::string prefix = host() + " ";
        std::vector<std::string> lines = logLines(output);
        for (std::string& line : lines)
            if (line.starts_with(prefix)) line.erase(0, prefix.size());
        return lines;
    }

    // words: the collector and its arguments, or a wrapper that starts it; environment: variables
    // set for it alone.
    CollectorProcess(std::vector<std::string> words, std::string errors, const std::string& standardOutput = "",
                     const std::vector<std::pair<std::string, std::string>>& environment = {},
                     rlim_t addressSpace = RLIM_INFINITY)
        : errors_(std::move(errors)) {
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
            const struct rlimit limit {addressSpace, addressSpace};
            if (addressSpace != RLIM_INFINITY) ::setrlimit(RLIMIT_AS, &limit);
            const int fd = ::open(errors_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(standardOutput.empty() ? fd : ::open(standardOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            ::dup2(fd, 2);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~CollectorProcess() {
        if (!ended_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    CollectorProcess(const CollectorProcess&) = delete;
    CollectorProcess& operator=(const CollectorProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Ready once it has said so on standard error; false when it ended instead.
    bool ready(std::chrono::milliseconds limit = 10s) const {
        return eventually([&] { return errors().find("receiving on mailslot") != std::string::npos || hasEnded(pid_); },
                          limit) &&
               !hasEnded(pid_);
    }
    std::string errors() const { return TestSupport::TestDirectory::readFile(errors_); }
    // Its view of a path, which differs inside a mount namespace of its own: only while it runs.
    std::string inside(const std::string& path) const { return "/proc/" + std::to_string(pid_) + "/root" + path; }

    // The exit code after SIGTERM, or -1 when a signal ended it.
    int stop() {
        if (!ended_) ::kill(pid_, SIGTERM);
        return wait();
    }
    // The exit code, or -1 when a signal ended it.
    int wait() {
        if (!ended_) {
            while (::wait4(pid_, &status_, 0, &usage_) < 0 && errno == EINTR) {
            }
            ended_ = true;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // What it took, once it has ended: processor time, largest memory.
    const struct rusage& usage() const { return usage_; }

private:
    struct rusage usage_ {};
    std::string errors_;
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
};

}  // namespace Quilna::EndToEnd
