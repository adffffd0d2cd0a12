#include "report/InactiveStore.h"

#include "report/ReportError.h"
#include "report/TextHash.h"

#include <unordered_map>

namespace Quilna {

namespace {

const std::vector<std::string_view> rowColumns = {"side_file_id", "path_id", "kib", "last_access", "temperature"};

// A directory id and a name as one map key.
std::string pathKey(int64_t directory, std::string_view name) {
    return std::to_string(directory) + '/' + std::string(name);
}

using IdMap = std::unordered_map<std::string, int64_t, TextHash, std::equal_to<>>;

int64_t known(const IdMap& ids, std::string_view key, const char* what) {
    const auto found = ids.find(key);
    if (found == ids.end() || found->second == 0) {
        throw ReportError::data(std::string("a ") + what + " just stored was not found in the database");
    }
    return found->second;
}

}  // namespace

InactiveStore::InactiveStore(Database& database) : database_(database) {
    database_.query("CREATE TEMP TABLE IF NOT EXISTS incoming_directories (path TEXT NOT NULL)");
    database_.query(
        "CREATE TEMP TABLE IF NOT EXISTS incoming_paths (directory_id BIGINT NOT NULL, name TEXT NOT NULL)");
}

// The ids of the entries' directories, in the order of the entries; new ones are added. One
// that a concurrent import adds meanwhile is passed over, and all add theirs in one order.
std::vector<int64_t> InactiveStore::directoryIds(const std::vector<InactiveEntry>& entries) {
    IdMap ids;
    SqlBatch incoming(1);
    for (const InactiveEntry& entry : entries) {
        if (ids.emplace(entry.directory, 0).second) incoming.values.emplace_back(entry.directory);
    }
    database_.query(std::string(database_.dialect().emptyTable) + "incoming_directories");
    database_.insertRows("incoming_directories", {"path"}, incoming);
    // Each staged row looked up in the index: a join could read the whole table.
    const std::string stored = "(SELECT d.id FROM inactive_directories d WHERE d.path = i.path)";
    database_.query("INSERT INTO inactive_directories (path) SELECT i.path FROM incoming_directories i WHERE " +
                    stored + " IS NULL ORDER BY i.path ON CONFLICT DO NOTHING");
    for (const SqlRow& row : database_.query("SELECT " + stored + ", i.path FROM incoming_directories i")) {
        ids[sqlText(row[1])] = sqlInt(row[0]);
    }
    std::vector<int64_t> result;
    result.reserve(entries.size());
    for (const InactiveEntry& entry : entries) result.push_back(known(ids, entry.directory, "directory"));
    return result;
}

std::vector<int64_t> InactiveStore::pathIds(const std::vector<InactiveEntry>& entries,
                                            const std::vector<int64_t>& directories) {
    IdMap ids;
    SqlBatch incoming(2);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (ids.emplace(pathKey(directories[i], entries[i].name), 0).second) {
            incoming.values.emplace_back(directories[i]);
            incoming.values.emplace_back(entries[i].name);
        }
    }
    database_.query(std::string(database_.dialect().emptyTable) + "incoming_paths");
    database_.insertRows("incoming_paths", {"directory_id", "name"}, incoming);
    const std::string stored =
        "(SELECT p.id FROM inactive_paths p WHERE p.directory_id = i.directory_id AND p.name = i.name)";
    database_.query(
        "INSERT INTO inactive_paths (directory_id, name) SELECT i.directory_id, i.name"
        " FROM incoming_paths i WHERE " +
        stored + " IS NULL ORDER BY i.directory_id, i.name ON CONFLICT DO NOTHING");
    for (const SqlRow& row : database_.query("SELECT " + stored + ", i.directory_id, i.name FROM incoming_paths i")) {
        ids[pathKey(sqlInt(row[1]), sqlText(row[2]))] = sqlInt(row[0]);
    }
    std::vector<int64_t> result;
    result.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        result.push_back(known(ids, pathKey(directories[i], entries[i].name), "file"));
    }
    return result;
}

void InactiveStore::store(int64_t sideFileId, const std::vector<InactiveEntry>& entries) {
    if (entries.empty()) return;
    const std::vector<int64_t> paths = pathIds(entries, directoryIds(entries));
    SqlBatch rows(rowColumns.size());
    rows.values.reserve(entries.size() * rowColumns.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        rows.values.insert(rows.values.end(),
                           {sideFileId, paths[i], entries[i].kib, entries[i].lastAccess, entries[i].temperature});
    }
    database_.insertRows("inactive_files", rowColumns, rows);
}

}  // namespace Quilna
