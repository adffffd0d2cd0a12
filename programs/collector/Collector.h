#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "collector/CollectorOutput.h"
#include "collector/Complaints.h"
#include "collector/RecordQueue.h"
#include "collector/SenderCheck.h"
#include "ipc/MailSlot.h"

namespace Quilna {

// Two threads: one drains the mailslot into a bounded queue, the other writes what the queue
// holds. Records the queue has no room for are counted and reported once per interval.
class Collector {
public:
    Collector(SystemServices& services, MailSlot& mailslot, CollectorOutput& out);

    // A failure of either thread ends both; the writer's is passed on once the receiver is back.
    // A reopen request is served by the writer, between two lines.
    void run(const std::atomic<bool>& stop, std::atomic<bool>& reopen);

private:
    // The receiver thread's entry: nothing escapes it.
    void receiveUntilDrained(const std::atomic<bool>& stop, std::atomic<bool>& drained);

    void receive(const std::atomic<bool>& stop);

    // Takes a batch off the mailslot into the queue; the number of messages taken.
    size_t receiveBatch();

    // Senders are checked here, as soon as they are known, while their threads most likely
    // still run.
    void markSenders(std::vector<std::string>& batch, const std::vector<MailslotSender>& senders,
                     std::vector<RecordQueue::Entry>& entries);

    void write(const std::atomic<bool>& drained, std::atomic<bool>& reopen);

    void handleSurvivingMemory(const RecordQueue::Entry& entry);

    // A record becomes the line of the sender's host, its mark if it has one, and the record.
    void handle(const std::string& message, const std::string& mark);

    void reportSkipped(const std::string& message, const std::string& why);

    // Once per interval, and at the end: how many records found no room, and how many were too
    // large to take.
    void reportDropped(bool final);

    static void sayDropped(uint64_t dropped, uint64_t& inAll, bool final, const std::string& why);

    SystemServices& services_;
    MailSlot& mailslot_;
    CollectorOutput& out_;
    const std::string host_;
    RecordQueue queue_;
    Complaints complaints_;
    SenderCheck senderCheck_;  // used by the receiving thread only
    std::chrono::steady_clock::time_point lastDropReport_ = std::chrono::steady_clock::now();
    uint64_t noRoomInAll_ = 0;
    uint64_t tooLargeInAll_ = 0;
    std::atomic<uint64_t> tooLarge_{0};   // counted by the receiving thread, reported by the writing one
    std::atomic<bool> abandoned_{false};  // the writer failed: the receiver stops too
};

}  // namespace Quilna
