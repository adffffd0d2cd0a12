#include "report/ReportSchema.h"

#include "report/Formatting.h"
#include "report/ReportError.h"
#include "report/Transaction.h"
#include "results/InactiveTableFormat.h"

#include <vector>

namespace Quilna::ReportSchema {

namespace {

std::string expand(std::string text, const SqlDialect& dialect) {
    const auto replace = [&](std::string_view word, std::string_view by) {
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size())) {
            text.replace(at, word.size(), by);
        }
    };
    replace("{ID}", dialect.autoIdColumn);
    replace("{TABLE_OPTIONS}", dialect.tableOptions);
    replace("{CREATE_VIEW}", dialect.createView);
    replace("{KEY_TEXT}", keyText());
    return text;
}

const std::vector<std::string>& statements() {
    static const std::vector<std::string> all = {
        "CREATE TABLE IF NOT EXISTS runs ("
        " id {ID}, host TEXT NOT NULL, day BIGINT NOT NULL, process_id BIGINT NOT NULL,"
        " file_name TEXT NOT NULL, folder TEXT NOT NULL, content_size BIGINT NOT NULL,"
        " content_hash TEXT NOT NULL, record_count BIGINT NOT NULL, imported_at BIGINT NOT NULL,"
        " scanned_day BIGINT NOT NULL, scanned_at BIGINT NOT NULL, UNIQUE (host, day, process_id))",
        "CREATE INDEX IF NOT EXISTS runs_by_scan ON runs (host, scanned_at)",
        // A side file finds its run, and a run its side files, by process id and day.
        "CREATE INDEX IF NOT EXISTS runs_by_process ON runs (process_id, day)",
        "CREATE TABLE IF NOT EXISTS record_keys ("
        " id {ID}, host TEXT NOT NULL, site TEXT NOT NULL, file_system TEXT NOT NULL, account TEXT NOT NULL,"
        " user_name TEXT NOT NULL, group_names TEXT NOT NULL, file_type TEXT NOT NULL, status TEXT NOT NULL,"
        " access_temperature TEXT NOT NULL, modify_temperature TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS record_keys_by_host ON record_keys (host, id)",
        "CREATE TABLE IF NOT EXISTS records ("
        // No foreign keys: checking two per row would take three quarters of a bulk load's time;
        // the importer stores a run's keys before its records and prune removes them after.
        " run_id BIGINT NOT NULL, key_id BIGINT NOT NULL,"
        " day BIGINT NOT NULL, files BIGINT NOT NULL, bytes BIGINT NOT NULL, bytes_on_disk BIGINT NOT NULL,"
        " weighted_size DOUBLE PRECISION NOT NULL, capped INTEGER NOT NULL DEFAULT 0,"
        " PRIMARY KEY (run_id, key_id)) {TABLE_OPTIONS}",
        // So that a prune finds whether other runs name a key without reading them all.
        "CREATE INDEX IF NOT EXISTS records_by_key ON records (key_id)",
        "CREATE TABLE IF NOT EXISTS run_totals ("
        " run_id BIGINT NOT NULL, view INTEGER NOT NULL, name TEXT NOT NULL, detail TEXT NOT NULL,"
        " files_high BIGINT NOT NULL, files_low BIGINT NOT NULL, bytes_high BIGINT NOT NULL,"
        " bytes_low BIGINT NOT NULL, disk_high BIGINT NOT NULL, disk_low BIGINT NOT NULL,"
        " weighted_size DOUBLE PRECISION NOT NULL, PRIMARY KEY (run_id, view, name, detail)) {TABLE_OPTIONS}",
        "CREATE TABLE IF NOT EXISTS side_files ("
        " id {ID}, kind TEXT NOT NULL, host TEXT NOT NULL, day BIGINT NOT NULL, process_id BIGINT NOT NULL,"
        " monitor TEXT NOT NULL, file_name TEXT NOT NULL, folder TEXT NOT NULL, content_size BIGINT NOT NULL,"
        " content_hash TEXT NOT NULL, run_id BIGINT REFERENCES runs (id), row_count BIGINT NOT NULL,"
        " imported_at BIGINT NOT NULL, UNIQUE (file_name, content_size, content_hash))",
        "CREATE INDEX IF NOT EXISTS side_files_by_process ON side_files (process_id, day)",
        "CREATE TABLE IF NOT EXISTS inactive_directories (id {ID}, path TEXT NOT NULL UNIQUE)",
        "CREATE TABLE IF NOT EXISTS inactive_paths ("
        " id {ID}, directory_id BIGINT NOT NULL REFERENCES inactive_directories (id), name TEXT NOT NULL,"
        " UNIQUE (directory_id, name))",
        "CREATE TABLE IF NOT EXISTS inactive_files ("
        " side_file_id BIGINT NOT NULL REFERENCES side_files (id), path_id BIGINT NOT NULL REFERENCES inactive_paths "
        "(id),"
        " kib BIGINT NOT NULL, last_access BIGINT NOT NULL, temperature TEXT NOT NULL,"
        " PRIMARY KEY (side_file_id, path_id)) {TABLE_OPTIONS}",
        "CREATE TABLE IF NOT EXISTS temperature_rows ("
        " side_file_id BIGINT NOT NULL REFERENCES side_files (id), line BIGINT NOT NULL,"
        " directory TEXT NOT NULL, bytes BIGINT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS temperature_rows_by_file ON temperature_rows (side_file_id)",
        "CREATE TABLE IF NOT EXISTS directory_totals ("
        " side_file_id BIGINT NOT NULL REFERENCES side_files (id), directory TEXT NOT NULL, parent TEXT NOT NULL,"
        " account TEXT NOT NULL, temperature TEXT NOT NULL, files BIGINT NOT NULL, bytes BIGINT NOT NULL,"
        " bytes_on_disk BIGINT NOT NULL, user_name TEXT NOT NULL DEFAULT '')",
        "CREATE INDEX IF NOT EXISTS directory_totals_by_directory ON directory_totals (side_file_id, directory)",
        "CREATE INDEX IF NOT EXISTS directory_totals_by_parent ON directory_totals (side_file_id, parent, directory)",
        "{CREATE_VIEW} account_records AS SELECT c.run_id, k.site, k.host, k.file_system, k.account,"
        " k.user_name, k.group_names, k.file_type, k.status, k.access_temperature, k.modify_temperature,"
        " c.day, c.files, c.bytes, c.bytes_on_disk, c.weighted_size"
        " FROM records c JOIN record_keys k ON k.id = c.key_id",
        "{CREATE_VIEW} inactive_rows AS SELECT f.side_file_id, d.path AS directory, p.name, f.kib, f.last_access,"
        " f.temperature FROM inactive_files f JOIN inactive_paths p ON p.id = f.path_id"
        " JOIN inactive_directories d ON d.id = p.directory_id",
    };
    return all;
}

