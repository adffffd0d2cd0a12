// POSIX: clock, local time, environment, process and system information.
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

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
    out.year = fields.tm_year + 1900;
    out.month = fields.tm_mon + 1;
    out.day = fields.tm_mday;
    out.hour = fields.tm_hour;
    out.minute = fields.tm_min;
    out.second = fields.tm_sec;
    out.weekday = (fields.tm_wday + 6) % 7;
    out.isDst = fields.tm_isdst;
    return true;
}

bool NativePlatform::fromLocalCalendar(const CalendarTime& local, int64_t& utcSeconds) {
    struct tm fields {};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = local.isDst;
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

bool NativePlatform::setEnv(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool NativePlatform::unsetEnv(const std::string& name) { return ::unsetenv(name.c_str()) == 0; }

void NativePlatform::sleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t NativePlatform::threadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

uint32_t NativePlatform::processId() { return static_cast<uint32_t>(::getpid()); }

uint32_t NativePlatform::lastError() { return static_cast<uint32_t>(errno); }

std::string NativePlatform::errorText(uint32_t code) {
    char buffer[256] = {};
    // GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

void NativePlatform::exitProcess(int code) { std::exit(code); }

namespace {
std::atomic<std::atomic<bool>*> stopFlag{nullptr};

extern "C" void raiseStopFlag(int) {
    if (auto* flag = stopFlag.load()) flag->store(true);
}
}  // namespace

void NativePlatform::watchStopSignals(std::atomic<bool>* flag, bool includeInterrupt) {
    stopFlag.store(flag);
    struct sigaction action {};
    action.sa_handler = raiseStopFlag;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    if (includeInterrupt) ::sigaction(SIGINT, &action, nullptr);
}

// System information: filled in with the registry and system-information slice.
uint32_t NativePlatform::processorArchitecture() { return 0xFFFF; }
bool NativePlatform::osVersion(OsVersion&) { return false; }
bool NativePlatform::computerName(std::string&) { return false; }
bool NativePlatform::dnsDomain(std::string&) { return false; }
bool NativePlatform::workgroup(std::string&) { return false; }
bool NativePlatform::userName(std::string&) { return false; }
bool NativePlatform::isWow64() { return false; }

}  // namespace Quilna
