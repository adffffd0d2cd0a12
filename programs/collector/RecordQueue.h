#pragma once
// The messages the collector has taken off its mailslot and not yet written: the receiving
// thread drains the mailslot into it, so that senders never wait on a slow output, and the
// writing thread takes them out. It holds at most so many messages and bytes, those the writer
// has taken and not yet written included; what comes beyond that is counted as dropped, never
// kept.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace Quilna {

class RecordQueue {
public:
    // A message as taken off the mailslot, with the mark its sender earned (empty for none).
    struct Entry {
        std::string message;
        std::string mark;
    };

    RecordQueue(size_t maxMessages, size_t maxBytes) : maxMessages_(maxMessages), maxBytes_(maxBytes) {}

    // Adds the messages while there is room; the others are counted as dropped.
    void push(std::vector<Entry>& entries);
    // Counts messages lost before they reached the queue (no memory to receive them).
    void countDropped(uint64_t count);
    // Waits up to waitMs for messages and moves them all into out. They count against the
    // bounds until the next call: the one writer calls again once it has written them.
    void takeAll(std::vector<Entry>& out, uint32_t waitMs);
    // Dropped since the last call, and the count set back to 0.
    uint64_t takeDropped();
    // Wakes a waiting takeAll.
    void wake();

    size_t maxMessages() const { return maxMessages_; }
    size_t maxBytes() const { return maxBytes_; }

private:
    const size_t maxMessages_;
    const size_t maxBytes_;
    std::mutex guard_;
    std::condition_variable arrived_;
    std::deque<Entry> entries_;
    size_t bytes_ = 0;
    size_t takenMessages_ = 0;  // what the writer holds
    size_t takenBytes_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace Quilna
