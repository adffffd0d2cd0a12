#pragma once
// Mailslots: one-way datagram channels by name.

#include <memory>
#include <string>

#include "platform/MailslotEndpoint.h"
#include "platform/SystemError.h"

namespace Quilna {

class Mailslots {
public:
    virtual ~Mailslots() = default;

    virtual std::unique_ptr<MailslotEndpoint> createMailslot(const std::string& name, SystemError& error) = 0;
    virtual std::unique_ptr<MailslotEndpoint> openMailslot(const std::string& name, bool wholeDomain,
                                                           SystemError& error) = 0;
};

}  // namespace Quilna
