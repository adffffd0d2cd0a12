// POSIX: clock, local time, environment, process and system information.
#include <netdb.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <thread>

#include "platform/CalendarFields.h"
#include "platform/posix/PosixImpl.h"

namespace Quilna {

NativePlatform::NativePlatform() : impl_(std::make_unique<Impl>()) {}
NativePlatform::~NativePlatform() = default;

int64_t NativePlatform::now() { return static_cast<int64_t>(::time(nullptr)); }

void NativePlatform::initTimeZone() { ::tzset(); }

bool NativePlatform::toLocalCalendar(int64_t utcSeconds, CalendarTime& out) {
    time_t t = static_cast<time_t>(utcSeconds);
    struct tm fields {};
    if (!::localtime_r(&t, &fields)) return false;
    out = calendarFromFields(fields);
    return true;
}

bool NativePlatform::fromLocalCalendar(const CalendarTime& local, int64_t& utcSeconds) {
    struct tm fields = fieldsFromCalendar(local);
    errno = 0;
    time_t t = ::mktime(&fields);
    if (t == static_cast<time_t>(-1) && errno != 0) return false;
    utcSeconds = static_cast<int64_t>(t);
    return true;
}

bool NativePlatform::getEnv(const std::string& name, std::string& value) {
    const char* found = ::getenv(name.c_str());
    if (!found) return false;
    value = found;
    return true;
}

bool NativePlatform::setEnv(const std::string& name, const std::string& value, SystemError& error) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0 || posix::fail(error);
}

bool NativePlatform::unsetEnv(const std::string& name, SystemError& error) {
    return ::unsetenv(name.c_str()) == 0 || posix::fail(error);
}

void NativePlatform::sleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t NativePlatform::threadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

uint32_t NativePlatform::processId() { return static_cast<uint32_t>(::getpid()); }

namespace posix {
SystemError systemError(int code) {
    switch (code) {
        case 0: return SystemError{};
        case ENOENT:
        case ENOTDIR: return {ErrorKind::NotFound, static_cast<uint32_t>(code)};
        case EACCES:
        case EPERM:
        case EROFS: return {ErrorKind::AccessDenied, static_cast<uint32_t>(code)};
        case ETXTBSY:
        case EBUSY: return {ErrorKind::SharingViolation, static_cast<uint32_t>(code)};
        case ENOSPC:
        case EDQUOT: return {ErrorKind::DiskFull, static_cast<uint32_t>(code)};
        case ENOMEM: return {ErrorKind::NoMemory, static_cast<uint32_t>(code)};
        case EEXIST:
        case ENOTEMPTY: return {ErrorKind::Exists, static_cast<uint32_t>(code)};
        case ENETUNREACH:
        case ENETDOWN:
        case EHOSTUNREACH: return {ErrorKind::NoNetwork, static_cast<uint32_t>(code)};
        default: return {ErrorKind::Other, static_cast<uint32_t>(code)};
    }
}

SystemError lastSystemError() { return systemError(errno); }

bool fail(SystemError& error, int code) {
    // A call that failed without a reason of its own still fails.
    error = systemError(code != 0 ? code : EIO);
    return false;
}

bool fail(SystemError& error) { return fail(error, errno); }
}  // namespace posix

std::string NativePlatform::errorText(uint32_t code) {
    char buffer[256] = {};
    // GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

void NativePlatform::exitProcess(int code) { std::exit(code); }

namespace {
std::atomic<std::atomic<bool>*> stopFlag{nullptr};
std::atomic<bool> interruptSetsFlag{false};
std::atomic<std::atomic<int>*> stopRequest{nullptr};
std::atomic<std::atomic<bool>*> reopenFlag{nullptr};

// One handler for every stop signal, so that SIGTERM serves both watchers. SIGHUP asks for a
// reopen instead where the program watches for one.
extern "C" void onStopSignal(int signal) {
    if (auto* reopen = reopenFlag.load(); reopen && signal == SIGHUP) {
        reopen->store(true);
        return;
    }
    auto* flag = stopFlag.load();
    if (flag && (signal != SIGINT || interruptSetsFlag.load())) flag->store(true);
    auto* request = stopRequest.load();
    if (request && signal == SIGINT) request->store(StopRequest::Interrupt);
    if (request && signal == SIGTERM) request->store(StopRequest::Terminate);
}

void handleSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}
}  // namespace

void NativePlatform::watchStopSignals(std::atomic<bool>* flag, bool includeInterrupt) {
    stopFlag.store(flag);
    interruptSetsFlag.store(includeInterrupt);
    handleSignal(SIGTERM);
    handleSignal(SIGHUP);
    if (includeInterrupt) handleSignal(SIGINT);
}

void NativePlatform::watchReopenSignal(std::atomic<bool>* flag) {
    reopenFlag.store(flag);
    handleSignal(SIGHUP);
}

bool posix::stopRequested() {
    const std::atomic<int>* request = stopRequest.load();
    return request && request->load() != StopRequest::None;
}

