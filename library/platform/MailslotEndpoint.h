#pragma once
#include <cstdint>
#include <string>

#include "platform/MailslotSender.h"
#include "platform/SystemError.h"

namespace Quilna {

// One end of a mailslot: a receiver made by createMailslot, or a sender made by openMailslot.
// Messages are datagrams: each write arrives as one message or not at all.
class MailslotEndpoint {
public:
    virtual ~MailslotEndpoint() = default;
    // Sender: writes one message. error tells why on failure.
    virtual bool write(const std::string& bytes, SystemError& error) = 0;
    // Sender: whether the endpoint stays usable after its last failed write (the receiver is
    // there but had no room); otherwise the mailslot is opened anew for the next message.
    virtual bool usableAfterFailure() const { return false; }
    // Receiver: whether a message waits, and its size; never blocks.
    virtual bool nextMessageSize(bool& waiting, uint32_t& size, SystemError& error) = 0;
    // Receiver: reads the next message (at most size bytes).
    virtual bool read(uint32_t size, std::string& out, SystemError& error) = 0;
    // Receiver: whether the system tells who sent each message (Windows mailslots do not), and
    // the sender of the message last read (not known when the system did not tell it).
    virtual bool tellsSenders() const { return false; }
    virtual MailslotSender lastSender() const { return MailslotSender{}; }
};

}  // namespace Quilna
