#pragma once
// Mailslots: one-way datagram channels by name.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/MailslotEndpoint.h"
#include "platform/SystemError.h"

namespace Quilna {

class Mailslots {
public:
    virtual ~Mailslots() = default;

    // A receiver. Where the system can refuse a larger message at its sender, it does; elsewhere
    // the receiver finds such a message waiting and must take it off unread.
    virtual std::unique_ptr<MailslotEndpoint> createMailslot(const std::string& name, uint32_t largestMessage,
                                                             SystemError& error) = 0;
    virtual std::unique_ptr<MailslotEndpoint> openMailslot(const std::string& name, bool wholeDomain,
                                                           SystemError& error) = 0;
};

}  // namespace Quilna
