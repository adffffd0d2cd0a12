#include "ipc/IPCClient.h"

#include <new>

#include "ipc/IPCEnvelope.h"
#include "ipc/IPCException.h"
#include "ipc/MailSlot.h"

namespace Quilna {

IPCClient::~IPCClient() = default;

bool IPCClient::send(const std::string& type, const std::string& second, const std::string& payload,
                     const std::string& extra) {
    try {
        const std::string message = IPCEnvelope{type, second, payload, extra}.build();
        if (!channel_) channel_ = std::make_unique<MailSlot>(system_, IPCMode::LocalSender, name_);
        return channel_->send(message);
    } catch (const std::bad_alloc&) {
        QUILNA_THROW(IPCException, IC_MEM, "");
    } catch (IPCException& failure) {
        failure.addLocation(__FILE__, __LINE__);
        throw;
    }
}

}  // namespace Quilna
