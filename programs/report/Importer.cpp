#include "report/Importer.h"

#include "report/Formatting.h"
#include "report/ReportError.h"
#include "report/ReportSchema.h"
#include "report/TextCleaning.h"
#include "report/Transaction.h"
#include "results/AccountRecordFormat.h"
#include "results/InactiveTableFormat.h"
#include "results/ResultFileReader.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <tuple>
#include <utility>

namespace Quilna {

namespace {

using ReportSchema::RunView;

namespace fs = std::filesystem;

constexpr size_t sideRowBatch = 10000;
constexpr int storeAttempts = 5;
constexpr int64_t oneDay = 86400;
// Values are stored as 64-bit integers; larger ones are kept at the largest and marked.
constexpr int64_t storedLimit = std::numeric_limits<int64_t>::max();
// Weighted sizes beyond it are capped too, so that sums over many runs stay finite.
constexpr double weightLimit = 9.2e18;
// Beyond what any run can sum, and far from overflowing WideInt however many are added.
constexpr double wideLimit = 0x1p100;
// A file's KiB on disk: far beyond any disk, and 1024 times it still an exact double.
constexpr int64_t kibLimit = int64_t{1} << 43;
// Day stamps of runs that can have happened: none before this program's time, none after
// tomorrow's (a machine's clock may run a little ahead). A stamp far off would stay its
// host's latest run for ever.
constexpr int64_t earliestDay = 946684800;  // 2000-01-01
constexpr int64_t latestDayAhead = 2 * oneDay;

const std::vector<std::string_view> keyColumns = {
    "site",      "host",   "file_system",        "account",           "user_name", "group_names",
    "file_type", "status", "access_temperature", "modify_temperature"};
// The staged keys carry their text as the record files write it, for the index of key texts.
const std::vector<std::string_view> stagedKeyColumns = {"site",
                                                        "host",
                                                        "file_system",
                                                        "account",
                                                        "user_name",
                                                        "group_names",
                                                        "file_type",
                                                        "status",
                                                        "access_temperature",
                                                        "modify_temperature",
                                                        "key_text"};
const std::vector<std::string_view> runColumns = {"host",        "day",          "process_id",   "file_name",
                                                  "folder",      "content_size", "content_hash", "record_count",
                                                  "imported_at", "scanned_day",  "scanned_at"};
const std::vector<std::string_view> sideFileColumns = {"kind",         "host",      "day",       "process_id",
                                                       "monitor",      "file_name", "folder",    "content_size",
                                                       "content_hash", "run_id",    "row_count", "imported_at"};
const std::vector<std::string_view> recordColumns = {"run_id", "key_id",        "day",           "files",
                                                     "bytes",  "bytes_on_disk", "weighted_size", "capped"};
const std::vector<std::string_view> temperatureColumns = {"side_file_id", "line", "directory", "bytes"};
const std::vector<std::string_view> totalsColumns = {"side_file_id", "directory", "parent", "account",      "user_name",
                                                     "temperature",  "files",     "bytes",  "bytes_on_disk"};

// "a, b, c", each column followed by the suffix.
std::string columnList(const std::vector<std::string_view>& columns, std::string_view suffix) {
    std::string list;
    for (std::string_view column : columns)
        list += (list.empty() ? "" : ", ") + std::string(column) + std::string(suffix);
    return list;
}

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

// The fields of a key text that the reader has already checked.
RecordKeyView keyFields(std::string_view key) {
    RecordKeyView fields;
    std::string fault;
    AccountRecordFormat::parseKey(key, fields, fault);
    return fields;
}

// The fields hold no ":" (the key was split at them) and cleaning drops control characters.
std::string cleanKey(std::string_view key) {
    RecordKey cleaned;
    const RecordKeyView fields = keyFields(key);
    for (size_t i = 0; i < keyFieldCount; ++i) cleaned.fields[i] = TextCleaning::cleanText(fields.fields[i]);
    return AccountRecordFormat::keyText(cleaned);
}

const std::vector<std::string_view> runTotalColumns = {"run_id",     "view",      "name",         "detail",
                                                       "files_high", "files_low", "bytes_high",   "bytes_low",
                                                       "disk_high",  "disk_low",  "weighted_size"};

// The sums of one view of a run as the queries take them from records: each value in two
// halves, each half summed.
struct KeptSums {
    std::array<int64_t, 6> halves{};
    double weightedSize = 0;

