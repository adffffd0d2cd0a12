#include "tools/collector/RecordQueue.h"

#include <chrono>
#include <new>

namespace Quilna {

void RecordQueue::push(std::vector<std::string>& messages) {
    {
        std::lock_guard<std::mutex> hold(guard_);
        for (std::string& message : messages) {
            if (messages_.size() >= maxMessages_ || bytes_ + message.size() > maxBytes_) {
                ++dropped_;
                continue;
            }
            try {
                messages_.push_back(std::move(message));
                bytes_ += messages_.back().size();
            } catch (const std::bad_alloc&) {
                ++dropped_;
            }
        }
    }
    messages.clear();
    arrived_.notify_one();
}

void RecordQueue::countDropped(uint64_t count) {
    std::lock_guard<std::mutex> hold(guard_);
    dropped_ += count;
}

void RecordQueue::takeAll(std::vector<std::string>& out, uint32_t waitMs) {
    std::unique_lock<std::mutex> hold(guard_);
    if (messages_.empty()) arrived_.wait_for(hold, std::chrono::milliseconds(waitMs));
    while (!messages_.empty()) {
        out.push_back(std::move(messages_.front()));
        messages_.pop_front();
    }
    bytes_ = 0;
}

uint64_t RecordQueue::takeDropped() {
    std::lock_guard<std::mutex> hold(guard_);
    const uint64_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

void RecordQueue::wake() { arrived_.notify_all(); }

}  // namespace Quilna
