#pragma once
// Runs a function in a forked child process and gives back its exit code, for tests that need
// a second process (locks between processes, a process of another user).

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace Quilna::TestSupport {

class ChildProcess {
public:
    // Starts the child; it ends with the function's result as exit code.
    explicit ChildProcess(const std::function<int()>& body) {
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            int code = 100;
            try {
                code = body();
            } catch (...) {
                code = 101;
            }
            ::_exit(code);
        }
    }
    ~ChildProcess() {
        if (pid_ > 0 && !waited_) wait();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // The exit code, or -1 when the child did not exit normally (or never started).
    int wait() {
        if (pid_ <= 0) return -1;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0) {
        }
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    bool waited_ = false;
};

// One byte messages between a test and its child: a pipe each way.
class Handshake {
public:
    Handshake() {
        if (::pipe(toChild_) != 0 || ::pipe(toParent_) != 0) ok_ = false;
    }
    ~Handshake() {
        for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]})
            if (fd >= 0) ::close(fd);
    }
    Handshake(const Handshake&) = delete;
    Handshake& operator=(const Handshake&) = delete;

    bool ok() const { return ok_; }
    void tellChild(char c) { (void)!::write(toChild_[1], &c, 1); }
    void tellParent(char c) { (void)!::write(toParent_[1], &c, 1); }
    // The next byte, or 0 when none came within the time limit.
    char fromParent() { return next(toChild_[0]); }
    char fromChild() { return next(toParent_[0]); }

private:
    static char next(int fd) {
        struct pollfd wait {fd, POLLIN, 0};
        if (::poll(&wait, 1, 30000) != 1) return 0;
        char c = 0;
        return ::read(fd, &c, 1) == 1 ? c : 0;
    }
    int toChild_[2] = {-1, -1};
    int toParent_[2] = {-1, -1};
    bool ok_ = true;
};

}  // namespace Quilna::TestSupport
