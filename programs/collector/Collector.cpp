#include "collector/Collector.h"

#include <exception>
#include <iostream>
#include <new>
#include <thread>

#include "ipc/IPCEnvelope.h"
#include "ipc/IPCException.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"
#include "platform/Platform.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {
constexpr uint32_t kIdlePauseMs = 20;
constexpr size_t kShownPrefix = 40;
// Every buffer is bounded in bytes, whatever the senders do: a message is at most the mailslot's
// largest, the receiving thread takes at most a batch off the mailslot at a time, and at most a
// queue's worth waits to be written or is being written. With the copies a record's line takes,
// well under 128 MiB.
constexpr size_t kBatchMessages = 256;
constexpr size_t kBatchBytes = 4u << 20;
constexpr size_t kQueuedMessages = 4096;
constexpr size_t kQueuedBytes = 16u << 20;
static_assert(kBatchBytes >= MailSlot::largestMessage && kQueuedBytes >= kBatchBytes);
constexpr uint32_t kWriterWaitMs = 100;
// Complaints on standard error: a few per interval, the rest counted.
constexpr uint32_t kComplaintsPerInterval = 10;
constexpr std::chrono::seconds kReportInterval{10};

// The start of a message in printable characters, for reports about messages we skip.
std::string printablePrefix(const std::string& message) {
    std::string shown;
    for (size_t i = 0; i < message.size() && i < kShownPrefix; ++i) {
        const unsigned char c = static_cast<unsigned char>(message[i]);
        shown += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '.';
    }
    return message.size() > kShownPrefix ? shown + "..." : shown;
}

// The thread a message's log record names; false for what is no log record (reported later).
bool recordThread(const std::string& message, uint32_t& thread) {
    IPCEnvelope envelope;
    LogRecord record;
    if (!IPCEnvelope::parse(message, envelope) || envelope.type != IPCEnvelope::logMessage ||
        !LogCommons::parseRecord(envelope.payload, record))
        return false;
    thread = record.thread;
    return true;
}

// The name every line starts with: records reach a mailslot only from the programs of its own
// computer, and a fleet's collected lines must tell their machines apart. In capitals, as the
// host field of the account records.
std::string senderHost(SystemServices& services) {
    std::string host;
    if (!services.computerName(host) || host.empty()) host = "UNKNOWN";
    StringUtils::toUpper(host);
    return host;
}

}  // namespace

Collector::Collector(SystemServices& services, MailSlot& mailslot, CollectorOutput& out)
    : services_(services),
      mailslot_(mailslot),
      out_(out),
      host_(senderHost(services)),
      queue_(kQueuedMessages, kQueuedBytes),
      complaints_(kComplaintsPerInterval, kReportInterval),
      senderCheck_(services) {}

void Collector::run(const std::atomic<bool>& stop, std::atomic<bool>& reopen) {
    std::atomic<bool> drained{false};
    std::thread receiver([&] { receiveUntilDrained(stop, drained); });
    std::exception_ptr failure;
    try {
        write(drained, reopen);
    } catch (...) {
        failure = std::current_exception();
        abandoned_.store(true);
    }
    receiver.join();
    if (failure) std::rethrow_exception(failure);
    reportDropped(true);
    complaints_.settle(true);
}

void Collector::receiveUntilDrained(const std::atomic<bool>& stop, std::atomic<bool>& drained) {
    try {
        receive(stop);
    } catch (const std::exception& failure) {
        std::cerr << "hoardscan-collector: stopped receiving: " << failure.what() << std::endl;
    } catch (...) {
        std::cerr << "hoardscan-collector: stopped receiving" << std::endl;
    }
    drained.store(true);
    queue_.wake();
}

void Collector::receive(const std::atomic<bool>& stop) {
    while (!stop.load() && !abandoned_.load())
        if (receiveBatch() == 0) services_.sleepMs(kIdlePauseMs);
    // Their senders were told these records were delivered: a stop must not drop them.
    while (!abandoned_.load() && receiveBatch() > 0) {
    }
}

