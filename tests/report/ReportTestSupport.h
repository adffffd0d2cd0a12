#pragma once
// Helpers of the report tests: writers of result files in the scanner's formats, and the
// report program run in-process.

#include "hoardscan/ResultFileReader.h"
#include "hoardscan/ResultRecords.h"
#include "report/Commands.h"
#include "report/Database.h"
#include "support/TestDirectory.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace Quilna::ReportTest {

namespace fs = std::filesystem;

using TempFolder = TestSupport::TestDirectory;

inline void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
}

inline std::string readText(const fs::path& file) { return TempFolder::readFile(file.string()); }

struct GeneratedRecord {
    int64_t day = 0;
    RecordKey key;
    int64_t files = 0;
    int64_t bytes = 0;
    int64_t bytesOnDisk = 0;

    double weightedSize() const { return bytes * 0.00001 + bytesOnDisk * 0.0001; }
};

inline std::string recordLines(const GeneratedRecord& record) {
    return "1:" + std::to_string(record.day) + ":29:" + record.key.text() + "\n1:" + std::to_string(record.files) +
           ":" + std::to_string(record.bytes) + ":" + std::to_string(record.bytesOnDisk) + ":" +
           std::to_string(record.weightedSize()) + "\n";
}

inline fs::path writeRecordFile(const fs::path& folder, int64_t day, int64_t processId,
                                const std::vector<GeneratedRecord>& records) {
    std::string text;
    for (const GeneratedRecord& record : records) text += recordLines(record);
    const fs::path file = folder / ("Hoardscan-" + std::to_string(day) + "-" + std::to_string(processId) + ".data");
    writeText(file, text);
    return file;
}

inline RecordKey makeKey(const std::string& host, const std::string& account, const std::string& user,
                         const std::string& group, const std::string& type, const std::string& access,
                         const std::string& modify) {
    RecordKey key;
    key.fields = {"OSLO", host, "C", account, user, group, type, "Normal", access, modify};
    return key;
}

// Records of one run drawn from small pools, so that keys repeat within a file (as they do
// when the scanner flushes its buffer more than once) and between runs.
inline std::vector<GeneratedRecord> randomRecords(std::mt19937& random, const std::string& host, int64_t day,
                                                  size_t count) {
    static const std::vector<std::string> accounts = {"sales", "it", "hr", "finance", "legal"};
    static const std::vector<std::string> users = {"ann", "bob", "cid", "dag"};
    static const std::vector<std::string> groups = {"Users", "Users,Staff", "UNDEF", "Admins,Users"};
    static const std::vector<std::string> types = {"doc", "xls", "iso", "jpg", "undef"};
    static const std::vector<std::string> temperatures = {"hot", "warm", "cold", "frozen"};
    const auto pick = [&](const std::vector<std::string>& pool) { return pool[random() % pool.size()]; };
    std::vector<GeneratedRecord> records;
    for (size_t i = 0; i < count; ++i) {
        GeneratedRecord record;
        record.day = day;
        record.key = makeKey(host, pick(accounts), pick(users), pick(groups), pick(types), pick(temperatures),
                             pick(temperatures));
        record.files = 1 + static_cast<int64_t>(random() % 50);
        record.bytes = static_cast<int64_t>(random() % 5000000000ull);
        record.bytesOnDisk = record.bytes + static_cast<int64_t>(random() % 4096);
        records.push_back(record);
    }
    return records;
}

// An inactive-file table of the given rows "name,directory,KiB,last access,temperature,".
inline fs::path writeInactiveFile(const fs::path& folder, int64_t day, int64_t processId,
                                  const std::vector<std::string>& rows) {
    std::string text = std::string(ResultFileReader::inactiveHeader) + "\n";
    for (const std::string& row : rows) text += row + "\n";
    const fs::path file =
        folder / ("HoardscanInactive-" + std::to_string(day) + "-" + std::to_string(processId) + ".csv");
    writeText(file, text);
    return file;
}

// Gives a file the modification time of the given second since 1970, as the scanner's last
// write would.
inline void setModified(const fs::path& file, int64_t seconds) {
    const auto time = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(seconds)));
    fs::last_write_time(file, time);
}

