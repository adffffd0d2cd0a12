#pragma once
// System services of the platform: clock and time zone, environment, process, error texts and
// the facts the system information is built from.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/SystemError.h"

namespace Quilna {

// Calendar fields of the C library's local-time conversion.
struct CalendarTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0;  // 0 = Monday ... 6 = Sunday
    int isDst = -1;   // >0 daylight saving, 0 standard time, <0 let the library decide
};

// What a stop signal asks of a run (SIGINT, SIGTERM on POSIX).
namespace StopRequest {
constexpr int None = 0;
constexpr int Interrupt = 1;  // SIGINT, Ctrl-C
constexpr int Terminate = 2;  // SIGTERM
}  // namespace StopRequest

// Raw version facts; the naming rules above the boundary turn them into a text.
struct OsVersion {
    bool ntFamily = true;
    uint32_t major = 0;
    uint32_t minor = 0;
    bool workstation = true;
    uint32_t suiteMask = 0;
    int serverR2Metric = 0;  // system metric 89 (second release of a server version)
    std::string name;        // set by platforms that name themselves (POSIX: os-release)
};

// Severities of the system log, in the order of the program's own (NOTICE ... FATAL).
enum class SystemLogLevel { Notice, Warning, Error, Critical, Fatal };

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // ---- clock, zone, environment, process (System.cpp) ----
    virtual int64_t now() = 0;                                                           // C library clock, UTC seconds
    virtual void initTimeZone() = 0;                                                     // tzset
    virtual bool toLocalCalendar(int64_t utcSeconds, CalendarTime& out) = 0;             // localtime
    virtual bool fromLocalCalendar(const CalendarTime& local, int64_t& utcSeconds) = 0;  // mktime
    virtual bool getEnv(const std::string& name, std::string& value) = 0;
    virtual bool setEnv(const std::string& name, const std::string& value, SystemError& error) = 0;
    virtual bool unsetEnv(const std::string& name, SystemError& error) = 0;
    virtual void sleepMs(uint32_t milliseconds) = 0;
    virtual uint32_t threadId() = 0;
    virtual uint32_t processId() = 0;
    virtual std::string errorText(uint32_t code) = 0;  // a native code; without line end
    [[noreturn]] virtual void exitProcess(int code) = 0;
    // Sets *flag when the session ends or the system shuts down (SIGTERM, SIGHUP; with
    // includeInterrupt also SIGINT / console Ctrl-C).
    virtual void watchStopSignals(std::atomic<bool>* flag, bool includeInterrupt) = 0;
    // Sets *flag when asked to reopen the output files (SIGHUP, as log rotation sends it), which
    // then no longer sets the flag of watchStopSignals. Windows sends no such request.
    virtual void watchReopenSignal(std::atomic<bool>* flag) = 0;
    // Stores into *request the StopRequest of a signal that asks the program to stop early
    // (SIGINT, SIGTERM). A SIGTERM still sets the flag of watchStopSignals. A GUI program on
    // Windows gets no such signals: the request stays None there.
    virtual void watchStopRequests(std::atomic<int>* request) = 0;
    // Whether a process of this id runs (also one of another user).
    virtual bool processExists(uint32_t processId) = 0;
    // Whether the thread of this id runs in that process (the process's own id counts as its
    // first thread's): false once either has ended.
    virtual bool processHasThread(uint32_t processId, uint32_t threadId) = 0;

    // ---- system information (System.cpp) ----
    virtual uint32_t processorArchitecture() = 0;  // Windows numbers: 0 i386 ... 9 amd64, 12 arm64
    virtual bool osVersion(OsVersion& out) = 0;
    virtual bool computerName(std::string& out) = 0;
    virtual bool dnsDomain(std::string& out) = 0;
    virtual bool workgroup(std::string& out) = 0;
    virtual bool userName(std::string& out) = 0;
    virtual bool isWow64() = 0;
    // Whether standard error is a terminal a person watches (on Windows: a console), for a
    // progress line that would only clutter a file or a pipe.
    virtual bool standardErrorIsTerminal() = 0;
    // Hands all bytes to standard output at once, unbuffered, so that a full disk or a closed
    // pipe is known at the line that met it.
    virtual bool writeStandardOutput(const std::string& bytes, SystemError& error) = 0;

    // ---- the system log (System.cpp) ----
    // Hands one message to the system log: on POSIX syslog(3), facility daemon, tagged with the
    // program's name and process id; where nobody listens it is dropped. Windows keeps no such
    // log here: the records stay in the program's own log and reach the collector.
    virtual void writeSystemLog(SystemLogLevel level, const std::string& message) = 0;
};

}  // namespace Quilna
