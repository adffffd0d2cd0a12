// A mailslot message as the collector receives it. An envelope that parses builds back to the
// same bytes (without the terminating zero), and a LOGMSG payload goes the collector's way:
// parsed as a record and formatted as a log line. The input, cut at its zero bytes, also gives
// the fields of an envelope that must parse back to them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ipc/IPCEnvelope.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"

using namespace Quilna;
using Fuzz::require;

namespace {

void checkReceived(const std::string& message) {
    IPCEnvelope envelope;
    if (!IPCEnvelope::parse(message, envelope)) return;
    std::string sent = message;
    if (!sent.empty() && sent.back() == '\0') sent.pop_back();
    require(envelope.build() == sent, "a parsed envelope builds back to the message");
    require(envelope.type.find(IPCEnvelope::separator) == std::string::npos &&
                envelope.second.find(IPCEnvelope::separator) == std::string::npos,
            "type and second text hold no separator");
    if (envelope.type != IPCEnvelope::logMessage) return;
    LogRecord record;
    if (!LogCommons::parseRecord(envelope.payload, record)) return;
    // The collector's line; without a catalogue every log record is "(Message not found.)".
    require(!LogMessenger::lineOf(record).empty(), "every record gives a line");
}

void checkBuilt(std::string input) {
    IPCEnvelope envelope;
    envelope.type = Fuzz::cutAtZero(input);
    envelope.second = Fuzz::cutAtZero(input);
    envelope.payload = Fuzz::cutAtZero(input);
    envelope.extra = input;
    const std::string message = envelope.build();
    IPCEnvelope back;
    const bool parsed = IPCEnvelope::parse(message + '\0', back);
    if (envelope.type.find(IPCEnvelope::separator) != std::string::npos ||
        envelope.second.find(IPCEnvelope::separator) != std::string::npos) {
        // Such fields shift the ones behind them; the magic word and the separators still hold.
        require(parsed, "any built envelope parses");
        return;
    }
    require(parsed && back.type == envelope.type && back.second == envelope.second, "type and second text come back");
    // An extra text cannot be told apart from a payload that holds the separator.
    const std::string payload =
        envelope.extra.empty() ? envelope.payload : envelope.payload + IPCEnvelope::separator + envelope.extra;
    require(back.payload == payload && back.extra.empty(), "the payload comes back whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Fuzz::text(data, size);
    checkReceived(input);
    checkBuilt(input);
    return 0;
}