// The tables of the report database's first version, with a run of host OLD and an inactive
// table of it, as an earlier program left them.
inline void createVersion1(Database& database) {
    const std::string id(database.dialect().autoIdColumn);
    for (const std::string& statement : std::vector<std::string>{
             "CREATE TABLE report_schema (version INTEGER NOT NULL)",
             "INSERT INTO report_schema (version) VALUES (1)",
             "CREATE TABLE runs (id " + id + ", host TEXT NOT NULL, day BIGINT NOT NULL, process_id BIGINT NOT NULL,"
             " file_name TEXT NOT NULL, folder TEXT NOT NULL, content_size BIGINT NOT NULL, content_hash TEXT NOT NULL,"
             " record_count BIGINT NOT NULL, imported_at BIGINT NOT NULL, UNIQUE (host, day, process_id))",
             "CREATE TABLE record_keys (id " + id + ", host TEXT NOT NULL, site TEXT NOT NULL, file_system TEXT NOT NULL,"
             " account TEXT NOT NULL, user_name TEXT NOT NULL, group_names TEXT NOT NULL, file_type TEXT NOT NULL,"
             " status TEXT NOT NULL, access_temperature TEXT NOT NULL, modify_temperature TEXT NOT NULL)",
             "CREATE INDEX record_keys_by_host ON record_keys (host, id)",
             "CREATE TABLE records (run_id BIGINT NOT NULL REFERENCES runs (id), key_id BIGINT NOT NULL"
             " REFERENCES record_keys (id), day BIGINT NOT NULL, files BIGINT NOT NULL, bytes BIGINT NOT NULL,"
             " bytes_on_disk BIGINT NOT NULL, weighted_size DOUBLE PRECISION NOT NULL, PRIMARY KEY (run_id, key_id))",
             "CREATE TABLE side_files (id " + id + ", kind TEXT NOT NULL, host TEXT NOT NULL, day BIGINT NOT NULL,"
             " process_id BIGINT NOT NULL, monitor TEXT NOT NULL, file_name TEXT NOT NULL, folder TEXT NOT NULL,"
             " content_size BIGINT NOT NULL, content_hash TEXT NOT NULL, run_id BIGINT REFERENCES runs (id),"
             " row_count BIGINT NOT NULL, imported_at BIGINT NOT NULL, UNIQUE (file_name, content_size, content_hash))",
             "CREATE TABLE inactive_files (side_file_id BIGINT NOT NULL REFERENCES side_files (id), line BIGINT NOT NULL,"
             " name TEXT NOT NULL, directory TEXT NOT NULL, kib BIGINT NOT NULL, last_access TEXT NOT NULL,"
             " temperature TEXT NOT NULL)",
             "CREATE INDEX inactive_files_by_file ON inactive_files (side_file_id)",
             "CREATE TABLE temperature_rows (side_file_id BIGINT NOT NULL REFERENCES side_files (id),"
             " line BIGINT NOT NULL, directory TEXT NOT NULL, bytes BIGINT NOT NULL)",
             "CREATE INDEX temperature_rows_by_file ON temperature_rows (side_file_id)",
             "INSERT INTO runs (host, day, process_id, file_name, folder, content_size, content_hash, record_count,"
             " imported_at) VALUES ('OLD', 1700000000, 7, 'Hoardscan-1700000000-7.data', '/in', 1, 'x', 1, 0)",
             "INSERT INTO record_keys (host, site, file_system, account, user_name, group_names, file_type, status,"
             " access_temperature, modify_temperature) VALUES ('OLD', 'S', 'C', 'archive', 'u', 'g', 'iso', 'Normal',"
             " 'frozen', 'frozen')",
             "INSERT INTO records (run_id, key_id, day, files, bytes, bytes_on_disk, weighted_size)"
             " VALUES (1, 1, 1700086400, 3, 5000, 8192, 0.8692)",
             "INSERT INTO side_files (kind, host, day, process_id, monitor, file_name, folder, content_size, content_hash,"
             " run_id, row_count, imported_at) VALUES ('inactive', 'OLD', 1700000000, 7, '',"
             " 'HoardscanInactive-1700000000-7.csv', '/in', 1, 'y', 1, 3, 0)",
             "INSERT INTO inactive_files (side_file_id, line, name, directory, kib, last_access, temperature) VALUES"
             " (1, 2, 'a.iso', '/srv/old/', 4, '2013-04-05T12:00:00', 'frozen'),"
             " (1, 3, 'b.iso', '/srv/old/', 4, 'never', 'frozen'), (1, 4, 'c.iso', '/srv/', 1, '2012-01-01T00:00:00', 'cold')",
         }) {
        database.query(statement);
    }
}

struct RunOutput {
    int exitCode = 0;
    std::string out;
    std::string err;
};

inline RunOutput runReport(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int exitCode = Commands::run(arguments, out, err);
    return RunOutput{exitCode, out.str(), err.str()};
}

}  // namespace Quilna::ReportTest
