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
class Platform;

// A mailslot of this computer: the receiver creates it; senders open it at their first send.
// Writers of all processes take turns through the named guard "Quilna_MailSlot".
class MailSlot : public IPC {
public:
    static constexpr const char* guardName = "Quilna_MailSlot";
    // The largest message, its terminating zero included: a receiver's memory is bounded by
    // messages of this size however large a hostile sender makes them. Five times the largest
    // record the programs make (a text naming two paths of the longest kind Windows allows).
    static constexpr uint32_t largestMessage = 1u << 20;

    // What one receiveWhole may take off the mailslot, and what it took: the messages with their
    // senders, in order, and the count of those it took off without keeping, because they were
    // larger than the largest message or found no memory.
    struct Batch {
        size_t maxMessages = SIZE_MAX;
        size_t maxBytes = SIZE_MAX;  // a message that would pass it waits for the next batch
        std::vector<std::string> messages = {};
        std::vector<MailslotSender> senders = {};
        uint64_t tooLarge = 0;
        uint64_t noMemory = 0;
    };

    // Throws IPCException: IC_MEM, or IC_CANNOT_CREATE_COMM when a receiver cannot be made.
    MailSlot(Platform& system, int32_t mode, std::string name);
    ~MailSlot() override;
    MailSlot(const MailSlot&) = delete;
    MailSlot& operator=(const MailSlot&) = delete;

    // Writes the text and its terminating zero byte as one message. Throws IC_NOT_SENDER or
    // IC_CANNOT_SEND (also for a message larger than the largest, which no receiver keeps); after
    // a failed write the next send opens the mailslot again, unless the receiver is there and
    // only had no room.
    bool send(const std::string& text) override;
    // Appends each waiting message up to its first zero byte; a message larger than the largest
    // is taken off and left out. Throws IC_NOT_RECEIVER, IC_CANNOT_RECEIVE, or IC_MEM when a
    // message found no memory.
    bool receive(std::vector<std::string>& messages) override;
    // Like receive, but keeps each message whole, zero bytes included, and takes at most the
    // batch's bounds, so that a receiver that writes as it goes holds a bounded batch.
    bool receiveWhole(Batch& batch);
    // Receiver: whether the system tells who sent each message (not on Windows).
    bool tellsSenders() const;

    const std::string& name() const { return name_; }
    bool isOpen() const { return endpoint_ != nullptr; }

private:
    void openForSending();
    void enforceGuard();
    void takeOffUnread(uint64_t& count);

    Platform& system_;
    std::string name_;
    std::unique_ptr<Monopoly> guard_;
    std::unique_ptr<MailslotEndpoint> endpoint_;
};

}  // namespace Quilna
