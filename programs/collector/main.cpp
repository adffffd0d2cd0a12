// hoardscan-collector: receives the log records forwarded to a mailslot of this computer and
// writes each as a log line.
#include <atomic>
#include <chrono>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "collector/CollectorOptions.h"
#include "collector/CollectorOutput.h"
#include "collector/Complaints.h"
#include "collector/InstalledCatalogue.h"
#include "collector/RecordQueue.h"
#include "collector/SenderCheck.h"
#include "files/FileUtils.h"
#include "ipc/IPCEnvelope.h"
#include "ipc/IPCException.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
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

// -m names the LogMessages directory itself or the configuration directory that holds it.
std::string configurationDirectoryOf(std::string directory) {
    FileUtils::stripSeparators(directory);
    if (FileUtils::fileName(directory) == "LogMessages") return FileUtils::directoryName(directory);
    FileUtils::addSeparator(directory);
    return directory;
}

bool loadCatalogue(const std::string& directory, LogCommons& catalogue) {
    const LoadResult result = catalogue.loadMessages(configurationDirectoryOf(directory), "all");
    if (!result.status) {
        std::cerr << "hoardscan-collector: cannot load the messages of " << directory << ": " << result.message
                  << std::endl;
        return false;
    }
    std::cerr << "hoardscan-collector: " << catalogue.messageCount() << " message templates from "
              << result.loaded.size() << " files" << std::endl;
    return true;
}

// The name every line starts with: records reach a mailslot only from the programs of its own
// computer, and a fleet's collected lines must tell their machines apart. In capitals, as the
// host field of the account records.
std::string senderHost() {
    std::string host;
    if (!platform().computerName(host) || host.empty()) host = "UNKNOWN";
    StringUtils::toUpper(host);
    return host;
}

// Two threads: one drains the mailslot into a bounded queue, the other writes what the queue
// holds. Records the queue has no room for are counted and reported once per interval.
class Collector {
public:
    Collector(MailSlot& mailslot, CollectorOutput& out)
        : mailslot_(mailslot),
          out_(out),
          host_(senderHost()),
          queue_(kQueuedMessages, kQueuedBytes),
          complaints_(kComplaintsPerInterval, kReportInterval) {}