void createAll(Database& database) {
    for (const std::string& statement : statements()) database.query(expand(statement, database.dialect()));
}

// Version 1 kept every inactive row with its directory and name as texts and its last access
// as written, and ordered runs by import; version 2 orders them by when they were scanned.
void migrateFromVersion1(Database& database) {
    // A run's scan is known to the day of its last flush; the order within a day stays the
    // order of import.
    database.query("ALTER TABLE runs ADD COLUMN scanned_day BIGINT NOT NULL DEFAULT 0");
    database.query("ALTER TABLE runs ADD COLUMN scanned_at BIGINT NOT NULL DEFAULT 0");
    database.query(
        "UPDATE runs SET scanned_day = COALESCE((SELECT MAX(c.day) FROM records c WHERE c.run_id = runs.id),"
        " day)");
    database.query("UPDATE runs SET scanned_at = scanned_day");

    database.query("DROP INDEX IF EXISTS inactive_files_by_file");
    database.query("ALTER TABLE inactive_files RENAME TO inactive_files_v1");
    createAll(database);
    // The last access texts become seconds; one that is no time becomes 0 rather than lost.
    database.query("CREATE TEMP TABLE migrated_access_times (text TEXT NOT NULL, seconds BIGINT NOT NULL)");
    SqlBatch times(2);
    for (const SqlRow& row : database.query("SELECT DISTINCT last_access FROM inactive_files_v1")) {
        const std::string text = sqlText(row[0]);
        times.values.emplace_back(text);
        times.values.emplace_back(
            InactiveTableFormat::parseLastAccess(text).value_or(Formatting::parseDay(text).value_or(0)));
    }
    database.insertRows("migrated_access_times", {"text", "seconds"}, times);
    database.query("INSERT INTO inactive_directories (path) SELECT DISTINCT directory FROM inactive_files_v1");
    database.query(
        "INSERT INTO inactive_paths (directory_id, name) SELECT DISTINCT d.id, o.name FROM inactive_files_v1 o"
        " JOIN inactive_directories d ON d.path = o.directory");
    // A file that a table listed twice keeps one row.
    database.query(
        "INSERT INTO inactive_files (side_file_id, path_id, kib, last_access, temperature)"
        " SELECT o.side_file_id, p.id, MAX(o.kib), MAX(a.seconds), MAX(o.temperature) FROM inactive_files_v1 o"
        " JOIN inactive_directories d ON d.path = o.directory"
        " JOIN inactive_paths p ON p.directory_id = d.id AND p.name = o.name"
        " JOIN migrated_access_times a ON a.text = o.last_access GROUP BY o.side_file_id, p.id");
    database.query("DROP TABLE migrated_access_times");
    database.query("DROP TABLE inactive_files_v1");
}

// Version 3 marks the records whose sums passed 64 bits and were stored at the largest value.
void migrateFromVersion2(Database& database) {
    database.query("ALTER TABLE records ADD COLUMN capped INTEGER NOT NULL DEFAULT 0");
}