void NativePlatform::watchStopRequests(std::atomic<int>* request) {
    stopRequest.store(request);
    handleSignal(SIGTERM);
    handleSignal(SIGINT);
}

bool NativePlatform::processExists(uint32_t processId) {
    if (processId == 0 || processId > static_cast<uint32_t>(std::numeric_limits<pid_t>::max())) return false;
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

bool NativePlatform::processHasThread(uint32_t processId, uint32_t threadId) {
    if (processId == 0 || threadId == 0) return false;
    if (threadId == processId) return true;
    const std::string task = "/proc/" + std::to_string(processId) + "/task/" + std::to_string(threadId);
    return ::access(task.c_str(), F_OK) == 0;
}

// ---- System information ----

uint32_t posix::architectureOf(const std::string& machine) {
    const auto starts = [&](const char* prefix) { return machine.rfind(prefix, 0) == 0; };
    if (machine == "x86_64" || machine == "amd64") return 9;
    if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0) return 0;  // i386 ... i686
    if (machine == "ia64") return 6;
    if (machine == "aarch64" || machine == "arm64") return 12;
    if (starts("arm")) return 5;
    if (starts("ppc") || starts("powerpc")) return 3;
    if (starts("mips")) return 1;
    if (starts("alpha")) return 2;
    return 0xFFFF;
}

namespace {

std::string prettyName(const char* path) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) return posix::osReleaseValue(line.substr(12));
    }
    return std::string();
}

}  // namespace

std::string posix::osReleaseValue(const std::string& raw) {
    std::string value;
    char quote = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < raw.size()) {
            value += raw[++i];
        } else {
            value += c;
        }
    }
    return value;
}

std::string posix::hostName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    return buffer;
}

uint32_t NativePlatform::processorArchitecture() {
    struct utsname names {};
    if (::uname(&names) != 0) return 0xFFFF;
    return posix::architectureOf(names.machine);
}

bool NativePlatform::osVersion(OsVersion& out) {
    struct utsname names {};
    if (::uname(&names) != 0) return false;
    out = OsVersion{};
    out.ntFamily = true;
    out.workstation = true;
    // The kernel release, "6.1.0-13-amd64", gives the numbers.
    // from_chars leaves a number that does not fit 32 bits at 0 instead of cutting it.
    const char* end = names.release + std::strlen(names.release);
    std::from_chars(names.release, end, out.major);
    if (const char* dot = std::strchr(names.release, '.')) std::from_chars(dot + 1, end, out.minor);
    out.name = prettyName("/etc/os-release");
    if (out.name.empty()) out.name = std::string(names.sysname) + " " + names.release;
    return true;
}

bool NativePlatform::computerName(std::string& out) {
    const std::string host = posix::hostName();
    if (host.empty()) return false;
    out = host.substr(0, host.find('.'));
    return true;
}

bool NativePlatform::dnsDomain(std::string& out) {
    std::string canonical = posix::hostName();
    if (canonical.empty()) return false;
    struct addrinfo hints {};
    hints.ai_flags = AI_CANONNAME;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    if (::getaddrinfo(canonical.c_str(), nullptr, &hints, &found) == 0) {
        if (found && found->ai_canonname) canonical = found->ai_canonname;
        ::freeaddrinfo(found);
    }
    const size_t dot = canonical.find('.');
    out = dot == std::string::npos ? std::string() : canonical.substr(dot + 1);
    return true;
}

bool NativePlatform::workgroup(std::string& out) {
    char buffer[256] = {};
    if (::getdomainname(buffer, sizeof buffer - 1) != 0) return false;
    const std::string name = buffer;
    if (name.empty() || name == "(none)") return false;  // no NIS domain set
    out = name;
    return true;
}

bool NativePlatform::userName(std::string& out) { return posix::accountName(::geteuid(), out); }

bool NativePlatform::isWow64() { return false; }

bool NativePlatform::standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool NativePlatform::writeStandardOutput(const std::string& bytes, SystemError& error) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t put = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (put > 0) done += static_cast<size_t>(put);
        else if (put == 0) return posix::fail(error, ENOSPC);
        else if (errno != EINTR) return posix::fail(error);
    }
    return true;
}

namespace {

int syslogPriority(SystemLogLevel level) {
    switch (level) {
        case SystemLogLevel::Notice: return LOG_NOTICE;
        case SystemLogLevel::Warning: return LOG_WARNING;
        case SystemLogLevel::Error: return LOG_ERR;
        case SystemLogLevel::Critical: return LOG_CRIT;
        case SystemLogLevel::Fatal: return LOG_ALERT;
    }
    return LOG_NOTICE;
}

}  // namespace

void NativePlatform::writeSystemLog(SystemLogLevel level, const std::string& message) {
    // The program's own name as the tag (the C library's default), with the process id.
    std::call_once(impl_->systemLogOnce, [] { ::openlog(nullptr, LOG_PID, LOG_DAEMON); });
    ::syslog(syslogPriority(level), "%s", message.c_str());
}

}  // namespace Quilna