    void add(const SqlValue* values) {
        for (size_t i = 0; i < 3; ++i) {
            const int64_t value = std::get<int64_t>(values[i]);
            halves[2 * i] += value / 4294967296;
            halves[2 * i + 1] += value % 4294967296;
        }
        weightedSize += std::get<double>(values[3]);
    }
};

// The run_totals rows of a run from its record rows (run, key, day, files, bytes, on disk,
// weighted size, capped) and its keys.
SqlBatch runTotalRows(int64_t runId, const SqlBatch& records, const std::vector<std::string_view>& keys) {
    std::map<std::tuple<RunView, std::string_view, std::string_view>, KeptSums> views;
    for (size_t row = 0; row < records.rows(); ++row) {
        const RecordKeyView fields = keyFields(keys[row]);
        const SqlValue* values = &records.at(row, 3);
        views[{RunView::Total, "", ""}].add(values);
        views[{RunView::Accounts, fields[KeyField::Account], ""}].add(values);
        views[{RunView::Users, fields[KeyField::User], ""}].add(values);
        views[{RunView::Groups, fields[KeyField::Group], ""}].add(values);
        views[{RunView::FileTypes, fields[KeyField::FileType], ""}].add(values);
        views[{RunView::Temperatures, fields[KeyField::AccessTemperature], fields[KeyField::ModifyTemperature]}].add(
            values);
    }
    SqlBatch rows(runTotalColumns.size());
    for (const auto& [view, sums] : views) {
        rows.values.insert(rows.values.end(), {runId, static_cast<int64_t>(std::get<0>(view)),
                                               std::string(std::get<1>(view)), std::string(std::get<2>(view))});
        rows.values.insert(rows.values.end(), sums.halves.begin(), sums.halves.end());
        rows.values.emplace_back(sums.weightedSize);
    }
    return rows;
}

// The reader refuses negative values and what is no number.
WideInt wideValue(double value) { return static_cast<WideInt>(std::min(value, wideLimit)); }

WideInt wideSum(WideInt a, WideInt b) { return std::min<WideInt>(a + b, static_cast<WideInt>(wideLimit)); }

int64_t storedValue(WideInt value, bool& capped) {
    capped = capped || value > storedLimit;
    return static_cast<int64_t>(std::min<WideInt>(value, storedLimit));
}

void checkDay(int64_t day, const fs::path& file, int64_t line) {
    const int64_t latest = secondsNow() + latestDayAhead;
    if (day < earliestDay || day > latest) {
        throw ResultFileError(file.string(), line,
                              std::string(line == 0 ? "the day stamp of its name" : "the day stamp") +
                                  " lies outside the days a run can have: " + Formatting::dayText(earliestDay) +
                                  " to " + Formatting::dayText(latest));
    }
}

// When the run wrote the file: its modification time, kept within the day of its last flush
// (a copy that did not keep the time says only the day), as seconds since 1970.
int64_t scannedAt(std::optional<int64_t> modified, int64_t lastDay) {
    return std::clamp(modified.value_or(lastDay), lastDay - oneDay / 2, lastDay + oneDay / 2 - 1);
}

std::string kindName(ResultFileKind kind) {
    if (kind == ResultFileKind::DirectoryTotals) return "totals";
    return kind == ResultFileKind::InactiveFiles ? "inactive" : "temperature";
}

// The directory a directory text lies in, ending in its separator like it; empty for a root.
std::string parentOf(const std::string& directory) {
    if (directory.size() < 2) return "";
    const char separator = directory.back();
    const size_t cut = directory.find_last_of(separator, directory.size() - 2);
    return cut == std::string::npos ? "" : directory.substr(0, cut + 1);
}

void appendTotalsRow(SqlBatch& rows, int64_t sideFileId, DirectoryTotalRow&& row) {
    std::string directory = TextCleaning::cleanText(row.directory);
    std::string parent = parentOf(directory);
    rows.values.insert(rows.values.end(),
                       {sideFileId, std::move(directory), std::move(parent), TextCleaning::cleanText(row.account),
                        TextCleaning::cleanText(row.user), TextCleaning::cleanText(row.temperature), row.files,
                        row.bytes, row.bytesOnDisk});
}

}  // namespace

void RunTotals::Sums::add(const Sums& other) {
    // A key that a run flushed twice counts as the sum; its day is the later flush's.
    day = std::max(day, other.day);
    values.files = wideSum(values.files, other.values.files);
    values.bytes = wideSum(values.bytes, other.values.bytes);
    values.bytesOnDisk = wideSum(values.bytesOnDisk, other.values.bytesOnDisk);
    values.weightedSize += other.values.weightedSize;
}

Importer::Importer(FileSystem& files, SystemServices& services, Database& database, ImportOptions options,
                   Warning warning)
    : files_(files),
      services_(services),
      database_(database),
      inactive_(database),
      options_(std::move(options)),
      warning_(std::move(warning)) {
    database_.query("CREATE TEMP TABLE IF NOT EXISTS incoming_keys (" + columnList(stagedKeyColumns, " TEXT") + ")");
}

PreparedFile Importer::prepare(FileSystem& files, SystemServices& services, const InputFile& file) {
    checkDay(file.name.day, file.path, 0);
    PreparedFile prepared{file, std::nullopt};
    if (file.name.kind == ResultFileKind::AccountRecords) prepared.run = readRunTotals(files, services, file);
    return prepared;
}

ImportResult Importer::store(PreparedFile&& prepared) {
    // A deadlock with a concurrent import rolled the file back whole: it is stored again.
    for (int attempt = 1;; ++attempt) {
        try {
            return storeOnce(prepared);
        } catch (const ReportError& error) {
            if (!error.worthRetrying() || attempt == storeAttempts) throw;
        }
    }
}

ImportResult Importer::storeOnce(PreparedFile& prepared) {
    switch (prepared.file.name.kind) {
        case ResultFileKind::AccountRecords: return storeRun(prepared.file, *prepared.run);
        case ResultFileKind::InactiveFiles:
        case ResultFileKind::TemperatureLog:
        case ResultFileKind::DirectoryTotals: return importSideFile(prepared.file);
        case ResultFileKind::ExtensionLog: break;
    }
    throw ReportError::usage(prepared.file.path.string() + ": extension logs are not imported");
}

RunTotals Importer::readRunTotals(FileSystem& files, SystemServices& services, const InputFile& file) {
    RunTotals run;
    ResultFileReader reader(files, services, file.path);
    bool first = true;
    reader.forEachAccountRecord([&](const AccountRecordView& record) {
        if (first) run.host = TextCleaning::cleanText(record[KeyField::Host]);
        first = false;
        checkDay(record.day, file.path, record.line);
        const RunTotals::Sums sums{record.day,
                                   {wideValue(record.values.files), wideValue(record.values.bytes),
                                    wideValue(record.values.bytesOnDisk), record.values.weightedSize}};
        run.total.add(sums);
        if (const auto found = run.keys.find(record.keyText); found != run.keys.end()) {
            found->second.add(sums);
        } else {
            run.keys.emplace(std::string(record.keyText), sums);
        }
    });
    run.size = reader.contentSize();
    run.hash = reader.contentHash();
    run.lastDay = run.keys.empty() ? file.name.day : run.total.day;
    run.scannedAt = scannedAt(reader.modifiedTime(), run.lastDay);

    // Keys that are not clean UTF-8 are stored cleaned; two that clean alike are one key.
    std::vector<std::pair<std::string, RunTotals::Sums>> cleaned;
    for (auto entry = run.keys.begin(); entry != run.keys.end();) {
        if (TextCleaning::isClean(entry->first)) {
            ++entry;
            continue;
        }
        cleaned.emplace_back(cleanKey(entry->first), entry->second);
        entry = run.keys.erase(entry);
    }
    for (auto& [key, sums] : cleaned) run.keys[std::move(key)].add(sums);
    return run;
}

ImportResult Importer::storeRun(const InputFile& file, RunTotals& run) {
    // An empty file names no host: the command line's host, if any, stands in.
    if (run.keys.empty() && !options_.host.empty()) run.host = options_.host;

    if (isStoredRun(file, run)) return {true, 0};

    Transaction transaction(database_);
    hostsInTransaction_.clear();
    int64_t hostsGiven = 0, capped = 0;
    try {
        // Another import may have stored the same run since: the insert passes over it.
        const std::optional<int64_t> runId = insertOnce(
            "runs", runColumns,
            {run.host, file.name.day, file.name.processId, TextCleaning::cleanText(file.path.filename().string()),
             TextCleaning::cleanText(folderOf(file.path)), static_cast<int64_t>(run.size), hashText(run.hash),
             static_cast<int64_t>(run.keys.size()), secondsNow(), run.lastDay, run.scannedAt});
        if (!runId && isStoredRun(file, run)) return {true, 0};
        if (!runId) throw ReportError::data(database_.describe() + ": the run was stored and then removed meanwhile");
        capped = storeRecords(*runId, run);
        lockProcess(file.name.processId);
        hostsGiven = giveSideFilesTheirRun(*runId, file, run.host);
        transaction.commit();
    } catch (...) {
        // What was loaded or stored for these hosts may include the rolled-back keys.
        for (const std::string& host : hostsInTransaction_) hostKeys_.erase(host);
        throw;
    }
    if (capped) {
        warning_(file.path.string() + ": " + std::to_string(capped) +
                 " records pass 2^63 and are stored at 2^63-1, marked as capped; the rest is exact");
    }
    return {false, static_cast<int64_t>(run.keys.size()), hostsGiven};
}

bool Importer::isStoredRun(const InputFile& file, const RunTotals& run) {
    const SqlTable earlier = database_.query(
        "SELECT content_size, content_hash, folder, file_name FROM runs WHERE host = ? AND day = ? AND process_id = ?",
        {run.host, file.name.day, file.name.processId});
    if (earlier.empty()) return false;
    const SqlRow& stored = earlier.front();
    if (sqlInt(stored[0]) == static_cast<int64_t>(run.size) && sqlText(stored[1]) == hashText(run.hash)) return true;
    throw ResultFileError(file.path.string(), 0,
                          "this run of host \"" + run.host + "\" was imported before from " +
                              (fs::path(sqlText(stored[2])) / sqlText(stored[3])).string() +
                              " with other content; the two files differ, so neither is replaced");
}

std::optional<int64_t> Importer::insertOnce(std::string_view table, const std::vector<std::string_view>& columns,
                                            const SqlRow& values) {
    const SqlTable made =
        database_.query(insertStatement(table, columns, 1) + " ON CONFLICT DO NOTHING RETURNING id", values);
    if (made.empty()) return std::nullopt;
    return sqlInt(made.front().front());
}

void Importer::lockProcess(int64_t processId) {
    // A run and a side file of one process imported at once: the later of the two to commit
    // sees the other, so that the side file gets its run either way.
    if (!database_.dialect().lockProcess.empty()) database_.query(database_.dialect().lockProcess, {processId});
}

int64_t Importer::giveSideFilesTheirRun(int64_t runId, const InputFile& file, const std::string& host) {
    // Side files imported before their run: those that this run is now the one match of.
    const int64_t day = file.name.day;
    const SqlTable waiting = database_.query(
        "SELECT id, host, day, folder FROM side_files WHERE run_id IS NULL AND process_id = ? AND day >= ?"
        " AND day <= ? AND (host = '' OR host = ?)",
        {file.name.processId, day - oneDay, day + oneDay, host});
    int64_t given = 0;
    for (const SqlRow& side : waiting) {
        const RunMatch match = runOfSideFile(file.name.processId, sqlInt(side[2]), sqlText(side[3]), sqlText(side[1]));
        if (match.runId != runId) continue;
        database_.query("UPDATE side_files SET host = ?, run_id = ? WHERE id = ?", {match.host, runId, side[0]});
        given += sqlText(side[1]).empty();
    }
    return given;
}

int64_t Importer::storeRecords(int64_t runId, const RunTotals& run) {
    struct Stored {
        int64_t id;
        const RunTotals::Sums* sums;
        std::string_view key;
    };
    std::vector<Stored> ordered;
    ordered.reserve(run.keys.size());
    std::vector<const std::string*> missing;
    HostKeys& runKeys = keysOfHost(run.host);
    for (const auto& [key, sums] : run.keys) {
        const std::string_view host = keyFields(key)[KeyField::Host];
        const HostKeys& keys = host == run.host ? runKeys : keysOfHost(host);
        if (const auto known = keys.ids.find(key); known != keys.ids.end()) {
            ordered.push_back({known->second, &sums, key});
        } else {
            missing.push_back(&key);
        }
    }
    if (!missing.empty()) {
        insertKeys(missing);
        for (const std::string* key : missing) {
            const HostKeys& keys = keysOfHost(keyFields(*key)[KeyField::Host]);
            const auto stored = keys.ids.find(*key);
            if (stored == keys.ids.end())
                throw ReportError::data(database_.describe() + ": a stored key was not found");
            ordered.push_back({stored->second, &run.keys.find(*key)->second, *key});
        }
    }

    // In key order the rows of a run append to the table instead of landing all over it.
    std::sort(ordered.begin(), ordered.end(), [](const Stored& a, const Stored& b) { return a.id < b.id; });
    SqlBatch rows(recordColumns.size());
    rows.values.reserve(ordered.size() * recordColumns.size());
    int64_t capped = 0;
    std::vector<std::string_view> keys;
    keys.reserve(ordered.size());
    for (const auto& [id, sums, key] : ordered) {
        keys.push_back(key);
        bool over = false;
        rows.values.emplace_back(runId);
        rows.values.emplace_back(id);
        rows.values.emplace_back(sums->day);
        rows.values.emplace_back(storedValue(sums->values.files, over));
        rows.values.emplace_back(storedValue(sums->values.bytes, over));
        rows.values.emplace_back(storedValue(sums->values.bytesOnDisk, over));
        over = over || sums->values.weightedSize > weightLimit;
        rows.values.emplace_back(std::min(sums->values.weightedSize, weightLimit));
        rows.values.emplace_back(int64_t{over});
        capped += over;
    }
    database_.insertRows("records", recordColumns, rows);
    database_.insertRows("run_totals", runTotalColumns, runTotalRows(runId, rows, keys));
    return capped;
}

Importer::HostKeys& Importer::keysOfHost(std::string_view host) {
    auto found = hostKeys_.find(host);
    if (found == hostKeys_.end()) found = hostKeys_.emplace(std::string(host), HostKeys{}).first;
    // Keys stored by another import since the last load are not new. One that another import
    // stores after this load, or that the load missed (PostgreSQL's imports commit their ids
    // out of order), is passed over by the insert and its id looked up (insertKeys).
    if (std::find(hostsInTransaction_.begin(), hostsInTransaction_.end(), host) == hostsInTransaction_.end()) {
        hostsInTransaction_.emplace_back(host);
        loadNewKeys(host, found->second);
    }
    return found->second;
}

void Importer::loadNewKeys(std::string_view host, HostKeys& keys) {
    const SqlTable rows =
        database_.query("SELECT id, " + columnList(keyColumns, "") + " FROM record_keys WHERE host = ? AND id > ?",
                        {std::string(host), keys.loadedUpTo});
    keys.ids.reserve(keys.ids.size() + rows.size());
    RecordKey key;
    for (const SqlRow& row : rows) {
        const int64_t id = sqlInt(row[0]);
        for (size_t i = 0; i < keyFieldCount; ++i) key.fields[i] = sqlText(row[i + 1]);
        keys.ids.emplace(AccountRecordFormat::keyText(key), id);
        keys.loadedUpTo = std::max(keys.loadedUpTo, id);
    }
}

void Importer::insertKeys(const std::vector<const std::string*>& keys) {
    SqlBatch rows(stagedKeyColumns.size());
    rows.values.reserve(keys.size() * stagedKeyColumns.size());
    for (const std::string* key : keys) {
        const RecordKeyView fields = keyFields(*key);
        for (std::string_view field : fields.fields) rows.values.emplace_back(std::string(field));
        rows.values.emplace_back(AccountRecordFormat::keyText(fields));
    }
    database_.query(std::string(database_.dialect().emptyTable) + "incoming_keys");
    database_.insertRows("incoming_keys", stagedKeyColumns, rows);
    // A key that another import added meanwhile is passed over. Concurrent imports add their
    // keys in one order, so that none waits for a key that the other waits for.
    const std::string columns = columnList(keyColumns, "");
    database_.query("INSERT INTO record_keys (" + columns + ") SELECT " + columns +
                    " FROM incoming_keys WHERE true ORDER BY key_text ON CONFLICT DO NOTHING");
    // Their ids, whoever added them: each looked up in the index of the key texts (a join
    // could read the whole table, knowing nothing of the few rows staged). SQLite takes that
    // index only against a value without a column's affinity, hence the staged text's "|| ''":
    // against the column itself it read every key for each one staged.
    for (const SqlRow& row :
         database_.query("SELECT (SELECT k.id FROM record_keys k WHERE " + ReportSchema::keyText("k") +
                         " = i.key_text || ''), i.host, i.key_text FROM incoming_keys i")) {
        if (std::holds_alternative<std::monostate>(row[0])) continue;
        keysOfHost(sqlText(row[1])).ids.insert_or_assign(sqlText(row[2]), sqlInt(row[0]));
    }
}

Importer::RunMatch Importer::runOfSideFile(int64_t processId, int64_t day, const std::string& folder,
                                           const std::string& host) {
    // The side files are opened at their own first flush, which may fall a day before or
    // after the record file's.
    SqlTable runs =
        host.empty()
            ? database_.query("SELECT id, host, folder FROM runs WHERE process_id = ? AND day >= ? AND day <= ?",
                              {processId, day - oneDay, day + oneDay})
            : database_.query(
                  "SELECT id, host, folder FROM runs WHERE process_id = ? AND day >= ? AND day <= ?"
                  " AND host = ?",
                  {processId, day - oneDay, day + oneDay, host});
    SqlTable sameFolder;
    std::copy_if(runs.begin(), runs.end(), std::back_inserter(sameFolder),
                 [&](const SqlRow& run) { return sqlText(run[2]) == folder; });
    const SqlTable& candidates = sameFolder.size() == 1 ? sameFolder : runs;
    if (candidates.size() == 1) return {sqlText(candidates.front()[1]), sqlInt(candidates.front()[0]), ""};
    return {host, std::nullopt,
            runs.empty() ? "no imported run of process " + std::to_string(processId) + " around that day"
                         : std::to_string(runs.size()) + " imported runs of process " + std::to_string(processId) +
                               " around that day"};
}

int64_t Importer::readSideFile(const InputFile& file, ResultFileReader& reader, int64_t sideFileId) {
    // Oversized rows are told of when stored, not at the first pass that checks the file.
    int64_t skipped = 0, capped = 0;
    const auto skip = [&](int64_t, const std::string&) { ++skipped; };
    const bool inactive = file.name.kind == ResultFileKind::InactiveFiles;
    const bool totals = file.name.kind == ResultFileKind::DirectoryTotals;
    SqlBatch rows(totals ? totalsColumns.size() : temperatureColumns.size());
    std::vector<InactiveEntry> entries;
    int64_t count = 0;
    const auto flush = [&](bool force) {
        if (sideFileId == 0 || (!force && rows.rows() + entries.size() < sideRowBatch)) return;
        if (inactive) {
            inactive_.store(sideFileId, entries);
            entries.clear();
        } else {
            database_.insertRows(totals ? "directory_totals" : "temperature_rows",
                                 totals ? totalsColumns : temperatureColumns, rows);
            rows.clear();
        }
    };
    if (totals) {
        // Rows of a directory walked below two roots are stored apart; the queries add them up.
        reader.forEachDirectoryTotal(
            [&](DirectoryTotalRow&& row) {
                ++count;
                if (sideFileId == 0) return;
                appendTotalsRow(rows, sideFileId, std::move(row));
                flush(false);
            },
            skip);
    } else if (inactive) {
        reader.forEachInactiveRow(
            [&](InactiveRow&& row) {
                ++count;
                const auto lastAccess = InactiveTableFormat::parseLastAccess(row.lastAccess);
                if (!lastAccess) throw ResultFileError(file.path.string(), row.line, "the last access is no time");
                if (sideFileId == 0) return;
                capped += row.kib > kibLimit;
                entries.push_back(InactiveEntry{TextCleaning::cleanText(row.directory),
                                                TextCleaning::cleanText(row.name), std::min(row.kib, kibLimit),
                                                *lastAccess, TextCleaning::cleanText(row.temperature)});
                flush(false);
            },
            skip);
    } else {
        reader.forEachTemperatureRow(
            [&](TemperatureRow&& row) {
                ++count;
                if (sideFileId == 0) return;
                bool over = false;
                const int64_t bytes = storedValue(wideValue(row.bytes), over);
                capped += over;
                rows.values.insert(rows.values.end(),
                                   {sideFileId, row.line, TextCleaning::cleanText(row.directory), bytes});
                flush(false);
            },
            skip);
    }
    flush(true);
    if (sideFileId != 0 && skipped) {
        warning_(file.path.string() + ": " + std::to_string(skipped) +
                 " rows longer than 16 MiB skipped; the other rows are imported");
    }
    if (sideFileId != 0 && capped) {
        warning_(file.path.string() + ": " + std::to_string(capped) +
                 " rows too large to store kept at the largest size");
    }
    return count;
}

ImportResult Importer::importSideFile(const InputFile& file) {
    // A first read checks the whole file and takes its fingerprint before anything is stored.
    ResultFileReader reader(files_, services_, file.path);
    const int64_t count = readSideFile(file, reader, 0);
    const uint64_t size = reader.contentSize(), hash = reader.contentHash();
    const std::string fileName = TextCleaning::cleanText(file.path.filename().string());
    const SqlTable earlier = database_.query(
        "SELECT id, host, run_id FROM side_files WHERE file_name = ? AND content_size = ? AND content_hash = ?",
        {fileName, static_cast<int64_t>(size), hashText(hash)});
    if (!earlier.empty()) return {true, 0, repairHost(file, earlier.front()) ? 1 : 0};

    const std::string folder = TextCleaning::cleanText(folderOf(file.path));
    Transaction transaction(database_);
    lockProcess(file.name.processId);
    const RunMatch run = runOfSideFile(file.name.processId, file.name.day, folder, options_.host);
    const std::optional<int64_t> sideFileId =
        insertOnce("side_files", sideFileColumns,
                   {kindName(file.name.kind), run.host, file.name.day, file.name.processId,
                    TextCleaning::cleanText(file.name.monitor), fileName, folder, static_cast<int64_t>(size),
                    hashText(hash), run.runId ? SqlValue(*run.runId) : SqlValue(), count, secondsNow()});
    // Stored meanwhile by another import.
    if (!sideFileId) return {true, 0, 0};
    // The second pass reads the same open file: only a change of its content can show here.
    readSideFile(file, reader, *sideFileId);
    if (reader.contentSize() != size || reader.contentHash() != hash) {
        throw ResultFileError(file.path.string(), 0, "the file changed while it was imported; import it again");
    }
    transaction.commit();
    if (run.host.empty())
        warning_(file.path.string() + ": " + run.doubt + ", so its host is unknown; give --host to name it");
    return {false, count, 0};
}

bool Importer::repairHost(const InputFile& file, const SqlRow& stored) {
    // A side file imported before without its host, or with another, takes the one named now.
    if (options_.host.empty() || sqlText(stored[1]) == options_.host) return false;
    const RunMatch run =
        runOfSideFile(file.name.processId, file.name.day, TextCleaning::cleanText(folderOf(file.path)), options_.host);
    database_.query("UPDATE side_files SET host = ?, run_id = ? WHERE id = ?",
                    {run.host, run.runId ? SqlValue(*run.runId) : SqlValue(), stored[0]});
    return true;
}

}  // namespace Quilna