// The totals of each run's views, for runs imported before they were kept.
void keepRunTotals(Database& database) {
    const std::string halves =
        "SUM(c.files / 4294967296), SUM(c.files % 4294967296), SUM(c.bytes / 4294967296), SUM(c.bytes % 4294967296),"
        " SUM(c.bytes_on_disk / 4294967296), SUM(c.bytes_on_disk % 4294967296), SUM(c.weighted_size)";
    const std::vector<std::pair<RunView, std::string>> views = {{RunView::Total, "''"},
                                                                {RunView::Accounts, "k.account"},
                                                                {RunView::Users, "k.user_name"},
                                                                {RunView::Groups, "k.group_names"},
                                                                {RunView::FileTypes, "k.file_type"},
                                                                {RunView::Temperatures, "k.access_temperature"}};
    // Made anew: a database that a later version marked as older may hold some already.
    database.query("DELETE FROM run_totals");
    for (const auto& [view, name] : views) {
        const bool pairs = view == RunView::Temperatures, whole = view == RunView::Total;
        const std::string detail = pairs ? "k.modify_temperature" : "''";
        // PostgreSQL groups by no constant.
        const std::string groups = whole ? "" : ", " + name + (pairs ? ", " + detail : "");
        database.query("INSERT INTO run_totals SELECT c.run_id, " + std::to_string(static_cast<int64_t>(view)) + ", " +
                       name + ", " + detail + ", " + halves +
                       " FROM records c JOIN record_keys k ON k.id = c.key_id GROUP BY c.run_id" + groups);
    }
}

// Concurrent imports into PostgreSQL could store a key twice before version 6: its records move
// to the first of its copies (a run names each key text once, so no run gets two rows), and
// from then on each key text is stored once.
void migrateFromVersion5(Database& database) {
    database.query("CREATE TEMP TABLE key_copies AS SELECT id, MIN(id) OVER (PARTITION BY " + keyText() +
                   ") AS first FROM record_keys");
    database.query("DELETE FROM key_copies WHERE id = first");
    database.query(
        "UPDATE records SET key_id = (SELECT first FROM key_copies WHERE key_copies.id = records.key_id)"
        " WHERE key_id IN (SELECT id FROM key_copies)");
    database.query("DELETE FROM record_keys WHERE id IN (SELECT id FROM key_copies)");
    database.query("DROP TABLE key_copies");
    keepRunTotals(database);
    database.query(expand(std::string(database.dialect().keysOnce), database.dialect()));
    // SQLite never checked the foreign keys of records; PostgreSQL stops checking them.
    if (!database.dialect().lockSchema.empty()) {
        database.query("ALTER TABLE records DROP CONSTRAINT IF EXISTS records_run_id_fkey");
        database.query("ALTER TABLE records DROP CONSTRAINT IF EXISTS records_key_id_fkey");
    }
}

// Version 5 splits the directory totals by user; rows imported before have none.
void migrateFromVersion4(Database& database) {
    database.query("ALTER TABLE directory_totals ADD COLUMN user_name TEXT NOT NULL DEFAULT ''");
}

}  // namespace

void ensure(Database& database) {
    Transaction transaction(database);
    bringUpToDate(database);
    transaction.commit();
}

std::string keyText(std::string_view alias) {
    const std::string prefix = alias.empty() ? "" : std::string(alias) + ".";
    std::string text;
    for (const char* column : {"site", "host", "file_system", "account", "user_name", "group_names", "file_type",
                               "status", "access_temperature", "modify_temperature"}) {
        text += (text.empty() ? "'0:' || " : " || ':0:' || ") + prefix + column;
    }
    return text;
}

void bringUpToDate(Database& database) {
    if (!database.dialect().lockSchema.empty()) database.query(database.dialect().lockSchema);
    database.query("CREATE TABLE IF NOT EXISTS report_schema (version INTEGER NOT NULL)");
    const SqlTable found = database.query("SELECT version FROM report_schema");
    const int64_t stored = found.empty() ? version : sqlInt(found.front().front());
    if (stored > version || stored < 1) {
        throw ReportError::data(database.describe() + " has schema version " + std::to_string(stored) +
                                ", this program reads versions 1 to " + std::to_string(version));
    }
    if (stored == 1) migrateFromVersion1(database);
    if (stored <= 2) migrateFromVersion2(database);
    if (stored == 4) migrateFromVersion4(database);
    // Version 4 adds the directory totals, which createAll makes.
    createAll(database);
    if (found.empty() || stored <= 5) migrateFromVersion5(database);
    if (found.empty()) {
        database.query("INSERT INTO report_schema (version) VALUES (?)", {int64_t{version}});
    } else if (stored != version) {
        database.query("UPDATE report_schema SET version = ?", {int64_t{version}});
    }
}

}  // namespace Quilna::ReportSchema
