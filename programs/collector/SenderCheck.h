#pragma once
// Whether a record comes from where it says: the system vouches for the process (and user)
// that sent it, and the record names the thread that logged it, which must be one of that
// process's. Records that fail are marked, so that no process can pass its lines off as
// another's; nothing else is judged (any process of the collector's user or root may send).

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/MailslotSender.h"
#include "platform/SystemServices.h"

namespace Quilna {

class SenderCheck {
public:
    // The system tells which threads a process has.
    explicit SenderCheck(SystemServices& services) : services_(services) {}

    // The mark for a record of this thread from this sender; empty when the record is its
    // sender's.
    std::string markOf(uint32_t thread, const MailslotSender& sender);

private:
    // Threads already found in their process, so that the records a thread sent just before it
    // ended still count as its own. Bounded: forgotten all at once when full.
    static constexpr size_t kRemembered = 4096;
    SystemServices& services_;
    std::set<std::pair<uint32_t, uint32_t>> found_;
};

}  // namespace Quilna
