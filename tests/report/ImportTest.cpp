#include "ReportTestSupport.h"

#include "report/ReportQueries.h"
#include "report/ReportSchema.h"
#include "report/SqliteDatabase.h"

#include <gtest/gtest.h>

namespace Quilna {
namespace {

using namespace ReportTest;

constexpr int64_t day1 = 1700000000;  // 2023-11-15
constexpr int64_t day2 = day1 + 86400;

// Host PC1 on two days (the second flushed one key twice), PC2 on the first; inactive-file
// tables of both PC1 runs and a temperature log of the second.
void writeSampleRuns(const fs::path& in) {
    const RecordKey sales = makeKey("PC1", "sales", "ann", "Users,Staff", "doc", "hot", "warm");
    writeRecordFile(in / "PC1", day1, 1,
                    {{day1, sales, 2, 1000, 4096},
                     {day1, makeKey("PC1", "it", "bob", "UNDEF", "iso", "frozen", "cold"), 1, 5000, 8192}});
    writeRecordFile(in / "PC1", day2, 2, {{day2, sales, 3, 3000, 12288}, {day2, sales, 1, 10, 4096}});
    // Text that is not UTF-8 is stored cleaned; two keys that clean alike are one.
    writeRecordFile(in / "PC2", day1, 3,
                    {{day1, makeKey("PC2", "it", "cid", "Users", "doc", "cold", "cold"), 4, 40000, 40960},
                     {day1, makeKey("PC2", "M\xfcller", "\xc3\xa9mile", "Users", "doc", "cold", "cold"), 1, 10, 4096},
                     {day1, makeKey("PC2", "a\x01", "cid", "Users", "doc", "cold", "cold"), 1, 10, 4096},
                     {day1, makeKey("PC2", "a\x02", "cid", "Users", "doc", "cold", "cold"), 2, 10, 4096}});
    writeInactiveFile(in / "PC1", day1, 1,
                      {"a.iso,/srv/old/,4,2013-04-05T12:00:00,frozen,", "b.doc,/srv/new/,8,2014-01-01T00:00:00,cold,"});
    writeInactiveFile(in / "PC1", day2, 2, {"a.iso,/srv/old/,4,2013-04-05T12:00:00,frozen,"});
    writeText(in / "PC1/Hoardscan-cold-1700086400-2.log", "/srv/old/;12288\n");
}

class ImportTest : public ::testing::Test {
protected:
    std::string db() const { return (folder.path() / "report.sqlite").string(); }
    std::string in() const { return (folder.path() / "in").string(); }
    RunOutput import(const std::vector<std::string>& paths, const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments = {"import", "--db", db()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        return runReport(arguments);
    }
    int64_t count(const std::string& sql) { return sqlInt(SqliteDatabase(db(), false).query(sql).at(0).at(0)); }
    void exec(const std::string& sql) { SqliteDatabase(db(), false).query(sql); }

    TempFolder folder;
};

TEST_F(ImportTest, RunsSumTheirFlushesAndTheSummaryTakesTheLatestRunOfEachHost) {
    writeSampleRuns(in());
    const RunOutput result = import({in()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Imported 3 runs (6 records) and 3 side files"), std::string::npos) << result.out;
    EXPECT_EQ(runReport({"summary", "--db", db(), "--csv"}).out,
              "view,name,detail,files,bytes,bytes_on_disk,weighted_size\n"
              "total,,2 runs,12,43040,69632,7.3936\n"
              "host,PC2,2023-11-15,8,40030,53248,5.7251\n"
              "host,PC1,2023-11-16,4,3010,16384,1.6685\n"
              "account,it,,4,40000,40960,4.496\n"
              "account,sales,,4,3010,16384,1.6685\n"
              "account,a_,,3,20,8192,0.8194\n"
              "account,M\xc3\xbcller,,1,10,4096,0.4097\n"
              "user,cid,,7,40020,49152,5.3154\n"
              "user,ann,,4,3010,16384,1.6685\n"
              "user,\xc3\xa9mile,,1,10,4096,0.4097\n"
              "group,Users,,12,43040,69632,7.3936\n"
              "group,Staff,,4,3010,16384,1.6685\n"
              "file_type,doc,,12,43040,69632,7.3936\n"
              "temperature,hot,warm,4,3010,16384,1.6685\n"
              "temperature,hot,cold,0,0,0,0\n"
              "temperature,cold,warm,0,0,0,0\n"
              "temperature,cold,cold,8,40030,53248,5.7251\n");
    EXPECT_NE(runReport({"summary", "--db", db(), "--json", "--top", "1"})
                  .out.find("  \"groups\": [\n    {\"name\": \"Users\", \"files\": 12, \"bytes\": 43040, "
                            "\"bytesOnDisk\": 69632, \"weightedSize\": 7.3936}\n  ],\n  \"fileTypes\""),
              std::string::npos);
    const std::string tables = runReport({"summary", "--db", db(), "--top", "3"}).out;
    for (const char* part : {"Latest run of each of 2 hosts, 2023-11-15 to 2023-11-16\n"
                             "Total: 12 files, 42.0 KiB, 68.0 KiB on disk\n",
                             "  Account   Files      Size   On disk  Share\n"
                             "  it            4  39.1 KiB  40.0 KiB  58.8%\n"
                             "  sales         4  2.94 KiB  16.0 KiB  23.5%\n"
                             "  a_            3      20 B  8.00 KiB  11.8%\n"
                             "  (1 more)      1      10 B  4.00 KiB   5.9%\n",
                             "  User   Files      Size   On disk  Share\n"
                             "  cid        7  39.1 KiB  48.0 KiB  70.6%\n"
                             "  ann        4  2.94 KiB  16.0 KiB  23.5%\n"
                             "  \xc3\xa9mile      1      10 B  4.00 KiB   5.9%\n",
                             "  access \\ modify      warm      cold     Total\n"
                             "  hot              16.0 KiB         -  16.0 KiB\n"
                             "  cold                    -  52.0 KiB  52.0 KiB\n"
                             "  Total            16.0 KiB  52.0 KiB  68.0 KiB\n"})
        EXPECT_NE(tables.find(part), std::string::npos) << tables;

    // Importing the same files again changes nothing.
    const RunOutput again = import({in(), in() + "/PC2"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out,
              "Imported 0 runs (0 records) and 0 side files into SQLite database " + db() + "; 7 already imported\n");
}

TEST_F(ImportTest, SideFilesTakeTheHostOfTheirRunAlsoWhenItComesLater) {
    std::mt19937 random(3);
    const std::string old = "2013-01-01T00:00:00";
    const fs::path base = folder.path();
    // Two hosts whose runs had the same process id on the same day, each in its own folder.
    writeRecordFile(base / "a", day1, 500, randomRecords(random, "PC1", day1, 5));
    writeRecordFile(base / "b", day1, 500, randomRecords(random, "PC2", day1, 5));
    writeInactiveFile(base / "a", day1, 500, {"x,/a/,1," + old + ",cold,"});
    // Opened after local noon: the next day stamp.
    writeText(base / "b/Hoardscan-cold-1700086400-500.log", "/b/;2048\n");
    // No run of this process anywhere.
    writeText(base / "c/Hoardscan-cold-1700000000-999.log", "/c/;1024\n");
    // A side file whose run comes in a later import.
    writeInactiveFile(base / "e", day1, 600, {"y,/e/,1," + old + ",frozen,"});
    const RunOutput result = import({folder.child("a"), folder.child("b"), folder.child("c"), folder.child("e")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Hoardscan-cold-1700000000-999.log: no imported run of process 999 around that day, "
                              "so its host is unknown; give --host to name it"),
              std::string::npos)
        << result.err;

    writeRecordFile(base / "e", day1, 600, randomRecords(random, "PC5", day1, 5));
    EXPECT_NE(import({folder.child("e")}).out.find("; 1 already imported; 1 side file given their host\n"),
              std::string::npos);
    ASSERT_EQ(import({folder.child("c")}, {"--host", "PCZ"}).exitCode, 0);  // names a host imported without one

    const std::string sql =
        "SELECT s.file_name || ' ' || s.host || ' ' || IFNULL(r.host, '') FROM side_files s "
        "LEFT JOIN runs r ON r.id = s.run_id ORDER BY s.file_name";
    std::vector<std::string> found;
    for (const SqlRow& row : SqliteDatabase(db(), false).query(sql)) found.push_back(sqlText(row[0]));
    EXPECT_EQ(found,
              (std::vector<std::string>{
                  "Hoardscan-cold-1700000000-999.log PCZ ", "Hoardscan-cold-1700086400-500.log PC2 PC2",
                  "HoardscanInactive-1700000000-500.csv PC1 PC1", "HoardscanInactive-1700000000-600.csv PC5 PC5"}));
}

TEST_F(ImportTest, AFileTheDatabaseRefusesHalfWayLeavesNothing) {
    std::mt19937 random(17);
    const auto records = randomRecords(random, "PC1", day1, 50);
    writeRecordFile(in() + "/a", day1, 1, records);
    writeRecordFile(in() + "/b", day2, 2, records);
    SqliteDatabase database(db(), true);
    ReportSchema::ensure(database);
    // The first run is refused after it and its keys were written; the second gets ids of keys that exist.
    database.query(
        "CREATE TRIGGER refuse BEFORE INSERT ON records WHEN (SELECT process_id FROM runs WHERE id = NEW.run_id) = 1"
        " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_EQ(import({in() + "/a", in() + "/b"}).exitCode, 2);
    EXPECT_EQ(count("SELECT SUM(process_id) FROM runs"), 2);
    EXPECT_GT(count("SELECT COUNT(*) FROM records"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM records c JOIN record_keys k ON k.id = c.key_id"),
              count("SELECT COUNT(*) FROM records"));
}

TEST_F(ImportTest, TheLatestRunIsTheOneScannedLastAndGrowthCountsItForItsDay) {
    const auto record = [](const std::string& host, const std::string& account, int64_t day, int64_t disk) {
        return GeneratedRecord{day, makeKey(host, account, "u", "g", "doc", "hot", "hot"), 1, disk, disk};
    };
    const int64_t day3 = day2 + 86400;
    const fs::path base = folder.path();
    writeRecordFile(base / "a", day1, 1, {record("A", "sales", day1, 100)});
    // Two runs of A on the third day: the one imported first was scanned last.
    setModified(writeRecordFile(base / "a", day3, 3, {record("A", "sales", day3, 170)}), day3 + 3600);
    setModified(writeRecordFile(base / "a", day3, 4, {record("A", "sales", day3, 999)}), day3 + 60);
    // Written far from their day: held within half a day of it.
    setModified(writeRecordFile(base / "b", day1, 1, {record("B", "sales", day1, 10), record("B", "it", day1, 5)}), 0);
    setModified(writeRecordFile(base / "b", day2, 2, {record("B", "sales", day2, 30)}), day2 + 30 * 86400);
    ASSERT_EQ(import({base.string()}).exitCode, 0);

    SqliteDatabase database(db(), false);
    ReportQueries queries(database);
    const AccountGrowth growth = queries.accountGrowth();
    EXPECT_EQ(growth.days, (std::vector<int64_t>{day1, day2, day3}));
    ASSERT_EQ(growth.accounts.size(), 2u);
    EXPECT_EQ(growth.accounts[0].account + growth.accounts[1].account, "salesit");
    EXPECT_EQ(growth.accounts[0].bytesOnDisk, (std::vector<WideInt>{110, 130, 200}));
    EXPECT_EQ(growth.accounts[1].bytesOnDisk, (std::vector<WideInt>{5, 0, 0}));

    const Summary summary = queries.summary();
    ASSERT_EQ(summary.accounts.size(), 1u);
    EXPECT_EQ(summary.accounts[0].totals.bytesOnDisk, 200);
    EXPECT_EQ(count("SELECT MIN(scanned_at - scanned_day) FROM runs WHERE host = 'B'"), -43200);
    EXPECT_EQ(count("SELECT MAX(scanned_at - scanned_day) FROM runs WHERE host = 'B'"), 43199);
}

TEST_F(ImportTest, InactiveRowsAreStoredOncePerFileAndPruneRemovesOldRunsInOneTransaction) {
    writeSampleRuns(in());
    ASSERT_EQ(import({in()}).exitCode, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_paths"), 2);
    EXPECT_EQ(count("SELECT kib + last_access FROM inactive_rows WHERE directory = '/srv/new/' AND name = 'b.doc'"),
              8 + 1388534400);
    const std::string before = runReport({"summary", "--db", db(), "--json", "--top", "0"}).out;

    // A failure half-way leaves everything.
    exec("CREATE TRIGGER refuse BEFORE DELETE ON runs BEGIN SELECT RAISE(ABORT, 'x'); END");
    EXPECT_EQ(runReport({"prune", "--db", db(), "--keep", "1"}).exitCode, 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM runs"), 3);
    exec("DROP TRIGGER refuse");

    const RunOutput kept = runReport({"prune", "--db", db(), "--keep", "1"});
    ASSERT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_NE(kept.out.find("Removed 1 run (2 records) and 1 side file (2 inactive rows)"), std::string::npos)
        << kept.out;
    // The latest runs are all there is to the summary.
    EXPECT_EQ(runReport({"summary", "--db", db(), "--json", "--top", "0"}).out, before);
    EXPECT_EQ(count("SELECT COUNT(*) FROM record_keys WHERE id NOT IN (SELECT key_id FROM records)"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_paths WHERE id NOT IN (SELECT path_id FROM inactive_files)"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_directories"), 1);

    // PC2 ran on the first day only, 2023-11-15.
    const RunOutput old = runReport({"prune", "--db", db(), "--before", "2023-11-16"});
    EXPECT_NE(old.out.find("Removed 1 run (3 records) and 0 side files"), std::string::npos) << old.out;
    EXPECT_EQ(count("SELECT COUNT(*) FROM runs WHERE host = 'PC2'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM temperature_rows"), 1);

    // A database of the first version, with the last access as written, takes the new form when opened.
    const std::string latest = runReport({"summary", "--db", db(), "--json"}).out;
    for (const char* statement :
         {"DROP VIEW inactive_rows", "DROP TABLE inactive_files", "DROP INDEX runs_by_scan",
          "ALTER TABLE runs DROP COLUMN scanned_day", "ALTER TABLE runs DROP COLUMN scanned_at",
          "UPDATE report_schema SET version = 1",
          "CREATE TABLE inactive_files (side_file_id BIGINT NOT NULL, line BIGINT NOT NULL, name TEXT NOT NULL, "
          "directory TEXT NOT NULL, kib BIGINT NOT NULL, last_access TEXT NOT NULL, temperature TEXT NOT NULL)",
          "INSERT INTO inactive_files SELECT id, 2, 'a', '/d/', 4, '2013-04-05T12:00:00', 'cold' FROM side_files LIMIT "
          "1",
          "INSERT INTO inactive_files SELECT id, 3, 'b', '/d/', 4, 'never', 'cold' FROM side_files LIMIT 1"})
        exec(statement);
    EXPECT_EQ(runReport({"summary", "--db", db(), "--json"}).out, latest);
    EXPECT_EQ(count("SELECT SUM(last_access) FROM inactive_rows"), 1365163200);
    EXPECT_EQ(count("SELECT version + scanned_at - scanned_day FROM report_schema, runs"), 2);
}

}  // namespace
}  // namespace Quilna
