#include "hoardscan/app/CheckMessenger.h"

#include <cstdio>

#include "logger/LogCommons.h"
#include "logger/LogRecord.h"
#include "platform/Platform.h"

namespace Quilna {

// Without an agent: nothing of a check reaches a file.
CheckMessenger::CheckMessenger(SystemServices& services) : LogMessenger(services, SmartPointer<LoggerAgent>()) {}

bool CheckMessenger::send(const LogRecord& original) {
    if (original.kind != LogRecord::Log) return true;
    LogRecord record = original;
    const std::string line = lineOf(record);
    const size_t text = line.find(": ");  // after the severity, time, numbers and thread
    if (counting_ && record.severity >= Severity::Warning) ++problems_;
    std::printf("%s: %s\n", LogCommons::severityName(record.severity).c_str(),
                (text == std::string::npos ? line : line.substr(text + 2)).c_str());
    return true;
}

}  // namespace Quilna
