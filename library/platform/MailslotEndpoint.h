#pragma once
#include <cstdint>
#include <string>

namespace Quilna {

// One end of a mailslot: a receiver made by createMailslot, or a sender made by openMailslot.
// Messages are datagrams: each write arrives as one message or not at all.
class MailslotEndpoint {
public:
    virtual ~MailslotEndpoint() = default;
    // Sender: writes one message. error receives the system error code on failure.
    virtual bool write(const std::string& bytes, uint32_t& error) = 0;
    // Sender: whether the endpoint stays usable after its last failed write (the receiver is
    // there but had no room); otherwise the mailslot is opened anew for the next message.
    virtual bool usableAfterFailure() const { return false; }
    // Receiver: whether a message waits, and its size; never blocks.
    virtual bool nextMessageSize(bool& waiting, uint32_t& size, uint32_t& error) = 0;
    // Receiver: reads the next message (at most size bytes).
    virtual bool read(uint32_t size, std::string& out, uint32_t& error) = 0;
};

}  // namespace Quilna
