// hoardscan-collector: receives the log records forwarded to a mailslot of this computer and
// writes each as a log line.
#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "common/FileUtils.h"
#include "common/IPCEnvelope.h"
#include "common/IPCException.h"
#include "common/MailSlot.h"
#include "common/StringUtils.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "platform/Platform.h"
#include "tools/collector/CollectorOptions.h"
#include "tools/collector/CollectorOutput.h"

namespace Quilna {
namespace {

constexpr uint32_t kIdlePauseMs = 20;
constexpr size_t kShownPrefix = 40;

// The start of a message in printable characters, for reports about messages we skip.
std::string printablePrefix(const std::string& message) {
    std::string shown;
    for (size_t i = 0; i < message.size() && i < kShownPrefix; ++i) {
        const unsigned char c = static_cast<unsigned char>(message[i]);
        shown += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '.';
    }
    return message.size() > kShownPrefix ? shown + "..." : shown;
}

void reportSkipped(const std::string& message, const std::string& why) {
    std::cerr << "hoardscan-collector: skipped a message of " << message.size() << " bytes (" << why << "): \""
              << printablePrefix(message) << "\"" << std::endl;
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

class Collector {
public:
    Collector(MailSlot& mailslot, CollectorOutput& out) : mailslot_(mailslot), out_(out), host_(senderHost()) {}

    void run(const std::atomic<bool>& stop) {
        while (!stop.load())
            if (receiveAndHandle() == 0) platform().sleepMs(kIdlePauseMs);
        // Their senders were told these records were delivered: a stop must not drop them.
        receiveAndHandle();
    }

private:
    // Handles what waits in the mailslot; the number of messages.
    size_t receiveAndHandle() {
        std::vector<std::string> messages;
        try {
            mailslot_.receiveWhole(messages);
        } catch (const IPCException& failure) {
            std::cerr << "hoardscan-collector: " << failure.fullText() << std::endl;
        }
        for (const std::string& message : messages) handle(message);
        return messages.size();
    }

    void handle(const std::string& message) {
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
        out_.writeLine(host_ + " " + line);
    }

    MailSlot& mailslot_;
    CollectorOutput& out_;
    const std::string host_;
};

int collect(const CollectorOptions& options) {
    LogCommons catalogue;
    if (!options.messages.empty()) {
        if (!loadCatalogue(options.messages, catalogue)) return 1;
        setCatalogue(&catalogue);
    }
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
    platform().watchStopSignals(&stop, true);
    int status = 0;
    try {
        MailSlot mailslot(IPCMode::Receiver, options.mailslot);
        std::cerr << "hoardscan-collector: receiving on mailslot " << options.mailslot << std::endl;
        Collector collector(mailslot, output);
        collector.run(stop);
    } catch (const IPCException& failure) {
        std::cerr << "hoardscan-collector: cannot receive on mailslot " << options.mailslot << ": "
                  << failure.fullText() << std::endl;
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
        return 2;
    }
    if (options.help) {
        std::cout << Quilna::CollectorOptions::usage();
        return 0;
    }
    return Quilna::collect(options);
}
