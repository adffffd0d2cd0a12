#include "logger/LogMessengerIPC.h"

#include "ipc/IPCClient.h"
#include "ipc/IPCEnvelope.h"
#include "logger/LogCommons.h"
#include "platform/Platform.h"

namespace Quilna {

LogMessengerIPC::LogMessengerIPC(Platform& system)
    : LogMessenger(system), system_(system), mailslot_(collectorMailslot) {}

LogMessengerIPC::LogMessengerIPC(Platform& system, const SmartPointer<LoggerAgent>& agent, std::string mailslot)
    : LogMessenger(system, agent), system_(system), mailslot_(std::move(mailslot)) {}

LogMessengerIPC::~LogMessengerIPC() = default;

bool LogMessengerIPC::send(const LogRecord& record) {
    if (record.kind == LogRecord::Debug) return LogMessenger::send(record);
    bool written;
    try {
        written = LogMessenger::send(record);
    } catch (...) {
        // The collector still hears of a record that the local log could not take.
        forward(record);
        throw;
    }
    return forward(record) && written;
}

// The collector takes records in their text form.
bool LogMessengerIPC::forward(const LogRecord& record) {
    try {
        const std::string text = LogCommons::serializeRecord(record);
        std::lock_guard<std::mutex> hold(forwarding_);
        if (!client_) client_ = std::make_unique<IPCClient>(system_, mailslot_);
        return client_->send(IPCEnvelope::logMessage, "", text, "");
    } catch (...) {
        return false;
    }
}

}  // namespace Quilna
