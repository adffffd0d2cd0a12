#include "report/Pruner.h"

#include "report/Formatting.h"
#include "report/ReportSchema.h"
#include "report/Transaction.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace Quilna {

namespace {

const std::vector<std::string> idTables = {"prune_runs", "prune_side_files", "prune_keys", "prune_paths",
                                           "prune_directories"};

// Side files of no run, ranked per host, kind and monitor from the latest.
const std::string rankedLooseSideFiles =
    "SELECT id, day, ROW_NUMBER() OVER (PARTITION BY host, kind, monitor ORDER BY day DESC, id DESC) AS age"
    " FROM side_files WHERE run_id IS NULL";

}  // namespace

Pruner::Pruner(SystemServices& services, Database& database, bool dryRun)
    : services_(services), database_(database), dryRun_(dryRun) {
    for (const std::string& table : idTables) {
        database_.query("CREATE TEMP TABLE IF NOT EXISTS " + table + " (id BIGINT NOT NULL)");
    }
}

PruneResult Pruner::keepLatest(int64_t keep) {
    return remove(std::string("SELECT id FROM (") + ReportSchema::rankedRuns + ") x WHERE age > ?",
                  "SELECT id FROM (" + rankedLooseSideFiles + ") x WHERE age > ?", {keep});
}

PruneResult Pruner::removeBefore(int64_t day) {
    // By the scan time as the report shows it. A run known to the day only has its day stamp,
    // the scanner's local midnight, as its time; a side file of no run has only that.
    const int64_t midnight = Formatting::localMidnight(services_, day);
    return remove("SELECT id FROM runs WHERE scanned_at < ?",
                  "SELECT id FROM side_files WHERE run_id IS NULL AND day < ?", {midnight});
}

std::vector<int64_t> Pruner::ids(const std::string& sql, const SqlRow& parameters) {
    std::vector<int64_t> list;
    for (const SqlRow& row : database_.query(sql, parameters)) list.push_back(sqlInt(row[0]));
    return list;
}

void Pruner::fill(const std::string& table, const std::vector<int64_t>& ids) {
    database_.query(std::string(database_.dialect().emptyTable) + table);
    SqlBatch rows(1);
    rows.values.assign(ids.begin(), ids.end());
    database_.insertRows(table, {"id"}, rows);
}

void Pruner::unused(const std::string& table, const std::vector<int64_t>& candidates, const std::string& usingTable,
                    const std::string& column, bool byIndex) {
    fill(table, candidates);
    // Where the using table has an index that starts with the column, each candidate is looked
    // up in it, so that a prune of a day reads what it removes and not the whole table; else
    // one pass over the table looks for them all.
    std::vector<int64_t> used = byIndex ? ids("SELECT t.id FROM " + table + " t WHERE (SELECT u." + column + " FROM " +
                                              usingTable + " u WHERE u." + column + " = t.id LIMIT 1) IS NOT NULL")
                                        : ids("SELECT DISTINCT u." + column + " FROM " + usingTable + " u JOIN " +
                                              table + " t ON t.id = u." + column);
    std::sort(used.begin(), used.end());
    std::vector<int64_t> unusedIds;
    for (int64_t id : candidates) {
        if (!std::binary_search(used.begin(), used.end(), id)) unusedIds.push_back(id);
    }
    fill(table, unusedIds);
}

std::vector<PrunedFile> Pruner::listed() {
    std::vector<PrunedFile> files;
    const SqlTable rows = database_.query(
        "SELECT 'run', '', host, scanned_day, scanned_at, folder, file_name, 0, scanned_at, id FROM runs"
        " WHERE id IN (SELECT id FROM prune_runs) UNION ALL"
        " SELECT s.kind, s.monitor, s.host, COALESCE(r.scanned_day, s.day), COALESCE(r.scanned_at, s.day), s.folder,"
        " s.file_name, 1, s.day, s.id FROM side_files s LEFT JOIN runs r ON r.id = s.run_id"
        " WHERE s.id IN (SELECT id FROM prune_side_files) ORDER BY 8, 3, 9, 10");
    for (const SqlRow& row : rows) {
        files.push_back(PrunedFile{sqlText(row[0]), sqlText(row[1]), sqlText(row[2]),
                                   ScanTime{sqlInt(row[4]), sqlInt(row[3])},
                                   (std::filesystem::path(sqlText(row[5])) / sqlText(row[6])).string()});
    }
    return files;
}

PruneResult Pruner::remove(const std::string& runsSql, const std::string& sideFilesSql, const SqlRow& parameters) {
    std::optional<Transaction> transaction;
    if (!dryRun_) transaction.emplace(database_);
    PruneResult result;
    fill("prune_runs", ids(runsSql, parameters));
    std::vector<int64_t> sideFiles = ids(sideFilesSql, parameters);
    const std::vector<int64_t> ofRuns = ids("SELECT id FROM side_files WHERE run_id IN (SELECT id FROM prune_runs)");
    sideFiles.insert(sideFiles.end(), ofRuns.begin(), ofRuns.end());
    fill("prune_side_files", sideFiles);
    const std::string inRuns = " IN (SELECT id FROM prune_runs)";
    const std::string inSideFiles = " IN (SELECT id FROM prune_side_files)";
    const auto count = [&](const std::string& sql) { return sqlInt(database_.query(sql).at(0).at(0)); };
    result.runs = count("SELECT COUNT(*) FROM prune_runs");
    result.sideFiles = count("SELECT COUNT(*) FROM prune_side_files");
    result.records = count("SELECT COUNT(*) FROM records WHERE run_id" + inRuns);
    result.inactiveRows = count("SELECT COUNT(*) FROM inactive_files WHERE side_file_id" + inSideFiles);
    if (dryRun_) {
        result.files = listed();
        return result;
    }

    const std::vector<int64_t> keys = ids("SELECT DISTINCT key_id FROM records WHERE run_id" + inRuns);
    const std::vector<int64_t> paths =
        ids("SELECT DISTINCT path_id FROM inactive_files WHERE side_file_id" + inSideFiles);
    database_.query("DELETE FROM records WHERE run_id" + inRuns);
    database_.query("DELETE FROM run_totals WHERE run_id" + inRuns);
    database_.query("DELETE FROM inactive_files WHERE side_file_id" + inSideFiles);
    database_.query("DELETE FROM temperature_rows WHERE side_file_id" + inSideFiles);
    database_.query("DELETE FROM directory_totals WHERE side_file_id" + inSideFiles);
    database_.query("DELETE FROM side_files WHERE id" + inSideFiles);
    database_.query("DELETE FROM runs WHERE id" + inRuns);

    // What only the removed runs and tables named goes with them.
    unused("prune_keys", keys, "records", "key_id", true);
    database_.query("DELETE FROM record_keys WHERE id IN (SELECT id FROM prune_keys)");
    unused("prune_paths", paths, "inactive_files", "path_id", false);
    const std::vector<int64_t> directories =
        ids("SELECT DISTINCT directory_id FROM inactive_paths WHERE id IN (SELECT id FROM prune_paths)");
    database_.query("DELETE FROM inactive_paths WHERE id IN (SELECT id FROM prune_paths)");
    unused("prune_directories", directories, "inactive_paths", "directory_id", true);
    database_.query("DELETE FROM inactive_directories WHERE id IN (SELECT id FROM prune_directories)");
    transaction->commit();
    return result;
}

}  // namespace Quilna
