#pragma once
// Stamps the application number into a record and hands the record to the messenger.

#include <cstdint>

#include "core/SmartPointer.h"
#include "logger/LogMessenger.h"

namespace Quilna {

struct LogRecord;

class LoggerCentre {
public:
    LoggerCentre(int32_t application, const SmartPointer<LogMessenger>& messenger);
    LoggerCentre(const LoggerCentre&) = delete;
    LoggerCentre& operator=(const LoggerCentre&) = delete;
    // Slot 0.
    virtual ~LoggerCentre();

    // False when there is no messenger; otherwise the messenger's answer.
    bool log(LogRecord& record);

    int32_t application() const { return application_; }
    const SmartPointer<LogMessenger>& messenger() const { return messenger_; }

private:
    int32_t application_;
    SmartPointer<LogMessenger> messenger_;
};

}  // namespace Quilna
