#include "logger/LoggerCentre.h"

#include "logger/LogRecord.h"

namespace Quilna {

LoggerCentre::LoggerCentre(int32_t application, const SmartPointer<LogMessenger>& messenger)
    : application_(application), messenger_(messenger) {}

LoggerCentre::~LoggerCentre() { messenger_.reset(); }

bool LoggerCentre::log(LogRecord& record) {
    record.application = application_;
    LogMessenger* messenger = messenger_.get();
    return messenger ? messenger->send(record) : false;
}

}  // namespace Quilna