    // A failure of either thread ends both; the writer's is passed on once the receiver is back.
    // A reopen request is served by the writer, between two lines.
    void run(const std::atomic<bool>& stop, std::atomic<bool>& reopen) {
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

private:
    // The receiver thread's entry: nothing escapes it.
    void receiveUntilDrained(const std::atomic<bool>& stop, std::atomic<bool>& drained) {
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

    void receive(const std::atomic<bool>& stop) {
        while (!stop.load() && !abandoned_.load())
            if (receiveBatch() == 0) platform().sleepMs(kIdlePauseMs);
        // Their senders were told these records were delivered: a stop must not drop them.
        while (!abandoned_.load() && receiveBatch() > 0) {
        }
    }

    // Takes a batch off the mailslot into the queue; the number of messages taken.
    size_t receiveBatch() {
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

    // Senders are checked here, as soon as they are known, while their threads most likely
    // still run.
    void markSenders(std::vector<std::string>& batch, const std::vector<MailslotSender>& senders,
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

    void write(const std::atomic<bool>& drained, std::atomic<bool>& reopen) {
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

    void handleSurvivingMemory(const RecordQueue::Entry& entry) {
        try {
            handle(entry.message, entry.mark);
        } catch (const std::bad_alloc&) {
            queue_.countDropped(1);
        }
    }

    // A record becomes the line of the sender's host, its mark if it has one, and the record.
    void handle(const std::string& message, const std::string& mark) {
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

    void reportSkipped(const std::string& message, const std::string& why) {
        complaints_.say("skipped a message of " + std::to_string(message.size()) + " bytes (" + why + "): \"" +
                        printablePrefix(message) + "\"");
    }

    // Once per interval, and at the end: how many records found no room, and how many were too
    // large to take.
    void reportDropped(bool final) {
        const auto now = std::chrono::steady_clock::now();
        if (!final && now - lastDropReport_ < kReportInterval) return;
        lastDropReport_ = now;
        sayDropped(queue_.takeDropped(), noRoomInAll_, final,
                   "the output could not keep up with the senders (at most " + std::to_string(queue_.maxMessages()) +
                       " records or " + std::to_string(queue_.maxBytes() >> 20) + " MiB wait to be written)");
        sayDropped(tooLarge_.exchange(0), tooLargeInAll_, final,
                   "larger than " + std::to_string(MailSlot::largestMessage >> 20) + " MiB, the largest record taken");
    }

    static void sayDropped(uint64_t dropped, uint64_t& inAll, bool final, const std::string& why) {
        inAll += dropped;
        if (dropped == 0) return;
        std::cerr << "hoardscan-collector: " << dropped << (dropped == 1 ? " record was" : " records were")
                  << " dropped: " << why;
        if (final) std::cerr << "; " << inAll << " in all";
        std::cerr << std::endl;
    }

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

// -m names the catalogue, and one that cannot be loaded ends the collector; without it the
// installation's is taken as the scan takes it, and without that the lines carry no texts.
bool useCatalogue(const CollectorOptions& options, LogCommons& catalogue) {
    if (!options.messages.empty()) {
        if (!loadCatalogue(options.messages, catalogue)) return false;
        setCatalogue(&catalogue);
        return true;
    }
    std::string directory;
    std::string why;
    if (!installedCatalogueDirectory(directory, why)) {
        std::cerr << "hoardscan-collector: no message catalogue (" << why << "): lines carry no message texts"
                  << std::endl;
        return true;
    }
    if (loadCatalogue(directory, catalogue)) setCatalogue(&catalogue);
    return true;
}

int collect(const CollectorOptions& options) {
    LogCommons catalogue;
    if (!useCatalogue(options, catalogue)) return 1;
    CollectorOutput output(options.output);
    std::string why;
    if (!output.canOpen(why)) {
        std::cerr << "hoardscan-collector: cannot open " << options.output << " for appending: " << why << std::endl;
        return 1;
    }
    std::string runtime;
    if (!platform().runtimeDirectory(runtime, why)) {
        std::cerr << "hoardscan-collector: " << why << std::endl;
        return 1;
    }
    std::atomic<bool> stop{false};
    std::atomic<bool> reopen{false};
    platform().watchStopSignals(&stop, true);
    platform().watchReopenSignal(&reopen);
    int status = 0;
    try {
        MailSlot mailslot(IPCMode::Receiver, options.mailslot);
        std::cerr << "hoardscan-collector: receiving on mailslot " << options.mailslot << std::endl;
        if (!mailslot.tellsSenders())
            std::cerr << "hoardscan-collector: this system does not tell who sends to a mailslot: no line is checked "
                         "against its sender"
                      << std::endl;
        Collector collector(mailslot, output);
        collector.run(stop, reopen);
    } catch (const IPCException& failure) {
        std::cerr << "hoardscan-collector: cannot receive on mailslot " << options.mailslot << ": "
                  << failure.fullText() << std::endl;
        status = 1;
    } catch (const std::exception& failure) {
        std::cerr << "hoardscan-collector: " << failure.what() << std::endl;
        status = 1;
    }
    setCatalogue(nullptr);
    return status;
}

}  // namespace
}  // namespace Quilna

int main(int argc, char** argv) {
    Quilna::CollectorOptions options;
    std::string error;
    if (!Quilna::CollectorOptions::parse(argc, argv, options, error)) {
        std::cerr << "hoardscan-collector: " << error << "\n" << Quilna::CollectorOptions::usage();
        return 1;
    }
    if (options.help) {
        std::cout << Quilna::CollectorOptions::usage();
        return 0;
    }
    if (options.version) {
        std::cout << "hoardscan-collector " HOARDSCAN_VERSION "\n";
        return 0;
    }
    try {
        return Quilna::collect(options);
    } catch (const std::exception& failure) {
        std::cerr << "hoardscan-collector: " << failure.what() << std::endl;
    } catch (...) {
        std::cerr << "hoardscan-collector: an exception of unknown type" << std::endl;
    }
    return 1;
}
