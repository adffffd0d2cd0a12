#pragma once
// The logger the program's code calls: one per module, one operation per severity and two
// for debug lines. Every operation answers true when the record was filtered out, otherwise
// whether the line was written.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "core/SmartPointer.h"
#include "logger/LoggerCentre.h"
#include "platform/SystemServices.h"
#include "text/ParamStream.h"

namespace Quilna {

class LoggerUnit {
public:
    // Logs "LoggerUnit: Created logger for the <module> module." at debug level 1.
    // The system tells the thread that logs each record.
    LoggerUnit(SystemServices& services, const SmartPointer<LoggerCentre>& centre, int32_t module);
    LoggerUnit(const LoggerUnit&) = delete;
    LoggerUnit& operator=(const LoggerUnit&) = delete;
    // Slot 0: logs the farewell at debug level 1 and lets the centre go.
    virtual ~LoggerUnit();

    // Whether debug lines of this level are written now; lets callers skip building their
    // parameters.
    static bool isDebugOn(int32_t level);

    // Debug lines. No operation of the unit throws: a log that cannot take a line loses the
    // line (false), never the caller.
    bool debug(int32_t level, const char* text);
    bool debug(int32_t level, const std::string& text);
    bool debug(int32_t level, const char* format, const ParamStream& params);

    // Catalogue messages; false also when the record could not be forwarded.
    bool notice(int32_t id);
    bool notice(int32_t id, const ParamStream& params);
    // A notice that passes every severity filter: the one record a monitor of the fleet needs.
    bool noticeAlways(int32_t id, const ParamStream& params);
    bool warning(int32_t id, const ParamStream& params);
    bool error(int32_t id);
    bool error(int32_t id, const ParamStream& params);
    bool critical(int32_t id, const ParamStream& params);
    bool fatal(int32_t id);
    bool fatal(int32_t id, const ParamStream& params);

    int32_t module() const { return module_; }

    // Warnings and errors of one catalogue message are logged so many times at most (0: no
    // limit); the rest are counted, so that one fault met at every file cannot fill the disk.
    void limitRepeats(uint64_t perMessage);
    // For each message that went over the limit, one WARNING of the summary message with the
    // message number, how many were left out and the limit; the counts start afresh.
    void reportRepeats(int32_t summaryMessage);

private:
    bool logDebug(int32_t level, const std::string& text);
    bool logMessage(int32_t severity, int32_t id, const std::string& params);
    // Builds the record (level: the debug level or the severity, by kind) and hands it on.
    bool submit(uint8_t kind, int32_t level, int32_t id, const std::string& text);
    void greet(const char* format);

    SystemServices& services_;
    int32_t module_;
    // Whether the record is one more than the limit lets through (it is counted then).
    bool overRepeatLimit(int32_t severity, int32_t id);

    std::mutex repeatGuard_;
    uint64_t repeatLimit_ = 0;
    std::map<int32_t, uint64_t> repeats_;  // warnings and errors per message number
    // A holder of the centre rather than a bare pointer: a unit that outlives the owners of
    // its centre still logs safely.
    SmartPointer<LoggerCentre> centre_;
};

}  // namespace Quilna
