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

// Room for one more message, grown as push_back grows, so that no message read is lost for want
// of room to keep it.
void makeRoomForOne(MailSlot::Batch& batch) {
    const size_t room = std::max<size_t>(16, 2 * batch.messages.size());
    if (batch.messages.size() == batch.messages.capacity()) batch.messages.reserve(room);
    if (batch.senders.size() == batch.senders.capacity()) batch.senders.reserve(room);
}
}  // namespace

MailSlot::MailSlot(Platform& system, int32_t mode, std::string name)
    : IPC(mode), system_(system), name_(std::move(name)) {
    try {
        guard_ = std::make_unique<Monopoly>(system, system, guardName);
    } catch (const std::bad_alloc&) {
        QUILNA_THROW(IPCException, IC_MEM, "");
    }
    if (mode_ != IPCMode::Receiver) return;
    SystemError error;
    endpoint_ = system_.createMailslot(name_, largestMessage, error);
    if (!endpoint_)
        QUILNA_THROW(IPCException, IC_CANNOT_CREATE_COMM,
                     errorCodeDetail(error) + " - " + system_.errorText(error.code));
}

MailSlot::~MailSlot() = default;

void MailSlot::openForSending() {
    SystemError error;
    endpoint_ = system_.openMailslot(name_, mode_ == IPCMode::DomainSender, error);
    if (!endpoint_) {
        std::string text = system_.errorText(error.code);
        StringUtils::trimRight(text);
        QUILNA_THROW(IPCException, IC_CANNOT_SEND, text);
    }
}

void MailSlot::enforceGuard() {
    for (int tries = 0; tries < kGuardSpinTries + kGuardPausedTries; ++tries) {
        if (guard_->enforce()) return;
        if (!guard_->refusal().empty()) break;
        if (tries >= kGuardSpinTries) system_.sleepMs(kGuardPauseMs);
    }
    const std::string why = guard_->refusal().empty() ? std::string() : ": " + guard_->refusal();
    QUILNA_THROW(IPCException, IC_CANNOT_SEND,
                 std::string("The guard \"") + guardName + "\" cannot be taken" + why + ".");
}

bool MailSlot::send(const std::string& text) {
    if (mode_ == IPCMode::Receiver) QUILNA_THROW(IPCException, IC_NOT_SENDER, "");
    if (text.size() >= largestMessage)
        QUILNA_THROW(IPCException, IC_CANNOT_SEND,
                     "The message of " + std::to_string(text.size() + 1) + " bytes is larger than the largest, " +
                         std::to_string(largestMessage) + " bytes.");
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
    Batch batch;
    receiveWhole(batch);
    for (std::string& message : batch.messages) {
        message.resize(std::min(message.size(), message.find('\0')));
        messages.push_back(std::move(message));
    }
    if (batch.noMemory > 0) QUILNA_THROW(IPCException, IC_MEM, "");
    return true;
}

bool MailSlot::tellsSenders() const { return endpoint_ && endpoint_->tellsSenders(); }

bool MailSlot::receiveWhole(Batch& batch) {
    if (mode_ != IPCMode::Receiver) QUILNA_THROW(IPCException, IC_NOT_RECEIVER, "");
    SystemError error;
    size_t bytes = 0;
    for (size_t taken = 0; taken < batch.maxMessages; ++taken) {
        bool waiting = false;
        uint32_t size = 0;
        if (!endpoint_->nextMessageSize(waiting, size, error))
            QUILNA_THROW(IPCException, IC_CANNOT_RECEIVE, errorCodeDetail(error));
        if (!waiting) return true;
        // Its size is all that is known of it: no memory is spent on its bytes.
        if (size > largestMessage) {
            takeOffUnread(batch.tooLarge);
            continue;
        }
        if (!batch.messages.empty() && bytes + size > batch.maxBytes) return true;
        std::string message;
        try {
            message.reserve(size);
            makeRoomForOne(batch);
        } catch (const std::bad_alloc&) {
            // The batch ends here, so that a system short of memory is not asked again at once.
            takeOffUnread(batch.noMemory);
            return true;
        }
        if (!endpoint_->read(size, message, error))
            QUILNA_THROW(IPCException, IC_CANNOT_RECEIVE, errorCodeDetail(error));
        bytes += message.size();
        batch.messages.push_back(std::move(message));
        batch.senders.push_back(endpoint_->lastSender());
    }
    return true;
}

// Left waiting, the message would come back at every call: taken off unread and counted instead.
void MailSlot::takeOffUnread(uint64_t& count) {
    SystemError longer;  // the read fails, telling that the message was longer than nothing
    std::string none;
    endpoint_->read(0, none, longer);
    ++count;
}

}  // namespace Quilna
