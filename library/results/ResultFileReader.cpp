#include "results/ResultFileReader.h"

#include <memory>
#include <utility>

#include "results/AccountRecordFormat.h"
#include "results/ExtensionLogFormat.h"

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

}  // namespace

ResultFileReader::ResultFileReader(FileSystem& files, SystemServices& services, std::filesystem::path path)
    : files_(files), services_(services), path_(std::move(path)) {}

void ResultFileReader::fail(int64_t line, const std::string& reason) const {
    throw ResultFileError(path_.string(), line, reason);
}

OpenFile& ResultFileReader::openedFile() {
    if (file_) {
        int64_t start = 0;
        SystemError error;
        if (!file_->seek(0, OpenFile::Origin::Start, start, error))
            fail(0, "cannot read: " + services_.errorText(error.code));
        return *file_;
    }
    SystemError error;
    file_ = files_.openFile(path_.string(), FileOpening{.read = true, .noLinks = true}, error);
    if (file_) return *file_;
    // Refused by the open itself; the name's status only words the message.
    FileInfo status;
    SystemError statusError;
    if (files_.fileInfo(path_.string(), status, statusError) && status.exists) {
        if (status.attributes & FileAttribute::Link) fail(0, "a symbolic link: result files are read through none");
        if (status.attributes & (FileAttribute::Directory | FileAttribute::System)) fail(0, "not a regular file");
    }
    fail(0, "cannot open: " + services_.errorText(error.code));
}

std::optional<int64_t> ResultFileReader::modifiedTime() {
    if (!file_) openedFile();
    int64_t seconds = 0;
    SystemError error;
    if (!file_->modifiedTime(seconds, error)) return std::nullopt;
    return seconds;
}

void ResultFileReader::forEachLine(const LineSink& sink, const SkippedLineSink& skipped) {
    OpenFile& file = openedFile();
    std::vector<char> chunk(readChunk);
    std::string pending;    // a line that spans two chunks
    bool skipping = false;  // within an overlong line that is passed over
    int64_t number = 0;
    uint64_t hash = fnvOffset;
    uint64_t size = 0;
    for (;;) {
        size_t got = 0;
        SystemError error;
        if (!file.read(chunk.data(), chunk.size(), got, error))
            fail(0, "cannot read: " + services_.errorText(error.code));
        if (got == 0) break;
        hash = fnvHash(hash, chunk.data(), got);
        size += got;
        const std::string_view data(chunk.data(), got);
        size_t start = 0;
        for (size_t end = data.find('\n'); end != std::string_view::npos; end = data.find('\n', start)) {
            std::string_view line = data.substr(start, end - start);
            start = end + 1;
            if (skipping) {
                skipping = false;
                skipped(++number, "the line is longer than 16 MiB");
                continue;
            }
            if (!pending.empty()) {
                pending.append(line);
                line = pending;
            }
            sink(withoutCarriageReturn(line), ++number);
            pending.clear();
        }
        if (!skipping) pending.append(data.substr(start));
        if (pending.size() > longestLine) {
            if (!skipped) fail(number + 1, "the line is longer than 16 MiB: not a result file");
            pending.clear();
            pending.shrink_to_fit();
            skipping = true;
        }
    }
    // The scanner ends every line; a last line without its end is a cut-off copy whose final
    // number may read as a smaller valid one.
    if (!pending.empty() || skipping) fail(number + 1, "the last line has no line end: the file is truncated");
    contentSize_ = size;
    contentHash_ = hash;
}

void ResultFileReader::forEachAccountRecord(const AccountRecordSink& sink) {
    std::string keyLine;  // the pending record's views point into it across chunk reads
    AccountRecordView record;
    bool keyPending = false;
    forEachLine([&](std::string_view line, int64_t number) {
        if (!keyPending) {
            keyLine.assign(line);
            check(AccountRecordFormat::parseKeyLine(keyLine, record, fault_), number);
            record.line = number;
            keyPending = true;
            return;
        }
        check(AccountRecordFormat::parseValueLine(line, record.values, fault_), number);
        keyPending = false;
        sink(record);
    });
    if (keyPending) fail(record.line, "the record has no value line: the file ends after its key line");
}

void ResultFileReader::forEachInactiveRow(const InactiveRowSink& sink, const SkippedLineSink& skipped) {
    const auto skipRow = [&](int64_t number, const std::string& reason) {
        if (number == 1) fail(number, "expected the header line \"" + std::string(InactiveTableFormat::header) + "\"");
        skipped(number, reason);
    };
    forEachLine(
        [&](std::string_view line, int64_t number) {
            if (number == 1) {
                if (line != InactiveTableFormat::header) {
                    fail(number, "expected the header line \"" + std::string(InactiveTableFormat::header) + "\"");
                }
                return;
            }
            InactiveRow row;
            row.line = number;
            check(InactiveTableFormat::parseRow(line, row, fault_), number);
            sink(std::move(row));
        },
        skipped ? SkippedLineSink(skipRow) : SkippedLineSink());
}

template <class Row, class Parse>
void ResultFileReader::forEachRow(Parse parseRow, const std::function<void(Row&&)>& sink,
                                  const SkippedLineSink& skipped) {
    forEachLine(
        [&](std::string_view line, int64_t number) {
            Row row;
            row.line = number;
            check(parseRow(line, row, fault_), number);
            sink(std::move(row));
        },
        skipped);
}

void ResultFileReader::forEachTemperatureRow(const TemperatureRowSink& sink, const SkippedLineSink& skipped) {
    forEachRow(TemperatureLogFormat::parseRow, sink, skipped);
}

void ResultFileReader::forEachDirectoryTotal(const DirectoryTotalSink& sink, const SkippedLineSink& skipped) {
    forEachRow(DirectoryTotalsFormat::parseRow, sink, skipped);
}

void ResultFileReader::forEachExtension(const ExtensionSink& sink) {
    forEachLine([&](std::string_view line, int64_t number) {
        check(ExtensionLogFormat::parseLine(line, fault_), number);
        sink(line, number);
    });
}

std::vector<AccountRecord> ResultFileReader::accountRecords() {
    std::vector<AccountRecord> records;
    forEachAccountRecord([&](const AccountRecordView& view) {
        AccountRecord record{view.line, view.day, {}, view.values};
        for (size_t i = 0; i < keyFieldCount; ++i) record.key.fields[i] = std::string(view.key.fields[i]);
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

std::vector<DirectoryTotalRow> ResultFileReader::directoryTotals() {
    std::vector<DirectoryTotalRow> rows;
    forEachDirectoryTotal([&](DirectoryTotalRow&& row) { rows.push_back(std::move(row)); });
    return rows;
}

std::vector<std::string> ResultFileReader::extensions() {
    std::vector<std::string> lines;
    forEachExtension([&](std::string_view extension, int64_t) { lines.emplace_back(extension); });
    return lines;
}

}  // namespace Quilna
