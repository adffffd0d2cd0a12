#pragma once
#include <cstdint>

namespace Quilna {

// Who sent a mailslot message, as the system vouches for it (not as the message says).
struct MailslotSender {
    bool known = false;
    uint32_t processId = 0;
    uint32_t userId = 0;
};

}  // namespace Quilna
