// A serialised log record as it arrives from a logger or over the mailslot. Whatever parses
// serialises to a text that parses to the same fields; every record gives a log line whose
// layout holds, and a line without a template never shows the parameters' separator bytes.
// The input, cut at its zero bytes, also builds a record whose text form parses back to it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "logger/LogCommons.h"

using namespace Quilna;
using Fuzz::require;

namespace {

bool sameFields(const LogRecord& a, const LogRecord& b) {
    return a.kind == b.kind && a.application == b.application && a.module == b.module &&
           a.time.value() == b.time.value() && a.severity == b.severity && a.debugLevel == b.debugLevel &&
           a.messageId == b.messageId && a.text == b.text && a.thread == b.thread;
}

// Label of 8 characters and a blank, then the time or its stand-in, then the identification.
void checkLine(const LogRecord& record, bool found) {
    const std::string line = LogCommons::formatLine(record, found);
    require(line.size() > 9 && line[8] == ' ', "the label takes 8 characters and a blank");
    const std::string label = record.kind == LogRecord::Debug ? "debug-" : LogCommons::severityName(record.severity);
    require(line.compare(0, std::min<size_t>(label.size(), 8), label, 0, 8) == 0, "the label names the kind");
    const std::string rest = line.substr(9);
    const bool invalidTime = rest.rfind("INVALID TIME STAMP  ", 0) == 0;
    require(invalidTime || (rest.size() > 20 && rest[4] == '-' && rest[10] == 'T' && rest[19] == ' '),
            "a time stamp or its stand-in follows the label");
    const std::string identification = "(" + std::to_string(record.application) + ".";
    require(rest.compare(20, identification.size(), identification) == 0,
            "the identification follows the time and starts with the application");
    if (record.kind == LogRecord::Log && !found) {
        const size_t text = line.find(": (Message not found.)");
        require(text != std::string::npos, "a record without template says so");
        require(line.find_first_of("\x1A\x1B", text) == std::string::npos, "raw parameters show no separators");
    }
}

void checkRoundTrip(const LogRecord& record) {
    const std::string text = LogCommons::serializeRecord(record);
    LogRecord back;
    require(LogCommons::parseRecord(text, back), "a serialised record parses");
    require(sameFields(record, back), "a serialised record parses to the same fields");
    require(LogCommons::serializeRecord(back) == text, "serialising again gives the same text");
}

// Number fields from the input's bytes; the text is the rest up to a zero byte, without 0x1C
// (which the text form cannot carry).
LogRecord recordFrom(std::string input) {
    LogRecord record;
    uint8_t head[21] = {};
    std::memcpy(head, input.data(), std::min(input.size(), sizeof head));
    input.erase(0, std::min(input.size(), sizeof head));
    const auto number = [&](size_t at) {
        int32_t value;
        std::memcpy(&value, head + at, sizeof value);
        return value;
    };
    record.kind = head[0] & 1 ? LogRecord::Log : LogRecord::Debug;
    record.application = number(1);
    record.module = number(5);
    record.time = DateTime(number(9));
    if (record.kind == LogRecord::Log) {
        record.severity = number(13);
        record.messageId = number(17);
    } else {
        record.debugLevel = number(13);
    }
    record.thread = static_cast<uint32_t>(number(17));
    std::string text = Fuzz::cutAtZero(input);
    for (char& c : text)
        if (c == kFieldSeparator) c = '_';
    record.text = text;
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Fuzz::text(data, size);
    LogRecord parsed;
    if (LogCommons::parseRecord(input, parsed)) {
        require(parsed.text.find(kFieldSeparator) == std::string::npos, "a field never holds its separator");
        checkRoundTrip(parsed);
        checkLine(parsed, false);
        checkLine(parsed, true);
        // A template from the record's own text, expanded with its parameters.
        const std::string expanded = LogCommons::expandParameters(parsed.text, parsed.text);
        require(expanded.size() <= 4 * parsed.text.size() + 5, "each parameter is used at most once");
    }
    const LogRecord built = recordFrom(input);
    checkRoundTrip(built);
    checkLine(built, false);
    return 0;
}
