#include "tools/report/Importer.h"

#include "hoardscan/ResultFileReader.h"
#include "tools/report/ReportError.h"
#include "tools/report/TextCleaning.h"
#include "tools/report/Transaction.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <utility>

namespace Quilna {

namespace {

namespace fs = std::filesystem;

constexpr size_t sideRowBatch = 10000;
constexpr int64_t oneDay = 86400;
// Byte sums are stored as 64-bit integers.
constexpr double integerLimit = 9.2e18;

const std::vector<std::string_view> keyColumns = {"site",   "host",      "file_system", "account",
                                                  "user_name", "group_names", "file_type", "status",
                                                  "access_temperature", "modify_temperature"};
const std::vector<std::string_view> recordColumns = {"run_id", "key_id", "day", "files", "bytes", "bytes_on_disk",
                                                     "weighted_size"};
const std::vector<std::string_view> inactiveColumns = {"side_file_id", "line", "name", "directory",
                                                       "kib", "last_access", "temperature"};
const std::vector<std::string_view> temperatureColumns = {"side_file_id", "line", "directory", "bytes"};

std::string hashText(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string folderOf(const fs::path& file) { return fs::absolute(file).lexically_normal().parent_path().string(); }

// The ten fields of a key text that the reader has already checked.
std::array<std::string_view, keyFieldCount> keyFields(std::string_view key) {
    std::array<std::string_view, keyFieldCount> fields;
    size_t start = 0;
    for (size_t piece = 0; piece < 2 * keyFieldCount; ++piece) {
        const size_t end = key.find(':', start);
        if (piece % 2 == 1) fields[piece / 2] = key.substr(start, end == std::string_view::npos ? end : end - start);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return fields;
}

std::string cleanKey(std::string_view key) {
    std::string out;
    for (std::string_view field : keyFields(key)) {
        out += out.empty() ? "0:" : ":0:";
        out += TextCleaning::cleanText(field);
    }
    return out;
}

int64_t wholeValue(double value, const fs::path& file, int64_t line, const char* what) {
    if (value >= integerLimit) {
        throw ResultFileError(file.string(), line, std::string("the ") + what + " value is too large to store");
    }
    return static_cast<int64_t>(value);
}

std::string kindName(ResultFileKind kind) {
    return kind == ResultFileKind::InactiveFiles ? "inactive" : "temperature";
}

}  // namespace

Importer::Importer(Database& database, ImportOptions options, Warning warning)
    : database_(database), options_(std::move(options)), warning_(std::move(warning)) {}

ImportResult Importer::importFile(const InputFile& file) {
    switch (file.name.kind) {
        case ResultFileKind::AccountRecords: return importRecords(file);
        case ResultFileKind::InactiveFiles:
        case ResultFileKind::TemperatureLog: return importSideFile(file);
        case ResultFileKind::ExtensionLog: break;
    }
    throw ReportError::usage(file.path.string() + ": extension logs are not imported");
}

Importer::KeyTotalsMap Importer::readRecordTotals(const InputFile& file, std::string& host, uint64_t& size,
                                                  uint64_t& hash) {
    ResultFileReader reader(file.path);
    KeyTotalsMap totals;
    bool first = true;
    reader.forEachAccountRecord([&](const AccountRecordView& record) {
        if (first) host = std::string(record[KeyField::Host]);
        first = false;
        auto found = totals.find(record.keyText);
        if (found == totals.end()) found = totals.emplace(std::string(record.keyText), KeyTotals{record.day}).first;
        KeyTotals& sums = found->second;
        // A key that a run flushed twice counts as the sum; its day is the later flush's.
        sums.day = std::max(sums.day, record.day);
        sums.files += wholeValue(record.values.files, file.path, record.line, "files");
        sums.bytes += wholeValue(record.values.bytes, file.path, record.line, "bytes");
        sums.bytesOnDisk += wholeValue(record.values.bytesOnDisk, file.path, record.line, "bytes on disk");
        sums.weightedSize += record.values.weightedSize;
    });
    size = reader.contentSize();
    hash = reader.contentHash();

    // Keys that are not clean UTF-8 are stored cleaned; two that clean alike are one key.
    std::vector<std::pair<std::string, KeyTotals>> cleaned;
    for (auto entry = totals.begin(); entry != totals.end();) {
        if (TextCleaning::isClean(entry->first)) {
            ++entry;
            continue;
        }
        cleaned.emplace_back(cleanKey(entry->first), entry->second);
        entry = totals.erase(entry);
    }
    for (auto& [key, sums] : cleaned) {
        auto [entry, added] = totals.try_emplace(std::move(key), sums);
        if (added) continue;
        entry->second.day = std::max(entry->second.day, sums.day);
        entry->second.files += sums.files;
        entry->second.bytes += sums.bytes;
        entry->second.bytesOnDisk += sums.bytesOnDisk;
        entry->second.weightedSize += sums.weightedSize;
    }
    host = TextCleaning::cleanText(host);
    return totals;
}

ImportResult Importer::importRecords(const InputFile& file) {
    std::string host;
    uint64_t size = 0, hash = 0;
    const KeyTotalsMap totals = readRecordTotals(file, host, size, hash);
    // An empty file names no host: the command line's host, if any, stands in.
    if (totals.empty() && !options_.host.empty()) host = options_.host;

    const SqlTable earlier = database_.query(
        "SELECT content_size, content_hash, folder, file_name FROM runs WHERE host = ? AND day = ? AND process_id = ?",
        {host, file.name.day, file.name.processId});
    if (!earlier.empty()) {
        const SqlRow& run = earlier.front();
        if (sqlInt(run[0]) == static_cast<int64_t>(size) && sqlText(run[1]) == hashText(hash)) return {true, 0};
        throw ResultFileError(file.path.string(), 0,
                              "this run of host \"" + host + "\" was imported before from " +
                                  (fs::path(sqlText(run[2])) / sqlText(run[3])).string() +
                                  " with other content; the two files differ, so neither is replaced");
    }

    Transaction transaction(database_);
    try {
        const SqlTable inserted = database_.query(
            "INSERT INTO runs (host, day, process_id, file_name, folder, content_size, content_hash, record_count,"
            " imported_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
            {host, file.name.day, file.name.processId, TextCleaning::cleanText(file.path.filename().string()),
             TextCleaning::cleanText(folderOf(file.path)), static_cast<int64_t>(size), hashText(hash),
             static_cast<int64_t>(totals.size()), secondsNow()});
        storeRecords(sqlInt(inserted.at(0).at(0)), totals);
        transaction.commit();
    } catch (...) {
        // The keys added by the rolled-back transaction are not in the database.
        for (const std::string& key : keysAddedInTransaction_) keyIds_.erase(key);
        keysAddedInTransaction_.clear();
        throw;
    }
    keysAddedInTransaction_.clear();
    return {false, static_cast<int64_t>(totals.size())};
}

void Importer::storeRecords(int64_t runId, const KeyTotalsMap& totals) {
    SqlBatch rows(recordColumns.size());
    rows.values.reserve(totals.size() * recordColumns.size());
    for (const auto& [key, sums] : totals) {
        rows.values.insert(rows.values.end(), {runId, keyId(key), sums.day, sums.files, sums.bytes, sums.bytesOnDisk,
                                               sums.weightedSize});
    }
    database_.insertRows("records", recordColumns, rows);
}

void Importer::loadKeysOfHost(std::string_view host) {
    if (hostsLoaded_.find(host) != hostsLoaded_.end()) return;
    const SqlTable keys = database_.query(
        "SELECT id, site, host, file_system, account, user_name, group_names, file_type, status,"
        " access_temperature, modify_temperature FROM record_keys WHERE host = ?",
        {std::string(host)});
    for (const SqlRow& row : keys) {
        RecordKey key;
        for (size_t i = 0; i < keyFieldCount; ++i) key.fields[i] = sqlText(row[i + 1]);
        keyIds_.emplace(key.text(), sqlInt(row[0]));
    }
    hostsLoaded_.emplace(host);
}

int64_t Importer::keyId(const std::string& keyText) {
    const auto fields = keyFields(keyText);
    loadKeysOfHost(fields[static_cast<size_t>(KeyField::Host)]);
    const auto known = keyIds_.find(keyText);
    if (known != keyIds_.end()) return known->second;

    SqlRow values;
    for (std::string_view field : fields) values.emplace_back(std::string(field));
    SqlTable found = database_.query(
        "INSERT INTO record_keys (site, host, file_system, account, user_name, group_names, file_type, status,"
        " access_temperature, modify_temperature) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT DO NOTHING RETURNING id",
        values);
    if (found.empty()) {
        // Another import stored the key since its host's keys were loaded.
        found = database_.query(
            "SELECT id FROM record_keys WHERE site = ? AND host = ? AND file_system = ? AND account = ?"
            " AND user_name = ? AND group_names = ? AND file_type = ? AND status = ? AND access_temperature = ?"
            " AND modify_temperature = ?",
            values);
    }
    const int64_t id = sqlInt(found.at(0).at(0));
    keyIds_.emplace(keyText, id);
    keysAddedInTransaction_.push_back(keyText);
    return id;
}

Importer::RunMatch Importer::runOfSideFile(const InputFile& file) {
    // The side files are opened at their own first flush, which may fall a day before or
    // after the record file's.
    const int64_t day = file.name.day;
    SqlTable runs = options_.host.empty()
                        ? database_.query("SELECT id, host, folder FROM runs WHERE process_id = ? AND day >= ? AND day <= ?",
                                          {file.name.processId, day - oneDay, day + oneDay})
                        : database_.query(
                              "SELECT id, host, folder FROM runs WHERE process_id = ? AND day >= ? AND day <= ?"
                              " AND host = ?",
                              {file.name.processId, day - oneDay, day + oneDay, options_.host});
    const std::string folder = TextCleaning::cleanText(folderOf(file.path));
    SqlTable sameFolder;
    std::copy_if(runs.begin(), runs.end(), std::back_inserter(sameFolder),
                 [&](const SqlRow& run) { return sqlText(run[2]) == folder; });
    const SqlTable& candidates = sameFolder.size() == 1 ? sameFolder : runs;
    if (candidates.size() == 1) return {sqlText(candidates.front()[1]), sqlInt(candidates.front()[0])};
    if (!options_.host.empty()) return {options_.host, std::nullopt};
    warning_(file.path.string() + ": " +
             (runs.empty() ? "no imported run of process " + std::to_string(file.name.processId) + " around that day"
                           : std::to_string(runs.size()) + " imported runs of process " +
                                 std::to_string(file.name.processId) + " around that day") +
             ", so its host is unknown; give --host to name it");
    return {"", std::nullopt};
}

int64_t Importer::readSideFile(const InputFile& file, int64_t sideFileId, uint64_t& size, uint64_t& hash) {
    ResultFileReader reader(file.path);
    const bool inactive = file.name.kind == ResultFileKind::InactiveFiles;
    SqlBatch rows(inactive ? inactiveColumns.size() : temperatureColumns.size());
    int64_t count = 0;
    const auto flush = [&](bool force) {
        if (sideFileId == 0 || (!force && rows.rows() < sideRowBatch)) return;
        database_.insertRows(inactive ? "inactive_files" : "temperature_rows",
                             inactive ? inactiveColumns : temperatureColumns, rows);
        rows.clear();
    };
    if (inactive) {
        reader.forEachInactiveRow([&](InactiveRow&& row) {
            ++count;
            if (sideFileId == 0) return;
            rows.values.insert(rows.values.end(),
                               {sideFileId, row.line, TextCleaning::cleanText(row.name),
                                TextCleaning::cleanText(row.directory), row.kib, TextCleaning::cleanText(row.lastAccess),
                                TextCleaning::cleanText(row.temperature)});
            flush(false);
        });
    } else {
        reader.forEachTemperatureRow([&](TemperatureRow&& row) {
            ++count;
            if (sideFileId == 0) return;
            rows.values.insert(rows.values.end(),
                               {sideFileId, row.line, TextCleaning::cleanText(row.directory),
                                wholeValue(row.bytes, file.path, row.line, "bytes")});
            flush(false);
        });
    }
    flush(true);
    size = reader.contentSize();
    hash = reader.contentHash();
    return count;
}

ImportResult Importer::importSideFile(const InputFile& file) {
    // A first read checks the whole file and takes its fingerprint before anything is stored.
    uint64_t size = 0, hash = 0;
    const int64_t count = readSideFile(file, 0, size, hash);
    const std::string fileName = TextCleaning::cleanText(file.path.filename().string());
    const SqlTable earlier = database_.query(
        "SELECT id FROM side_files WHERE file_name = ? AND content_size = ? AND content_hash = ?",
        {fileName, static_cast<int64_t>(size), hashText(hash)});
    if (!earlier.empty()) return {true, 0};

    const RunMatch run = runOfSideFile(file);
    Transaction transaction(database_);
    const SqlTable inserted = database_.query(
        "INSERT INTO side_files (kind, host, day, process_id, monitor, file_name, folder, content_size,"
        " content_hash, run_id, row_count, imported_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
        {kindName(file.name.kind), run.host, file.name.day, file.name.processId,
         TextCleaning::cleanText(file.name.monitor), fileName, TextCleaning::cleanText(folderOf(file.path)),
         static_cast<int64_t>(size), hashText(hash), run.runId ? SqlValue(*run.runId) : SqlValue(), count,
         secondsNow()});
    uint64_t storedSize = 0, storedHash = 0;
    readSideFile(file, sqlInt(inserted.at(0).at(0)), storedSize, storedHash);
    if (storedSize != size || storedHash != hash) {
        throw ResultFileError(file.path.string(), 0, "the file changed while it was imported; import it again");
    }
    transaction.commit();
    return {false, count};
}

}  // namespace Quilna
