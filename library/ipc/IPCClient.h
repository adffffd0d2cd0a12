#pragma once
#include <memory>
#include <string>

#include "ipc/IPC.h"

namespace Quilna {

class Platform;

// Sends envelopes (IPCEnvelope) to one mailslot of this computer; the channel is opened at the
// first send and kept.
class IPCClient {
public:
    IPCClient(Platform& system, std::string name) : system_(system), name_(std::move(name)) {}
    virtual ~IPCClient();
    IPCClient(const IPCClient&) = delete;
    IPCClient& operator=(const IPCClient&) = delete;

    // Builds the envelope and sends it; throws IPCException (IC_MEM, or the channel's own).
    bool send(const std::string& type, const std::string& second, const std::string& payload, const std::string& extra);

    const std::string& name() const { return name_; }

private:
    Platform& system_;
    std::unique_ptr<IPC> channel_;
    std::string name_;
};

}  // namespace Quilna
