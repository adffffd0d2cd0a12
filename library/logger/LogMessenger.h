#pragma once
// Turns a record into its log line: fills a log record's text from the catalogue template,
// formats the line once and hands it to its agent.

#include <atomic>
#include <cstdint>
#include <string>

#include "core/SmartPointer.h"
#include "logger/LoggerAgent.h"

namespace Quilna {

struct LogRecord;
class Platform;
class SystemServices;

class LogMessenger {
public:
    // Writes through a log file agent bound to "Quilna_Debug.log" in the current directory;
    // nothing is created before the first line.
    explicit LogMessenger(Platform& system);
    // Writes through the given agent; the system takes the records for the system log.
    LogMessenger(SystemServices& services, const SmartPointer<LoggerAgent>& agent);
    LogMessenger(const LogMessenger&) = delete;
    LogMessenger& operator=(const LogMessenger&) = delete;
    // Slot 0.
    virtual ~LogMessenger();
    // Slot 1: false when no agent is there; otherwise the agent's answer. A file error from
    // the agent passes to the caller. A log record also goes to the system log while that is
    // on.
    virtual bool send(const LogRecord& record);

    // Moves the log of a file agent to another path; false for other agents.
    bool setLogFile(const std::string& path);
    // How many rotated copies a file agent keeps; false for other agents.
    bool setRotationKeep(int32_t copies);
    // Whether log records also go to the system log (initially off: the program's logging
    // set-up turns it on, the configuration's "log.syslog" may turn it off).
    void setSystemLog(bool on) { systemLog_.store(on, std::memory_order_relaxed); }
    bool systemLog() const { return systemLog_.load(std::memory_order_relaxed); }
    // The message text of the last FATAL record sent (empty before one): what a program that
    // gives up tells its user.
    const std::string& lastFatalText() const { return lastFatalText_; }
    const SmartPointer<LoggerAgent>& agent() const { return agent_; }

    // The line of a record, its text expanded from the registered catalogue.
    static std::string lineOf(LogRecord& record);

private:
    SystemServices& services_;
    std::atomic<bool> systemLog_{false};  // switched by a reload while others log
    SmartPointer<LoggerAgent> agent_;
    std::string lastFatalText_;
};

}  // namespace Quilna
