#include "ipc/MailSlot.h"

#include <algorithm>
#include <new>

#include "ipc/IPCException.h"
#include "platform/MailslotEndpoint.h"
#include "platform/Platform.h"
#include "system/Monopoly.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {
// The guard is normally free within a few tries; a guard that can never be taken (its lock
// directory cannot be written, say) must not hang the logging program.
constexpr int kGuardSpinTries = 100;
constexpr int kGuardPausedTries = 5000;
constexpr uint32_t kGuardPauseMs = 1;

std::string errorCodeDetail(const SystemError& error) { return "Error code " + std::to_string(error.code); }
}  // namespace

MailSlot::MailSlot(int32_t mode, std::string name) : IPC(mode), name_(std::move(name)) {
    try {
        guard_ = std::make_unique<Monopoly>(guardName);
    } catch (const std::bad_alloc&) {
        QUILNA_THROW(IPCException, IC_MEM, "");
    }
    if (mode_ != IPCMode::Receiver) return;
    SystemError error;
    endpoint_ = platform().createMailslot(name_, error);
    if (!endpoint_)
        QUILNA_THROW(IPCException, IC_CANNOT_CREATE_COMM,
                     errorCodeDetail(error) + " - " + platform().errorText(error.code));
}

MailSlot::~MailSlot() = default;

void MailSlot::openForSending() {
    SystemError error;
    endpoint_ = platform().openMailslot(name_, mode_ == IPCMode::DomainSender, error);
    if (!endpoint_) {
        std::string text = platform().errorText(error.code);
        StringUtils::trimRight(text);
        QUILNA_THROW(IPCException, IC_CANNOT_SEND, text);
    }
}

void MailSlot::enforceGuard() {
    for (int tries = 0; tries < kGuardSpinTries + kGuardPausedTries; ++tries) {
        if (guard_->enforce()) return;
        if (!guard_->refusal().empty()) break;
        if (tries >= kGuardSpinTries) platform().sleepMs(kGuardPauseMs);
    }
    const std::string why = guard_->refusal().empty() ? std::string() : ": " + guard_->refusal();
    QUILNA_THROW(IPCException, IC_CANNOT_SEND,
                 std::string("The guard \"") + guardName + "\" cannot be taken" + why + ".");
}

bool MailSlot::send(const std::string& text) {
    if (mode_ == IPCMode::Receiver) QUILNA_THROW(IPCException, IC_NOT_SENDER, "");
    if (!endpoint_) openForSending();
    enforceGuard();
    std::string message = text;
    message += '\0';
    SystemError error;
    const bool written = endpoint_->write(message, error);
    guard_->relax();
    if (!written) {
        if (!endpoint_->usableAfterFailure()) endpoint_.reset();
        std::string detail = "Error " + std::to_string(error.code);
        if (error.kind == ErrorKind::NoNetwork) detail += " - No network";
        QUILNA_THROW(IPCException, IC_CANNOT_SEND, detail);
    }
    return true;
}

bool MailSlot::receive(std::vector<std::string>& messages) {
    return receiveMessages(messages, false, SIZE_MAX, nullptr, nullptr);
}

bool MailSlot::receiveWhole(std::vector<std::string>& messages, size_t maxMessages, uint64_t* discarded,
                            std::vector<MailslotSender>* senders) {
    return receiveMessages(messages, true, maxMessages, discarded, senders);
}

bool MailSlot::tellsSenders() const { return endpoint_ && endpoint_->tellsSenders(); }

bool MailSlot::receiveMessages(std::vector<std::string>& messages, bool keepWhole, size_t maxMessages,
                               uint64_t* discarded, std::vector<MailslotSender>* senders) {
    if (mode_ != IPCMode::Receiver) QUILNA_THROW(IPCException, IC_NOT_RECEIVER, "");
    SystemError error;
    for (size_t taken = 0; taken < maxMessages; ++taken) {
        bool waiting = false;
        uint32_t size = 0;
        if (!endpoint_->nextMessageSize(waiting, size, error))
            QUILNA_THROW(IPCException, IC_CANNOT_RECEIVE, errorCodeDetail(error));
        if (!waiting) return true;
        std::string message;
        try {
            message.reserve(size + 1);
            messages.reserve(messages.size() + 1);
            if (senders) senders->reserve(messages.size() + 1);
        } catch (const std::bad_alloc&) {
            // Left waiting, it would come back at every call: taken off and counted instead, and
            // the batch ends here, so that a system that cannot take it off is not asked again
            // at once.
            if (!discarded) QUILNA_THROW(IPCException, IC_MEM, "");
            std::string none;
            endpoint_->read(0, none, error);
            ++*discarded;
            return true;
        }
        if (!endpoint_->read(size, message, error))
            QUILNA_THROW(IPCException, IC_CANNOT_RECEIVE, errorCodeDetail(error));
        if (!keepWhole) message.resize(std::min(message.size(), message.find('\0')));
        messages.push_back(std::move(message));
        if (senders) senders->push_back(endpoint_->lastSender());
    }
    return true;
}

}  // namespace Quilna
