#include "logger/LoggerUnit.h"

#include "logger/LogCommons.h"
#include "logger/LogState.h"

namespace Quilna {

LoggerUnit::LoggerUnit(SystemServices& services, const SmartPointer<LoggerCentre>& centre, int32_t module)
    : services_(services), module_(module), centre_(centre) {
    greet("LoggerUnit: Created logger for the %s module.");
}

LoggerUnit::~LoggerUnit() {
    greet("LoggerUnit: Destroyed logger for the %s module.");
    centre_.reset();
}

// A unit is made and destroyed whether or not its greeting reaches the log.
void LoggerUnit::greet(const char* format) {
    try {
        debug(1, format, ParamStream() << LogCommons::moduleName(module_));
    } catch (...) {
    }
}

bool LoggerUnit::isDebugOn(int32_t level) { return level <= debugLevel(); }

bool LoggerUnit::debug(int32_t level, const char* text) {
    if (!isDebugOn(level)) return true;
    return logDebug(level, text ? text : "");
}

bool LoggerUnit::debug(int32_t level, const std::string& text) {
    if (!isDebugOn(level)) return true;
    return logDebug(level, text);
}

bool LoggerUnit::debug(int32_t level, const char* format, const ParamStream& params) {
    if (!isDebugOn(level)) return true;
    return logDebug(level, LogCommons::expandParameters(format ? format : "", params.text()));
}

bool LoggerUnit::logDebug(int32_t level, const std::string& text) {
    return submit(LogRecord::Debug, level, LogRecord::NoMessage, text);
}

bool LoggerUnit::logMessage(int32_t severity, int32_t id, const std::string& params) {
    if (severity < severityFilter() || overRepeatLimit(severity, id)) return true;
    return submit(LogRecord::Log, severity, id, params);
}

bool LoggerUnit::overRepeatLimit(int32_t severity, int32_t id) {
    if (severity != Severity::Warning && severity != Severity::Error) return false;
    std::lock_guard<std::mutex> hold(repeatGuard_);
    return repeatLimit_ > 0 && ++repeats_[id] > repeatLimit_;
}

void LoggerUnit::limitRepeats(uint64_t perMessage) {
    std::lock_guard<std::mutex> hold(repeatGuard_);
    repeatLimit_ = perMessage;
}

void LoggerUnit::reportRepeats(int32_t summaryMessage) {
    std::map<int32_t, uint64_t> counts;
    uint64_t limit = 0;
    {
        std::lock_guard<std::mutex> hold(repeatGuard_);
        counts.swap(repeats_);
        limit = repeatLimit_;
    }
    if (Severity::Warning < severityFilter()) return;
    for (const auto& [id, count] : counts)
        if (limit > 0 && count > limit)
            submit(LogRecord::Log, Severity::Warning, summaryMessage,
                   (ParamStream() << id << static_cast<unsigned long long>(count - limit)
                                  << static_cast<unsigned long long>(limit))
                       .text());
}

// A log that cannot be written (its directory removed, its disk full) loses the line, not the
// caller: debug lines come from every step of the scan and from destructors.
bool LoggerUnit::submit(uint8_t kind, int32_t level, int32_t id, const std::string& text) {
    try {
        LoggerCentre* centre = centre_.get();
        if (!centre) return false;
        LogRecord record;
        record.kind = kind;
        record.module = module_;
        record.time.setNow();
        record.timeMode = timeMode();
        if (kind == LogRecord::Debug) record.debugLevel = level;
        else record.severity = level;
        record.messageId = id;
        record.text = text;
        record.thread = services_.threadId();
        return centre->log(record);
    } catch (...) {
        return false;
    }
}

bool LoggerUnit::notice(int32_t id) { return logMessage(Severity::Notice, id, std::string()); }
bool LoggerUnit::notice(int32_t id, const ParamStream& params) {
    return logMessage(Severity::Notice, id, params.text());
}
bool LoggerUnit::noticeAlways(int32_t id, const ParamStream& params) {
    return submit(LogRecord::Log, Severity::Notice, id, params.text());
}
bool LoggerUnit::warning(int32_t id, const ParamStream& params) {
    return logMessage(Severity::Warning, id, params.text());
}
bool LoggerUnit::error(int32_t id) { return logMessage(Severity::Error, id, std::string()); }
bool LoggerUnit::error(int32_t id, const ParamStream& params) { return logMessage(Severity::Error, id, params.text()); }
bool LoggerUnit::critical(int32_t id, const ParamStream& params) {
    return logMessage(Severity::Critical, id, params.text());
}
bool LoggerUnit::fatal(int32_t id) { return logMessage(Severity::Fatal, id, std::string()); }
bool LoggerUnit::fatal(int32_t id, const ParamStream& params) { return logMessage(Severity::Fatal, id, params.text()); }

}  // namespace Quilna
