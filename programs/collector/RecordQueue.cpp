#include "collector/RecordQueue.h"

#include <chrono>
#include <new>

namespace Quilna {

void RecordQueue::push(std::vector<Entry>& entries) {
    {
        std::lock_guard<std::mutex> hold(guard_);
        for (Entry& entry : entries) {
            const size_t size = entry.message.size() + entry.mark.size();
            if (entries_.size() + takenMessages_ >= maxMessages_ || bytes_ + takenBytes_ + size > maxBytes_) {
                ++dropped_;
                continue;
            }
            try {
                entries_.push_back(std::move(entry));
                bytes_ += size;
            } catch (const std::bad_alloc&) {
                ++dropped_;
            }
        }
    }
    entries.clear();
    arrived_.notify_one();
}

void RecordQueue::countDropped(uint64_t count) {
    std::lock_guard<std::mutex> hold(guard_);
    dropped_ += count;
}

void RecordQueue::takeAll(std::vector<Entry>& out, uint32_t waitMs) {
    std::unique_lock<std::mutex> hold(guard_);
    takenMessages_ = takenBytes_ = 0;
    if (entries_.empty()) arrived_.wait_for(hold, std::chrono::milliseconds(waitMs));
    takenMessages_ = entries_.size();
    while (!entries_.empty()) {
        out.push_back(std::move(entries_.front()));
        entries_.pop_front();
    }
    takenBytes_ = bytes_;
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
