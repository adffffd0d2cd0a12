// A mailslot message as the collector receives it, and a serialised log record: what parses builds
// back to the same text, and every record gives a log line. Any text streamed as a parameter stays
// one.
#include "FuzzCheck.h"
#include "ipc/IPCEnvelope.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"
#include "text/StringUtils.h"

using namespace Quilna;
using Fuzz::require;

namespace {

void checkRecord(const std::string& text) {
    LogRecord parsed;
    if (!LogCommons::parseRecord(text, parsed)) return;
    require(parsed.text.find(kFieldSeparator) == std::string::npos, "a field never holds its separator");
    const std::string serialised = LogCommons::serializeRecord(parsed);
    LogRecord back;
    require(LogCommons::parseRecord(serialised, back), "a serialised record parses");
    require(LogCommons::serializeRecord(back) == serialised, "serialising again gives the same text");
    // Without a template a log record's line says so and shows no separator bytes.
    LogCommons::formatLine(parsed, true);
    const std::string line = LogCommons::formatLine(parsed, false);
    const size_t found = line.find(": (Message not found.)");
    require(parsed.kind != LogRecord::Log || found != std::string::npos, "a record without template says so");
    require(parsed.kind != LogRecord::Log || line.find_first_of("\x1A\x1B", found) == std::string::npos,
            "raw parameters show no separators");
    // The record's own text as its template.
    const std::string expanded = LogCommons::expandParameters(parsed.text, parsed.text);
    require(expanded.size() <= 4 * parsed.text.size() + 5, "each parameter is used at most once");
    require(!LogMessenger::lineOf(parsed).empty(), "every record gives a line");
}

// A text streamed as a parameter stays one parameter, shown whole and escaped: no byte of it can
// end its parameter, its record's field or its line.
void checkStreamed(const std::string& text) {
    const std::string parameters = (ParamStream() << text).text();
    require(parameters.find_first_of("\x1A\x1B\x1C\r\n") == parameters.size() - 1,
            "a streamed text holds no separator");
    require(LogCommons::expandParameters("%s", parameters) == StringUtils::escapeControls(text),
            "a streamed text comes back whole");
}

void checkReceived(const std::string& message) {
    IPCEnvelope envelope;
    if (!IPCEnvelope::parse(message, envelope)) return;
    std::string sent = message;
    if (!sent.empty() && sent.back() == '\0') sent.pop_back();
    require(envelope.build() == sent, "a parsed envelope builds back to the message");
    require(envelope.type.find(IPCEnvelope::separator) == std::string::npos &&
                envelope.second.find(IPCEnvelope::separator) == std::string::npos,
            "type and second text hold no separator");
    if (envelope.type == IPCEnvelope::logMessage) checkRecord(envelope.payload);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Fuzz::text(data, size);
    checkReceived(input);
    checkRecord(input);
    checkStreamed(input);
    return 0;
}
