#include "tools/report/ReportSchema.h"

#include "tools/report/ReportError.h"
#include "tools/report/Transaction.h"

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
    return text;
}

const std::vector<std::string>& statements() {
    static const std::vector<std::string> all = {
        "CREATE TABLE IF NOT EXISTS report_schema (version INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS runs ("
        " id {ID}, host TEXT NOT NULL, day BIGINT NOT NULL, process_id BIGINT NOT NULL,"
        " file_name TEXT NOT NULL, folder TEXT NOT NULL, content_size BIGINT NOT NULL,"
        " content_hash TEXT NOT NULL, record_count BIGINT NOT NULL, imported_at BIGINT NOT NULL,"
        " UNIQUE (host, day, process_id))",
        "CREATE TABLE IF NOT EXISTS record_keys ("
        " id {ID}, host TEXT NOT NULL, site TEXT NOT NULL, file_system TEXT NOT NULL, account TEXT NOT NULL,"
        " user_name TEXT NOT NULL, group_names TEXT NOT NULL, file_type TEXT NOT NULL, status TEXT NOT NULL,"
        " access_temperature TEXT NOT NULL, modify_temperature TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS record_keys_by_host ON record_keys (host, id)",
        "CREATE TABLE IF NOT EXISTS records ("
        " run_id BIGINT NOT NULL REFERENCES runs (id), key_id BIGINT NOT NULL REFERENCES record_keys (id),"
        " day BIGINT NOT NULL, files BIGINT NOT NULL, bytes BIGINT NOT NULL, bytes_on_disk BIGINT NOT NULL,"
        " weighted_size DOUBLE PRECISION NOT NULL, PRIMARY KEY (run_id, key_id)) {TABLE_OPTIONS}",
        "CREATE TABLE IF NOT EXISTS side_files ("
        " id {ID}, kind TEXT NOT NULL, host TEXT NOT NULL, day BIGINT NOT NULL, process_id BIGINT NOT NULL,"
        " monitor TEXT NOT NULL, file_name TEXT NOT NULL, folder TEXT NOT NULL, content_size BIGINT NOT NULL,"
        " content_hash TEXT NOT NULL, run_id BIGINT REFERENCES runs (id), row_count BIGINT NOT NULL,"
        " imported_at BIGINT NOT NULL, UNIQUE (file_name, content_size, content_hash))",
        "CREATE TABLE IF NOT EXISTS inactive_files ("
        " side_file_id BIGINT NOT NULL REFERENCES side_files (id), line BIGINT NOT NULL, name TEXT NOT NULL,"
        " directory TEXT NOT NULL, kib BIGINT NOT NULL, last_access TEXT NOT NULL, temperature TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS inactive_files_by_file ON inactive_files (side_file_id)",
        "CREATE TABLE IF NOT EXISTS temperature_rows ("
        " side_file_id BIGINT NOT NULL REFERENCES side_files (id), line BIGINT NOT NULL,"
        " directory TEXT NOT NULL, bytes BIGINT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS temperature_rows_by_file ON temperature_rows (side_file_id)",
        "{CREATE_VIEW} account_records AS SELECT c.run_id, k.site, k.host, k.file_system, k.account,"
        " k.user_name, k.group_names, k.file_type, k.status, k.access_temperature, k.modify_temperature,"
        " c.day, c.files, c.bytes, c.bytes_on_disk, c.weighted_size"
        " FROM records c JOIN record_keys k ON k.id = c.key_id",
    };
    return all;
}

}  // namespace

void ensure(Database& database) {
    Transaction transaction(database);
    for (const std::string& statement : statements()) database.query(expand(statement, database.dialect()));
    const SqlTable found = database.query("SELECT version FROM report_schema");
    if (found.empty()) {
        database.query("INSERT INTO report_schema (version) VALUES (?)", {int64_t{version}});
    } else if (sqlInt(found.front().front()) != version) {
        throw ReportError::data(database.describe() + " has schema version " + sqlText(found.front().front()) +
                                ", this program writes version " + std::to_string(version));
    }
    transaction.commit();
}

}  // namespace Quilna::ReportSchema
