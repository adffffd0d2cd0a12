#include "collector/SenderCheck.h"

namespace Quilna {

std::string SenderCheck::markOf(uint32_t thread, const MailslotSender& sender) {
    if (!sender.known) return "[sender unknown]";
    const std::pair<uint32_t, uint32_t> pair{sender.processId, thread};
    if (found_.count(pair)) return std::string();
    if (services_.processHasThread(sender.processId, thread)) {
        if (found_.size() >= kRemembered) found_.clear();
        found_.insert(pair);
        return std::string();
    }
    return "[sent by process " + std::to_string(sender.processId) + " of user " + std::to_string(sender.userId) +
           ", which has no thread " + std::to_string(thread) + "]";
}

}  // namespace Quilna
