#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "logger/LogMessenger.h"

namespace Quilna {

class IPCClient;

// A messenger that writes the local log line and then forwards log records (not debug
// records) to the central collector's mailslot as "LOGMSG" envelopes. Forwarding failures only
// make send answer false; they never stop the local log.
class LogMessengerIPC : public LogMessenger {
public:
    static constexpr const char* collectorMailslot = "Quilna_Core";

    // Logs into "Quilna_Debug.log" in the current directory until moved.
    explicit LogMessengerIPC(Platform& system);
    LogMessengerIPC(Platform& system, const SmartPointer<LoggerAgent>& agent, std::string mailslot = collectorMailslot);
    ~LogMessengerIPC() override;

    // The local line's result, or false when forwarding a log record failed.
    bool send(const LogRecord& record) override;

private:
    bool forward(const LogRecord& record);

    Platform& system_;
    std::string mailslot_;
    std::mutex forwarding_;  // logging threads share the client and its channel
    std::unique_ptr<IPCClient> client_;
};

}  // namespace Quilna
