#include "logger/LogMessenger.h"

#include "logger/LogCommons.h"
#include "logger/LogState.h"
#include "logger/LoggerAgentFile.h"
#include "platform/Platform.h"
#include "time/TimeException.h"

namespace Quilna {

namespace {
const char* const kDefaultLogFile = "Quilna_Debug.log";

SystemLogLevel systemLogLevel(int32_t severity) {
    if (severity >= Severity::Fatal) return SystemLogLevel::Fatal;
    if (severity == Severity::Critical) return SystemLogLevel::Critical;
    if (severity == Severity::Error) return SystemLogLevel::Error;
    if (severity == Severity::Warning) return SystemLogLevel::Warning;
    return SystemLogLevel::Notice;
}

// Fills a log record's text from its catalogue template; whether there was one.
bool expandFromCatalogue(LogRecord& record) {
    const LogCommons* messages = catalogue();
    std::string format;
    if (record.kind != LogRecord::Log || !messages || !messages->findMessage(record.module, record.messageId, format))
        return false;
    record.text = LogCommons::expandParameters(format, record.text);
    return true;
}
}  // namespace

LogMessenger::LogMessenger(Platform& system) : services_(system) {
    SmartPointer<LoggerAgentFile> file = makeSmart<LoggerAgentFile>(system);
    if (file) file->setLogFile(kDefaultLogFile);
    agent_ = file;
}

LogMessenger::LogMessenger(SystemServices& services, const SmartPointer<LoggerAgent>& agent)
    : services_(services), agent_(agent) {}

LogMessenger::~LogMessenger() { agent_.reset(); }

std::string LogMessenger::lineOf(LogRecord& record) {
    const bool found = expandFromCatalogue(record);
    return LogCommons::formatLine(record, found);
}

bool LogMessenger::send(const LogRecord& original) {
    // The caller keeps its record as it was (the IPC messenger forwards the parameters).
    LogRecord record = original;
    const bool found = expandFromCatalogue(record);
    if (record.kind == LogRecord::Log && systemLog())
        services_.writeSystemLog(systemLogLevel(record.severity), LogCommons::formatSystemLogMessage(record, found));
    std::string line;
    try {
        line = LogCommons::formatLine(record, found);
    } catch (const TimeException& error) {
        line = error.fullText();
    }
    if (record.kind == LogRecord::Log && record.severity == Severity::Fatal) {
        const size_t text = line.find(": ");  // after the severity, time, numbers and thread
        lastFatalText_ = text == std::string::npos ? line : line.substr(text + 2);
    }
    LoggerAgent* agent = agent_.get();
    return agent ? agent->write(line) : false;
}

bool LogMessenger::setLogFile(const std::string& path) {
    auto* file = dynamic_cast<LoggerAgentFile*>(agent_.get());
    return file ? file->setLogFile(path) : false;
}

bool LogMessenger::setRotationKeep(int32_t copies) {
    auto* file = dynamic_cast<LoggerAgentFile*>(agent_.get());
    if (file) file->setRotationKeep(copies);
    return file != nullptr;
}

}  // namespace Quilna