size_t Collector::receiveBatch() {
    MailSlot::Batch batch{.maxMessages = kBatchMessages, .maxBytes = kBatchBytes};
    uint64_t discarded = 0;
    try {
        mailslot_.receiveWhole(batch);
    } catch (const IPCException& failure) {
        complaints_.say(failure.fullText());
    } catch (const std::bad_alloc&) {
        ++discarded;
    }
    discarded += batch.noMemory;
    tooLarge_ += batch.tooLarge;
    std::vector<RecordQueue::Entry> entries;
    try {
        markSenders(batch.messages, batch.senders, entries);
    } catch (const std::bad_alloc&) {
        discarded += batch.messages.size() - entries.size();
    }
    queue_.countDropped(discarded);
    const size_t taken = entries.size() + discarded + batch.tooLarge;
    queue_.push(entries);
    return taken;
}

void Collector::markSenders(std::vector<std::string>& batch, const std::vector<MailslotSender>& senders,
                            std::vector<RecordQueue::Entry>& entries) {
    entries.reserve(batch.size());
    const bool checked = mailslot_.tellsSenders();
    for (size_t i = 0; i < batch.size(); ++i) {
        uint32_t thread = 0;
        std::string mark;
        if (checked && recordThread(batch[i], thread))
            mark = senderCheck_.markOf(thread, i < senders.size() ? senders[i] : MailslotSender{});
        entries.push_back(RecordQueue::Entry{std::move(batch[i]), std::move(mark)});
    }
}

void Collector::write(const std::atomic<bool>& drained, std::atomic<bool>& reopen) {
    std::vector<RecordQueue::Entry> records;
    while (true) {
        // Read before taking: whatever the receiver queued before it was drained is taken.
        const bool last = drained.load();
        records.clear();
        queue_.takeAll(records, kWriterWaitMs);
        if (reopen.exchange(false)) out_.reopen();
        for (const RecordQueue::Entry& entry : records) handleSurvivingMemory(entry);
        reportDropped(false);
        complaints_.settle();
        if (last && records.empty()) return;
    }
}

void Collector::handleSurvivingMemory(const RecordQueue::Entry& entry) {
    try {
        handle(entry.message, entry.mark);
    } catch (const std::bad_alloc&) {
        queue_.countDropped(1);
    }
}

void Collector::handle(const std::string& message, const std::string& mark) {
    IPCEnvelope envelope;
    if (!IPCEnvelope::parse(message, envelope)) return reportSkipped(message, "not an envelope");
    if (envelope.type != IPCEnvelope::logMessage)
        return reportSkipped(message, "an envelope of type \"" + printablePrefix(envelope.type) + "\"");
    LogRecord record;
    if (!LogCommons::parseRecord(envelope.payload, record)) return reportSkipped(message, "not a log record");
    std::string line;
    try {
        line = LogMessenger::lineOf(record);
    } catch (const Exception& failure) {
        line = failure.fullText();
    }
    out_.writeLine(host_ + " " + (mark.empty() ? std::string() : mark + " ") + line);
}

void Collector::reportSkipped(const std::string& message, const std::string& why) {
    complaints_.say("skipped a message of " + std::to_string(message.size()) + " bytes (" + why + "): \"" +
                    printablePrefix(message) + "\"");
}

void Collector::reportDropped(bool final) {
    const auto now = std::chrono::steady_clock::now();
    if (!final && now - lastDropReport_ < kReportInterval) return;
    lastDropReport_ = now;
    sayDropped(queue_.takeDropped(), noRoomInAll_, final,
               "the output could not keep up with the senders (at most " + std::to_string(queue_.maxMessages()) +
                   " records or " + std::to_string(queue_.maxBytes() >> 20) + " MiB wait to be written)");
    sayDropped(tooLarge_.exchange(0), tooLargeInAll_, final,
               "larger than " + std::to_string(MailSlot::largestMessage >> 20) + " MiB, the largest record taken");
}

void Collector::sayDropped(uint64_t dropped, uint64_t& inAll, bool final, const std::string& why) {
    inAll += dropped;
    if (dropped == 0) return;
    std::cerr << "hoardscan-collector: " << dropped << (dropped == 1 ? " record was" : " records were")
              << " dropped: " << why;
    if (final) std::cerr << "; " << inAll << " in all";
    std::cerr << std::endl;
}

}  // namespace Quilna
