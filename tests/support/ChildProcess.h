#pragma once
// A program started with its words (or on POSIX a function in a fork), killed if still running at the end.

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace Quilna::TestSupport {

struct ChildOptions {
    std::string output = {};  // standard output, and standard error unless errors names a file
    std::string errors = {};
    std::vector<std::pair<std::string, std::string>> environment = {};  // POSIX: for the child; "" unsets
    std::string directory = {};
    std::function<void()> beforeStart = {};  // POSIX: in the child, before the program replaces it
};

class ChildProcess {
public:
    // Starts a program; the first word is its path or a name found on the search path.
    explicit ChildProcess(std::vector<std::string> words, const ChildOptions& options = {}) {
#ifdef _WIN32
        std::string line;
        for (const std::string& word : words) line += (line.empty() ? "\"" : " \"") + word + "\"";
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (!options.output.empty()) {
            output_ = ::CreateFileA(options.output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = startup.hStdError = output_;
        }
        // A program that crashes ends with its exception's code, where a debugger or a dialog would
        // hold it: the child inherits the error mode.
        ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        started_ =
            ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, !options.output.empty(), CREATE_NO_WINDOW, nullptr,
                             options.directory.empty() ? nullptr : options.directory.c_str(), &startup, &process_) != 0;
#else
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::fflush(nullptr);
        if ((pid_ = ::fork()) != 0) return;
        for (const auto& [name, value] : options.environment)
            value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
        if (!options.output.empty()) ::dup2(::open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        if (!options.errors.empty() || !options.output.empty())
            ::dup2(options.errors.empty() ? 1 : ::open(options.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0) ::_exit(127);
        if (options.beforeStart) options.beforeStart();
        ::execvp(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
#endif
    }
#ifndef _WIN32
    // Runs the function in a forked child; its result is the exit code (101 when it throws).
    explicit ChildProcess(const std::function<int()>& body) {
        std::fflush(nullptr);
        if ((pid_ = ::fork()) != 0) return;
        int code = 101;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
#endif
    ~ChildProcess() {
        if (started() && !waited_) stop(9);  // SIGKILL
#ifdef _WIN32
        if (started_) ::CloseHandle(process_.hProcess), ::CloseHandle(process_.hThread);
        if (output_ != INVALID_HANDLE_VALUE) ::CloseHandle(output_);
#endif
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

#ifdef _WIN32
    static std::string besideThisProgram(const std::string& name) {
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        return (std::filesystem::path(self).parent_path() / (name + ".exe")).string();
    }
    bool started() const { return started_; }
    unsigned long id() const { return process_.dwProcessId; }
    // The exit code; -1 when the child never started.
    int wait() {
        DWORD code = 0;
        waited_ = started_ && ::WaitForSingleObject(process_.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                  ::GetExitCodeProcess(process_.hProcess, &code);
        return waited_ ? static_cast<int>(code) : -1;
    }
    int stop(int = 0) {
        if (started_ && !waited_) ::TerminateProcess(process_.hProcess, 99);
        return wait();
    }
#else
    static std::string besideThisProgram(const std::string& name) {
        return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
    }
    bool started() const { return pid_ > 0; }
    pid_t id() const { return pid_; }
    // Whether it has ended, without reaping it: its exit code stays for wait().
    bool ended() const {
        siginfo_t info{};
        return !started() || waited_ ||
               (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid_);
    }
    // The exit code; -1 when a signal ended it, or it never started or is no child of this process.
    int wait() {
        int result = 0;
        while (started() && !waited_ && (result = ::wait4(pid_, &status_, 0, &usage_)) < 0 && errno == EINTR) {
        }
        if (result < 0) status_ = -1;
        waited_ = true;
        return started() && status_ != -1 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    int stop(int signal = SIGTERM) {
        if (started() && !waited_) ::kill(pid_, signal);
        return wait();
    }
    // The kernel's account of the child once waited for: processor time, largest memory.
    const struct rusage& usage() const { return usage_; }
#endif

private:
#ifdef _WIN32
    PROCESS_INFORMATION process_{};
    HANDLE output_ = INVALID_HANDLE_VALUE;
    bool started_ = false;
#else
    pid_t pid_ = -1;
    int status_ = 0;
    rusage usage_{};
#endif
    bool waited_ = false;
};

#ifndef _WIN32
// One byte messages between a test and its child: a pipe each way.
class Handshake {
public:
    Handshake() { (void)!(::pipe(toChild_) == 0 && ::pipe(toParent_) == 0); }
    ~Handshake() {
        for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]})
            if (fd >= 0) ::close(fd);
    }
    Handshake(const Handshake&) = delete;
    Handshake& operator=(const Handshake&) = delete;

    void tellChild(char c) { (void)!::write(toChild_[1], &c, 1); }
    void tellParent(char c) { (void)!::write(toParent_[1], &c, 1); }
    // The next byte, or 0 when none came within 30 s.
    char fromParent() { return next(toChild_[0]); }
    char fromChild() { return next(toParent_[0]); }

private:
    static char next(int fd) {
        pollfd wait{fd, POLLIN, 0};
        char c = 0;
        return ::poll(&wait, 1, 30000) == 1 && ::read(fd, &c, 1) == 1 ? c : 0;
    }
    int toChild_[2] = {-1, -1};
    int toParent_[2] = {-1, -1};
};
#endif

}  // namespace Quilna::TestSupport
