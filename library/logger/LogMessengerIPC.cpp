#include "logger/LogMessengerIPC.h"

#include "ipc/IPCClient.h"
#include "ipc/IPCEnvelope.h"

namespace Quilna {

LogMessengerIPC::LogMessengerIPC() : mailslot_(collectorMailslot) {}

LogMessengerIPC::LogMessengerIPC(const SmartPointer<LoggerAgent>& agent, std::string mailslot)
    : LogMessenger(agent), mailslot_(std::move(mailslot)) {}

LogMessengerIPC::~LogMessengerIPC() = default;

bool LogMessengerIPC::isDebugRecord(const std::string& text) {
    return text.size() >= 12 && text.compare(7, 5, "DEBUG") == 0;
}

bool LogMessengerIPC::send(const std::string& text) {
    bool written;
    try {
        written = LogMessenger::send(text);
    } catch (...) {
        // The collector still hears of a record that the local log could not take.
        if (!isDebugRecord(text)) forward(text);
        throw;
    }
    if (isDebugRecord(text)) return written;
    return forward(text) && written;
}

bool LogMessengerIPC::forward(const std::string& text) {
    try {
        std::lock_guard<std::mutex> hold(forwarding_);
        if (!client_) client_ = std::make_unique<IPCClient>(mailslot_);
        return client_->send(IPCEnvelope::logMessage, "", text, "");
    } catch (...) {
        return false;
    }
}

}  // namespace Quilna
