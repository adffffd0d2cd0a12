#include "logger/LogMessenger.h"

#include "common/TimeException.h"
#include "logger/LogCommons.h"
#include "logger/LogState.h"
#include "logger/LoggerAgentFile.h"

namespace Quilna {

namespace {
const char* const kDefaultLogFile = "Quilna_Debug.log";
}  // namespace

LogMessenger::LogMessenger() {
    SmartPointer<LoggerAgentFile> file = makeSmart<LoggerAgentFile>();
    if (file) file->setLogFile(kDefaultLogFile);
    agent_ = file;
}

LogMessenger::LogMessenger(const SmartPointer<LoggerAgent>& agent) : agent_(agent) {}

LogMessenger::~LogMessenger() { agent_.reset(); }

std::string LogMessenger::lineOf(LogRecord& record) {
    bool found = false;
    const LogCommons* messages = catalogue();
    std::string format;
    if (record.kind == LogRecord::Log && messages && messages->findMessage(record.module, record.messageId, format)) {
        record.text = LogCommons::expandParameters(format, record.text);
        found = true;
    }
    return LogCommons::formatLine(record, found);
}

bool LogMessenger::send(const std::string& text) {
    LogRecord record;
    if (!LogCommons::parseRecord(text, record)) return false;
    std::string line;
    try {
        line = lineOf(record);
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

}  // namespace Quilna
