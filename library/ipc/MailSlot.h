#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ipc/IPC.h"
#include "platform/MailslotSender.h"

namespace Quilna {

class MailslotEndpoint;
class Monopoly;

// A mailslot of this computer: the receiver creates it; senders open it at their first send.
// Writers of all processes take turns through the named guard "Quilna_MailSlot".
class MailSlot : public IPC {
public:
    static constexpr const char* guardName = "Quilna_MailSlot";

    // Throws IPCException: IC_MEM, or IC_CANNOT_CREATE_COMM when a receiver cannot be made.
    MailSlot(int32_t mode, std::string name);
    ~MailSlot() override;
    MailSlot(const MailSlot&) = delete;
    MailSlot& operator=(const MailSlot&) = delete;

    // Writes the text and its terminating zero byte as one message. Throws IC_NOT_SENDER or
    // IC_CANNOT_SEND; after a failed write the next send opens the mailslot again, unless
    // the receiver is there and only had no room.
    bool send(const std::string& text) override;
    // Appends each waiting message up to its first zero byte. Throws IC_NOT_RECEIVER or
    // IC_CANNOT_RECEIVE.
    bool receive(std::vector<std::string>& messages) override;
    // Like receive, but keeps each message whole, zero bytes included, and takes at most
    // maxMessages of them, so that a receiver that writes as it goes holds a bounded batch. A
    // message that finds no memory is taken off the mailslot and counted in discarded instead.
    // senders, when given, gets the sender of each message, in the same order.
    bool receiveWhole(std::vector<std::string>& messages, size_t maxMessages = SIZE_MAX, uint64_t* discarded = nullptr,
                      std::vector<MailslotSender>* senders = nullptr);
    // Receiver: whether the system tells who sent each message (not on Windows).
    bool tellsSenders() const;

    const std::string& name() const { return name_; }
    bool isOpen() const { return endpoint_ != nullptr; }

private:
    void openForSending();
    void enforceGuard();
    bool receiveMessages(std::vector<std::string>& messages, bool keepWhole, size_t maxMessages, uint64_t* discarded,
                         std::vector<MailslotSender>* senders);

    std::string name_;
    std::unique_ptr<Monopoly> guard_;
    std::unique_ptr<MailslotEndpoint> endpoint_;
};

}  // namespace Quilna
