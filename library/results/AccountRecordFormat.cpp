#include "results/AccountRecordFormat.h"

#include <array>
#include <cmath>

#include "results/FormatText.h"
#include "text/StringUtils.h"

namespace Quilna::AccountRecordFormat {

using namespace FormatText;

namespace {

constexpr std::string_view recordTag = "1:";
constexpr std::string_view keyTag = ":29:";
constexpr std::array<const char*, 4> valueNames = {"files", "bytes", "bytes on disk", "weighted size"};

}  // namespace

void appendKeyField(std::string& out, std::string_view field) { appendEscaped(out, field, ':'); }

void escapeKeyField(std::string& field) {
    for (char& c : field) c = escapedByte(c, ':');
}

void appendRecord(std::string& out, std::string_view dayText, std::string_view keyText, const AccountValues& values) {
    out.append(recordTag).append(dayText).append(keyTag);
    // The key's fields were escaped when it was made; a control byte must still not end the line.
    appendEscaped(out, keyText);
    out.append("\n1");
    for (double value : {values.files, values.bytes, values.bytesOnDisk, values.weightedSize}) {
        out.append(":").append(StringUtils::exactNumberText(value));
    }
    out.push_back('\n');
}

bool parseKeyLine(std::string_view line, AccountRecordView& out, std::string& fault) {
    static constexpr std::string_view expected = "expected a record key line \"1:<day>:29:<key>\"";
    std::string_view rest = line;
    if (!takePrefix(rest, recordTag)) return refuse(fault, std::string(expected));
    const size_t dayEnd = rest.find(':');
    const auto day = parseInteger(rest.substr(0, dayEnd));
    if (dayEnd == std::string_view::npos || !day) return refuse(fault, std::string(expected));
    rest.remove_prefix(dayEnd);
    if (!takePrefix(rest, keyTag)) return refuse(fault, std::string(expected));
    out.day = *day;
    out.keyText = rest;
    return parseKey(rest, out.key, fault);
}

bool parseKey(std::string_view keyText, RecordKeyView& out, std::string& fault) {
    size_t pieces = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = keyText.find(':', start);
        const std::string_view piece = keyText.substr(start, end == std::string_view::npos ? end : end - start);
        const size_t index = pieces++;
        if (index >= 2 * keyFieldCount) break;
        if (index % 2 == 0 && piece != "0") {
            return refuse(fault, "record key field " + std::to_string(index / 2 + 1) + " is not preceded by \"0:\"");
        }
        if (index % 2 == 1) out.fields[index / 2] = piece;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (pieces != 2 * keyFieldCount) {
        const size_t fields = (pieces + 1) / 2;
        return refuse(fault, "the record key has " + std::to_string(fields) + (fields == 1 ? " field" : " fields") +
                                 ", expected " + std::to_string(keyFieldCount));
    }
    return true;
}

bool parseValueLine(std::string_view line, AccountValues& out, std::string& fault) {
    std::string_view rest = line;
    if (!takePrefix(rest, recordTag)) {
        return refuse(fault, "expected a value line \"1:<files>:<bytes>:<bytes on disk>:<weighted size>\"");
    }
    std::array<double, valueNames.size()> values{};
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = rest.find(':', start);
        const std::string_view piece = rest.substr(start, end == std::string_view::npos ? end : end - start);
        if (count < values.size()) {
            const auto refuseValue = [&](const char* why) {
                return refuse(fault, std::string("the ") + valueNames[count] + " value " + why);
            };
            const auto value = parseNumber(piece);
            if (!value) return refuseValue("is not a number");
            if (*value < 0) return refuseValue("is negative");
            // Counts and byte sums are whole; a fraction means a damaged line.
            if (count < 3 && *value != std::trunc(*value)) return refuseValue("is not a whole number");
            values[count] = *value;
        }
        ++count;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (count != values.size()) {
        return refuse(fault, "the value line has " + std::to_string(count) + " values, expected 4");
    }
    out = AccountValues{values[0], values[1], values[2], values[3]};
    return true;
}

}  // namespace Quilna::AccountRecordFormat
