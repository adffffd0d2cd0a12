#pragma once
// Control over a running program: waiting for what its log or its files show, and reading its
// log line by line.

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "ScanInstallation.h"
#include "support/Eventually.h"

namespace Quilna::EndToEnd {

using namespace std::chrono_literals;
using TestSupport::eventually;

// Whether a child has ended, without reaping it: its exit code stays for wait().
inline bool hasEnded(pid_t child) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
}

// The lines of a log text, without their CR LF; a last line without its end is kept as it is.
inline std::vector<std::string> logLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Waits until the log of a started run holds the text; false when the run ended first.
inline bool logShows(const ScanInstallation& installation, const std::string& text, pid_t run) {
    const auto shown = [&] { return installation.log().find(text) != std::string::npos; };
    eventually([&] { return shown() || hasEnded(run); });
    return shown();
}

// The number of files an account record file counts.
inline double filesCounted(const std::string& dataFile) {
    double files = 0;
    for (const auto& entry : ResultFileReader(dataFile).accountTotals()) files += entry.second.files;
    return files;
}

// A Unix datagram socket bound at a path by the calling process; -1 on failure.
inline int boundSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

}  // namespace Quilna::EndToEnd
