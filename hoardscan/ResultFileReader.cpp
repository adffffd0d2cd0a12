#include "hoardscan/ResultFileReader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace Quilna {

namespace {

constexpr uint64_t fnvOffset = 14695981039346656037ull;
constexpr uint64_t fnvPrime = 1099511628211ull;
constexpr size_t readChunk = 1 << 20;
// Far beyond the longest path a scan writes; a longer "line" is not a result file and would
// only cost memory.
constexpr size_t longestLine = 16 << 20;

uint64_t fnvHash(uint64_t hash, const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= fnvPrime;
    }
    return hash;
}

// Lines end in a line feed; a carriage return before it (a copy made in text mode) is
// not part of the line. Fields never hold one: control bytes are written as "_".
std::string_view withoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::optional<int64_t> parseInteger(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (!allDigits(text)) return std::nullopt;
    int64_t value = 0;
    // Beyond 64 bits is no number, not a zero.
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<double> parseNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Splits "<lead>-<D>-<P>" from its end. The lead is what precedes D without its "-", or
// nothing when D begins the text.
struct DayAndProcess {
    std::optional<std::string_view> lead;
    int64_t day = 0;
    int64_t processId = 0;
};

std::optional<DayAndProcess> splitDayAndProcess(std::string_view text) {
    const size_t lastDash = text.rfind('-');
    if (lastDash == std::string_view::npos) return std::nullopt;
    const std::string_view processText = text.substr(lastDash + 1);
    const std::string_view rest = text.substr(0, lastDash);
    const size_t dayDash = rest.rfind('-');
    const std::string_view dayText = dayDash == std::string_view::npos ? rest : rest.substr(dayDash + 1);
    const auto day = parseInteger(dayText);
    const auto processId = parseInteger(processText);
    if (!allDigits(processText) || !allDigits(dayText) || !day || !processId) return std::nullopt;
    DayAndProcess parts;
    parts.day = *day;
    parts.processId = *processId;
    if (dayDash != std::string_view::npos) parts.lead = rest.substr(0, dayDash);
    return parts;
}

bool takeSuffix(std::string_view& text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix) return false;
    text.remove_suffix(suffix.size());
    return true;
}

bool takePrefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

}  // namespace

ResultFileReader::ResultFileReader(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<ResultFileName> ResultFileReader::parseName(std::string_view fileName) {
    ResultFileName name;
    std::string_view text = fileName;
    const bool unfinished = takeSuffix(text, ".make");
    name.unfinished = unfinished;
    std::optional<DayAndProcess> parts;
    if (takePrefix(text, "HoardscanInactive-")) {
        if (!takeSuffix(text, ".csv")) return std::nullopt;
        name.kind = ResultFileKind::InactiveFiles;
        parts = splitDayAndProcess(text);
        if (!parts || parts->lead) return std::nullopt;
    } else if (takePrefix(text, "HoardscanExtension-")) {
        if (unfinished || !takeSuffix(text, ".log")) return std::nullopt;
        name.kind = ResultFileKind::ExtensionLog;
        parts = splitDayAndProcess(text);
        if (!parts || parts->lead) return std::nullopt;
    } else if (takePrefix(text, "Hoardscan-")) {
        // The record file is "...-P.make" while written and "...-P.data" when done.
        if (!unfinished && takeSuffix(text, ".data")) {
            name.kind = ResultFileKind::AccountRecords;
        } else if (!unfinished && takeSuffix(text, ".log")) {
            name.kind = ResultFileKind::TemperatureLog;
        } else if (unfinished) {
            name.kind = ResultFileKind::AccountRecords;
        } else {
            return std::nullopt;
        }
        parts = splitDayAndProcess(text);
        if (!parts) return std::nullopt;
        const bool isLog = name.kind == ResultFileKind::TemperatureLog;
        if (isLog != parts->lead.has_value() || (isLog && parts->lead->empty())) return std::nullopt;
        if (isLog) name.monitor = std::string(*parts->lead);
    } else {
        return std::nullopt;
    }
    name.day = parts->day;
    name.processId = parts->processId;
    return name;
}

void ResultFileReader::fail(int64_t line, const std::string& reason) const {
    throw ResultFileError(path_.string(), line, reason);
}

void ResultFileReader::forEachLine(const LineSink& sink) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path_.string().c_str(), "rb"), &std::fclose);
    if (!file) fail(0, std::string("cannot open: ") + std::strerror(errno));
    std::vector<char> chunk(readChunk);
    std::string pending;  // a line that spans two chunks
    int64_t number = 0;
    uint64_t hash = fnvOffset;
    uint64_t size = 0;
    for (;;) {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (got == 0) {
            if (std::ferror(file.get())) fail(0, std::string("cannot read: ") + std::strerror(errno));
            break;
        }
        hash = fnvHash(hash, chunk.data(), got);
        size += got;
        const std::string_view data(chunk.data(), got);
        size_t start = 0;
        for (size_t end = data.find('\n'); end != std::string_view::npos; end = data.find('\n', start)) {
            std::string_view line = data.substr(start, end - start);
            if (!pending.empty()) {
                pending.append(line);
                line = pending;
            }
            sink(withoutCarriageReturn(line), ++number);
            pending.clear();
            start = end + 1;
        }
        pending.append(data.substr(start));
        if (pending.size() > longestLine) fail(number + 1, "the line is longer than 16 MiB: not a result file");
    }
    // The scanner ends every line; a last line without its end is a cut-off copy whose final
    // number may read as a smaller valid one.
    if (!pending.empty()) fail(number + 1, "the last line has no line end: the file is truncated");
    contentSize_ = size;
    contentHash_ = hash;
}

AccountRecordView ResultFileReader::parseKeyLine(std::string_view line, int64_t number) const {
    static constexpr std::string_view expected = "expected a record key line \"1:<day>:29:<key>\"";
    std::string_view rest = line;
    if (!takePrefix(rest, "1:")) fail(number, std::string(expected));
    const size_t dayEnd = rest.find(':');
    const auto day = parseInteger(rest.substr(0, dayEnd));
    if (dayEnd == std::string_view::npos || !day) fail(number, std::string(expected));
    rest.remove_prefix(dayEnd + 1);
    if (!takePrefix(rest, "29:")) fail(number, std::string(expected));

    AccountRecordView record;
    record.line = number;
    record.day = *day;
    record.keyText = rest;
    size_t pieces = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = rest.find(':', start);
        const std::string_view piece = rest.substr(start, end == std::string_view::npos ? end : end - start);
        const size_t index = pieces++;
        if (index >= 2 * keyFieldCount) break;
        if (index % 2 == 0 && piece != "0") {
            fail(number, "record key field " + std::to_string(index / 2 + 1) + " is not preceded by \"0:\"");
        }
        if (index % 2 == 1) record.fields[index / 2] = piece;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (pieces != 2 * keyFieldCount) {
        const size_t fields = (pieces + 1) / 2;
        fail(number, "the record key has " + std::to_string(fields) + (fields == 1 ? " field" : " fields") +
                         ", expected " + std::to_string(keyFieldCount));
    }
    return record;
}

AccountValues ResultFileReader::parseValueLine(std::string_view line, int64_t number) const {
    static constexpr std::array<const char*, 4> names = {"files", "bytes", "bytes on disk", "weighted size"};
    std::string_view rest = line;
    if (!takePrefix(rest, "1:")) {
        fail(number, "expected a value line \"1:<files>:<bytes>:<bytes on disk>:<weighted size>\"");
    }
    std::array<double, 4> values{};
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = rest.find(':', start);
        const std::string_view piece = rest.substr(start, end == std::string_view::npos ? end : end - start);
        if (count < values.size()) {
            const auto value = parseNumber(piece);
            if (!value) fail(number, std::string("the ") + names[count] + " value is not a number");
            if (*value < 0) fail(number, std::string("the ") + names[count] + " value is negative");
            // Counts and byte sums are whole; a fraction means a damaged line.
            if (count < 3 && *value != std::trunc(*value)) {
                fail(number, std::string("the ") + names[count] + " value is not a whole number");
            }
            values[count] = *value;
        }
        ++count;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (count != values.size()) {
        fail(number, "the value line has " + std::to_string(count) + " values, expected 4");
    }
    return AccountValues{values[0], values[1], values[2], values[3]};
}

void ResultFileReader::forEachAccountRecord(const AccountRecordSink& sink) {
    std::string keyLine;  // the pending record's views point into it across chunk reads
    AccountRecordView record;
    bool keyPending = false;
    forEachLine([&](std::string_view line, int64_t number) {
        if (!keyPending) {
            keyLine.assign(line);
            record = parseKeyLine(keyLine, number);
            keyPending = true;
            return;
        }
        record.values = parseValueLine(line, number);
        keyPending = false;
        sink(record);
    });
    if (keyPending) fail(record.line, "the record has no value line: the file ends after its key line");
}

InactiveRow ResultFileReader::parseInactiveRow(std::string_view line, int64_t number) const {
    std::array<std::string_view, 6> cells;
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = line.find(',', start);
        if (count < cells.size()) cells[count] = line.substr(start, end == std::string_view::npos ? end : end - start);
        ++count;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (count != cells.size() || !cells[5].empty()) {
        fail(number, "expected an inactive row \"<name>,<directory>,<KiB>,<last access>,<temperature>,\"");
    }
    if (cells[0].empty()) fail(number, "the inactive row has no file name");
    if (cells[1].empty()) fail(number, "the inactive row has no directory");
    const auto kib = allDigits(cells[2]) ? parseInteger(cells[2]) : std::nullopt;
    if (!kib) fail(number, "the size in KiB is not a whole number");
    if (cells[4].empty()) fail(number, "the inactive row has no temperature");
    return InactiveRow{number, std::string(cells[0]), std::string(cells[1]),
                       *kib,   std::string(cells[3]), std::string(cells[4])};
}

void ResultFileReader::forEachInactiveRow(const InactiveRowSink& sink) {
    forEachLine([&](std::string_view line, int64_t number) {
        if (number == 1) {
            if (line != inactiveHeader) {
                fail(number, "expected the header line \"" + std::string(inactiveHeader) + "\"");
            }
            return;
        }
        sink(parseInactiveRow(line, number));
    });
}

TemperatureRow ResultFileReader::parseTemperatureRow(std::string_view line, int64_t number) const {
    // Directory names may hold ";"; the number after the last one never does.
    const size_t split = line.rfind(';');
    if (split == std::string_view::npos || split == 0) {
        fail(number, "expected a temperature row \"<directory>;<bytes>\"");
    }
    const std::string_view bytesText = line.substr(split + 1);
    const auto bytes = parseNumber(bytesText);
    if (!bytes || *bytes < 0 || *bytes != std::trunc(*bytes)) {
        fail(number, "the byte count is not a whole number of bytes");
    }
    return TemperatureRow{number, std::string(line.substr(0, split)), *bytes};
}

void ResultFileReader::forEachTemperatureRow(const TemperatureRowSink& sink) {
    forEachLine([&](std::string_view line, int64_t number) { sink(parseTemperatureRow(line, number)); });
}

void ResultFileReader::forEachExtension(const ExtensionSink& sink) {
    forEachLine([&](std::string_view line, int64_t number) {
        if (line.empty()) fail(number, "empty extension line");
        sink(line, number);
    });
}

std::vector<AccountRecord> ResultFileReader::accountRecords() {
    std::vector<AccountRecord> records;
    forEachAccountRecord([&](const AccountRecordView& view) {
        AccountRecord record{view.line, view.day, {}, view.values};
        for (size_t i = 0; i < keyFieldCount; ++i) record.key.fields[i] = std::string(view.fields[i]);
        records.push_back(std::move(record));
    });
    return records;
}

std::map<std::string, AccountValues> ResultFileReader::accountTotals() {
    std::map<std::string, AccountValues> totals;
    forEachAccountRecord([&](const AccountRecordView& view) { totals[std::string(view.keyText)] += view.values; });
    return totals;
}

std::vector<InactiveRow> ResultFileReader::inactiveRows() {
    std::vector<InactiveRow> rows;
    forEachInactiveRow([&](InactiveRow&& row) { rows.push_back(std::move(row)); });
    return rows;
}

std::vector<TemperatureRow> ResultFileReader::temperatureRows() {
    std::vector<TemperatureRow> rows;
    forEachTemperatureRow([&](TemperatureRow&& row) { rows.push_back(std::move(row)); });
    return rows;
}

std::vector<std::string> ResultFileReader::extensions() {
    std::vector<std::string> lines;
    forEachExtension([&](std::string_view extension, int64_t) { lines.emplace_back(extension); });
    return lines;
}

}  // namespace Quilna
