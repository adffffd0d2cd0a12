#include "ReportTestSupport.h"

#include "report/PostgresDatabase.h"
#include "report/ReportQueries.h"
#include "report/ReportSchema.h"
#include "report/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace Quilna {
namespace {

using namespace ReportTest;

constexpr int64_t day1 = 1700000000, day2 = day1 + 86400;  // 2023-11-15 and 16

class CommandsTest : public ::testing::Test {
protected:
    std::string db() const { return (folder.path() / "report.sqlite").string(); }
    RunOutput import(const std::vector<std::string>& paths, const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments = {"import", "--db", db()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        return runReport(arguments);
    }
    int64_t count(const std::string& sql) { return sqlInt(SqliteDatabase(db(), false).query(sql).at(0).at(0)); }
    void exec(const std::string& sql) { SqliteDatabase(db(), false).query(sql); }

    TempFolder folder;
    const fs::path in = folder.path() / "in";
};

TEST_F(CommandsTest, HelpExitsWithZeroAndUsageErrorsWithOneSayingWhatIsWrong) {
    writeText(folder.path() / "notes.txt", "x\n");
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"help", "import"}, 0, "Usage: hoardscan-report import"},
        {{}, 1, "Usage: hoardscan-report"},
        {{"export"}, 1, "unknown command \"export\""},
        {{"summary", "--color"}, 1, "the summary command has no option --color"},
        {{"summary", "--csv", "--json"}, 1, "give either --csv or --json, not both"},
        {{"summary", "--top", "ten"}, 1, "--top needs a whole number, not \"ten\""},
        {{"import", "--db", db()}, 1, "import needs result files or folders"},
        {{"import", "--db", db(), folder.child("missing")}, 1, folder.child("missing") + ": no such file"},
        {{"import", "--db", db(), folder.child("notes.txt")}, 1, "notes.txt: not a result file name"},
        {{"prune", "--db", db()}, 1, "prune needs either --keep N or --before DAY"},
        {{"prune", "--db", db(), "--before", "2024-02-30"}, 1, "--before needs a day written YYYY-MM-DD"},
        {{"summary", "--db", folder.child("none.sqlite")}, 2, "no report database " + folder.child("none.sqlite")},
        {{"html", "--db", folder.child("none.sqlite")}, 2, "no report database " + folder.child("none.sqlite")},
        {{"summary", "--pg", "host=127.0.0.1 port=1 connect_timeout=2"}, 2, "cannot connect to PostgreSQL"},
    };
    for (const auto& [arguments, exitCode, message] : cases) {
        const RunOutput result = runReport(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << message;
        EXPECT_TRUE(contains(exitCode == 0 ? result.out : result.err, message));
        // A usage error points to the help, which a bare call prints itself.
        EXPECT_EQ(result.err.find("Try \"hoardscan-report --help\".") != std::string::npos,
                  exitCode == 1 && !arguments.empty())
            << message;
    }
    EXPECT_FALSE(fs::exists(db()));
    EXPECT_FALSE(fs::exists(folder.child("none.sqlite")));
}

TEST_F(CommandsTest, TheProgramExitsWithTwoOnDataErrors) {
    const fs::path file = writeText(folder.path() / "Hoardscan-1700000000-1.data", "1:86400:29:0:a\n1:1:1:1:1\n");
    const auto run = [&](const std::string& arguments, const std::string& out) {
        const std::string command = "cd '" + folder.text() + "' && '" HOARDSCAN_REPORT_PROGRAM "' " + arguments + " >" +
                                    out + " 2>err; echo $? >code";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return readText(folder.path() / "code") + readText(folder.path() / "err");
    };
    EXPECT_EQ(run("import --db '" + db() + "' '" + file.string() + "'", "out"),
              "2\nhoardscan-report: " + file.string() +
                  ":1: the record key has 1 field, expected 10; the file was not imported\n");
    EXPECT_TRUE(contains(readText(folder.path() / "out"), "1 rejected"));
    EXPECT_EQ(run("summary --db '" + db() + "'", "/dev/full"), "2\nhoardscan-report: cannot write the output\n");
    const RunOutput summary = runReport({"summary", "--db", db()});
    EXPECT_EQ(summary.exitCode, 0);
    EXPECT_EQ(summary.out, "No runs in the database: import account record files first.\n");
}

// No message repeats the content of a refused file.
TEST_F(CommandsTest, HostileFilesAreRefusedAndTheReportsStayExactAndValid) {
    const fs::path named = folder.path() / "named";
    const auto big = [&](const std::string& host, const std::string& account, const std::string& type) {
        return GeneratedRecord{day1, makeKey(host, account, "u", "g", type, "cold", "cold"), 1, 9100000000000000000,
                               9100000000000000000};
    };
    // Two hosts whose sum passes 2^63; names a spreadsheet would read as formulas.
    writeRecordFile(in, day1, 1, {big("BIG1", "=HYPERLINK(\"x\")", "@SUM(1+1)")});
    writeRecordFile(in, day1, 2, {big("BIG2", "+cmd", "-x")});
    writeText(folder.path() / "shadow", "root:$6$secret:19000:0:99999:7:::\n");
    fs::permissions(folder.path() / "shadow", fs::perms::owner_read);
    const std::string key = AccountRecordFormat::keyText(makeKey("BAD", "a", "u", "g", "t", "hot", "hot"));
    const std::vector<std::array<std::string, 3>> attacks = {
        {"Hoardscan-999999999999999999-3.data", "1:" + std::to_string(day1) + ":29:" + key + "\n1:1:1:4096:0.4196\n",
         ": the day stamp of its name lies outside the days a run can have: 2000-01-01 to "},
        {"Hoardscan-1700000000-5.data", recordLines(big("BAD", "a", "t")) + recordLines(big("BAD", "a", "t")),
         ":3: the run's sums pass 2^63 with this record"},
        {"Hoardscan-1700000000-6.data", "1:" + std::to_string(day1) + ":29:" + key + "\n1:1:1:4096:1.7e308\n",
         ":1: the weighted size is too large to store"},
        {"Hoardscan-1700000000-9.data", "", ": a symbolic link: import follows no links"},
        // The run of BIG1 imported from the searched folder, with other content.
        {"Hoardscan-1700000000-1.data", recordLines(big("BIG1", "other", "t")),
         ": this run of host \"BIG1\" was imported before from " + (in / "Hoardscan-1700000000-1.data").string()},
    };
    for (const auto& [name, content, message] : attacks)
        if (!content.empty()) writeText(named / name, content);
    fs::create_symlink(folder.path() / "shadow", named / "Hoardscan-1700000000-9.data");
    // In a searched folder links and pipes are not even opened.
    fs::create_symlink(folder.path() / "shadow", in / "Hoardscan-1700000000-10.data");
    ASSERT_EQ(std::system(("mkfifo '" + (in / "Hoardscan-1700000000-11.data").string() + "'").c_str()), 0);
    // Files the scanner has not finished, and its extension logs, are left out.
    writeText(in / "Hoardscan-1700000000-14.make", recordLines(big("BIG3", "a", "t")));
    writeText(in / "HoardscanInactive-1700000000-14.csv.make", "");
    writeText(in / "HoardscanExtension-1700000000-14.log", "xyz\n");
    writeText(in / "notes.txt", "x\n");

    std::vector<std::string> arguments = {"import", "--db", db(), in.string()};
    for (const auto& attack : attacks) arguments.push_back((named / attack[0]).string());
    const RunOutput result = runReport(arguments);
    EXPECT_EQ(result.exitCode, 2);
    for (const auto& [name, content, message] : attacks)
        EXPECT_TRUE(contains(result.err, (named / name).string() + message));
    for (const char* skipped : {"Hoardscan-1700000000-10.data: skipped: a symbolic link, not followed",
                                "Hoardscan-1700000000-11.data: skipped: not a regular file",
                                "Hoardscan-1700000000-14.make: skipped: the scanner has not finished it",
                                "HoardscanInactive-1700000000-14.csv.make: skipped"})
        EXPECT_TRUE(contains(result.err, skipped));
    EXPECT_FALSE(contains(result.err, "secret"));
    EXPECT_TRUE(contains(result.out, "Imported 2 runs (2 records) and 0 side files"));
    EXPECT_TRUE(contains(result.out, "; 5 rejected"));

    const RunOutput json = runReport({"summary", "--db", db(), "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_TRUE(contains(json.out,
                         "\"total\": {\"files\": 2, \"bytes\": 18200000000000000000, \"bytesOnDisk\": "
                         "18200000000000000000, \"weightedSize\": 2002000000000000"));
    for (const char* invalid : {"inf", "nan", "-2"}) EXPECT_FALSE(contains(json.out, invalid));
    const RunOutput csv = runReport({"summary", "--db", db(), "--csv"});
    EXPECT_TRUE(contains(csv.out, "\naccount,\"'=HYPERLINK(\"\"x\"\")\",,"));
    const RunOutput tables = runReport({"summary", "--db", db()});
    EXPECT_TRUE(contains(tables.out, "Total: 2 files, 15.8 EiB, 15.8 EiB on disk"));
    EXPECT_EQ(runReport({"html", "--db", db(), "-o", (folder.path() / "r.html").string()}).exitCode, 0);
}

// PC1 on two days (the second flushed one key twice), PC2 on the first; side files of PC1.
TEST_F(CommandsTest, RunsSumTheirFlushesTheSummaryTakesTheLatestRunsAndPruneKeepsIt) {
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
    const RunOutput result = import({in.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "Imported 3 runs (6 records) and 3 side files"));
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
    EXPECT_TRUE(contains(runReport({"summary", "--db", db(), "--json", "--top", "1"}).out,
                         "  \"groups\": [\n    {\"name\": \"Users\", \"files\": 12, \"bytes\": 43040, "
                         "\"bytesOnDisk\": 69632, \"weightedSize\": 7.3936}\n  ],\n  \"fileTypes\""));
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
                             "Largest file types\n  Type ",
                             "  access \\ modify      warm      cold     Total\n"
                             "  hot              16.0 KiB         -  16.0 KiB\n"
                             "  cold                    -  52.0 KiB  52.0 KiB\n"
                             "  Total            16.0 KiB  52.0 KiB  68.0 KiB\n"})
        EXPECT_TRUE(contains(tables, part));

    const RunOutput again = import({in.string(), (in / "PC2").string()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out,
              "Imported 0 runs (0 records) and 0 side files into SQLite database " + db() + "; 7 already imported\n");

    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_paths"), 2);
    EXPECT_EQ(count("SELECT kib + last_access FROM inactive_rows WHERE directory = '/srv/new/' AND name = 'b.doc'"),
              8 + 1388534400);
    const std::string before = runReport({"summary", "--db", db(), "--json", "--top", "0"}).out;

    exec("CREATE TRIGGER refuse BEFORE DELETE ON runs BEGIN SELECT RAISE(ABORT, 'x'); END");
    EXPECT_EQ(runReport({"prune", "--db", db(), "--keep", "1"}).exitCode, 2);  // and leaves everything
    EXPECT_EQ(count("SELECT COUNT(*) FROM runs"), 3);
    exec("DROP TRIGGER refuse");

    const RunOutput kept = runReport({"prune", "--db", db(), "--keep", "1"});
    ASSERT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_TRUE(contains(kept.out, "Removed 1 run (2 records) and 1 side file (2 inactive rows)"));
    EXPECT_EQ(runReport({"summary", "--db", db(), "--json", "--top", "0"}).out, before);
    EXPECT_EQ(count("SELECT COUNT(*) FROM record_keys WHERE id NOT IN (SELECT key_id FROM records)"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_paths WHERE id NOT IN (SELECT path_id FROM inactive_files)"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_directories"), 1);

    // PC2 ran on the first day only, 2023-11-15.
    const RunOutput old = runReport({"prune", "--db", db(), "--before", "2023-11-16"});
    EXPECT_TRUE(contains(old.out, "Removed 1 run (3 records) and 0 side files"));
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

TEST_F(CommandsTest, SideFilesTakeTheHostOfTheirRunAlsoWhenItComesLater) {
    std::mt19937 random(3);
    const std::string old = "2013-01-01T00:00:00";
    const fs::path base = folder.path();
    // Two hosts whose runs had the same process id on the same day, each in its own folder.
    writeRecordFile(base / "a", day1, 500, randomRecords(random, "PC1", day1, 5));
    writeRecordFile(base / "b", day1, 500, randomRecords(random, "PC2", day1, 5));
    writeInactiveFile(base / "a", day1, 500, {"x,/a/,1," + old + ",cold,"});
    // Opened after local noon: the next day stamp.
    writeText(base / "b/Hoardscan-cold-1700086400-500.log", "/b/;2048\n");
    writeText(base / "c/Hoardscan-cold-1700000000-999.log", "/c/;1024\n");
    // A side file whose run comes in a later import.
    writeInactiveFile(base / "e", day1, 600, {"y,/e/,1," + old + ",frozen,"});
    // Runs of that process elsewhere: when its own comes, the folder tells them apart.
    writeRecordFile(base / "a", day1, 600, randomRecords(random, "PC3", day1, 5));
    writeRecordFile(base / "b", day1, 600, randomRecords(random, "PC4", day1, 5));
    const RunOutput result = import({folder.child("a"), folder.child("b"), folder.child("c"), folder.child("e")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "Hoardscan-cold-1700000000-999.log: no imported run of process 999 around that day, "
                         "so its host is unknown; give --host to name it"));

    writeRecordFile(base / "e", day1, 600, randomRecords(random, "PC5", day1, 5));
    EXPECT_TRUE(contains(import({folder.child("e")}).out, "; 1 already imported; 1 side file given their host\n"));
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

TEST_F(CommandsTest, AFileTheDatabaseRefusesHalfWayLeavesNothing) {
    std::mt19937 random(17);
    const auto records = randomRecords(random, "PC1", day1, 50);
    writeRecordFile((in / "a").string(), day1, 1, records);
    writeRecordFile((in / "b").string(), day2, 2, records);
    SqliteDatabase database(db(), true);
    ReportSchema::ensure(database);
    // The first run is refused after it and its keys were written; the second gets ids of keys that exist.
    database.query(
        "CREATE TRIGGER refuse BEFORE INSERT ON records WHEN (SELECT process_id FROM runs WHERE id = NEW.run_id) = 1"
        " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_EQ(import({(in / "a").string(), (in / "b").string()}).exitCode, 2);
    EXPECT_EQ(count("SELECT SUM(process_id) FROM runs"), 2);
    EXPECT_GT(count("SELECT COUNT(*) FROM records"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM records c JOIN record_keys k ON k.id = c.key_id"),
              count("SELECT COUNT(*) FROM records"));
}

TEST_F(CommandsTest, TheLatestRunIsTheOneScannedLastAndGrowthCountsItForItsDay) {
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

    const std::string tables = runReport({"summary", "--db", db()}).out;
    EXPECT_TRUE(contains(tables, "Share\n  sales        2  200 B    200 B  100.0%\n\n"));
    EXPECT_TRUE(contains(tables, "  Total            200 B  200 B\n"));
    EXPECT_EQ(count("SELECT MIN(scanned_at - scanned_day) FROM runs WHERE host = 'B'"), -43200);
    EXPECT_EQ(count("SELECT MAX(scanned_at - scanned_day) FROM runs WHERE host = 'B'"), 43199);
}

// A real PostgreSQL server, named by HOARDSCAN_TEST_PG (tools/ci/postgres starts one); a schema of its own.
class PostgresImportTest : public CommandsTest {
protected:
    void SetUp() override {
        const char* connection = std::getenv("HOARDSCAN_TEST_PG");
        if (!connection || !*connection) GTEST_SKIP() << "HOARDSCAN_TEST_PG is not set: PostgreSQL tests skipped";
        schema = "report_test_" + std::to_string(std::random_device()()) + std::to_string(std::random_device()());
        PostgresDatabase(admin = connection).query("CREATE SCHEMA " + schema);
        pg = admin + " options='-csearch_path=" + schema + "'";
    }
    void TearDown() override {
        if (!admin.empty()) PostgresDatabase(admin).query("DROP SCHEMA " + schema + " CASCADE");
    }

    std::string admin, schema, pg;
};

TEST_F(PostgresImportTest, EveryViewAndPruneGiveWhatSqliteGives) {
    std::mt19937 random(99);
    for (const int64_t day : {day1, day2})
        for (const std::string host : {"PC1", "PC2"})
            writeRecordFile(in / host, day, day == day1 ? 10 : 11, randomRecords(random, host, day, 400));
    // A second run of PC2 on the last day, imported after the other but scanned before it.
    setModified(in / "PC2/Hoardscan-1700086400-11.data", day2 + 7200);
    setModified(writeRecordFile(in / "PC2", day2, 12, randomRecords(random, "PC2", day2, 50)), day2 + 60);
    // Sums past 2^63, in rows of their own (other magnitudes' weights add up by order).
    const int64_t big = 9100000000000000000;
    for (const std::string host : {"BIG1", "BIG2"})
        writeRecordFile(in / host, day1, 20,
                        {{day1, makeKey(host, "huge", "u", "g", "img", "ancient", "ancient"), 1, big, big}});
    writeInactiveFile(
        in / "PC1", day2, 11,
        {"tab\\name.doc,C:\\Data\\,5,2013-01-01T00:00:00,frozen,", "b.iso,/srv/,7,2014-01-01T00:00:00,cold,"});
    writeInactiveFile(in / "PC1", day1, 10, {"b.iso,/srv/,7,2014-01-01T00:00:00,cold,"});
    writeText(in / "PC1/Hoardscan-cold-1700086400-11.log", "C:\\Data\\;5120\n/x;y/;77\n");
    writeInactiveFile(folder.path() / "early", day1, 30, {"e.doc,/e/,1,2015-01-01T00:00:00,cold,"});
    writeRecordFile(folder.path() / "early", day1, 30, randomRecords(random, "PC3", day1, 20));

    const auto onBoth = [&](const std::vector<std::string>& arguments) {
        std::vector<RunOutput> outputs;
        for (const std::vector<std::string>& database : {std::vector<std::string>{"--pg", pg}, {"--db", db()}}) {
            std::vector<std::string> words = arguments;
            words.insert(words.begin() + 1, database.begin(), database.end());
            outputs.push_back(runReport(words));
            EXPECT_EQ(outputs.back().exitCode, 0) << outputs.back().err;
        }
        return outputs;
    };
    for (const RunOutput& first :
         onBoth({"import", folder.child("early/HoardscanInactive-1700000000-30.csv"), in.string()}))
        EXPECT_TRUE(contains(first.out, "Imported 7 runs"));
    for (const RunOutput& later : onBoth({"import", folder.child("early")}))
        EXPECT_TRUE(contains(later.out, "; 1 side file given their host"));

    const auto compare = [&](const std::string& stage) {
        for (const std::string format : {"--json", "--csv"}) {
            const std::vector<RunOutput> outputs = onBoth({"summary", format, "--top", "0"});
            EXPECT_EQ(outputs[0].out, outputs[1].out) << stage;
        }
        ASSERT_EQ(runReport({"html", "--pg", pg, "-o", folder.child("pg.html")}).exitCode, 0);
        ASSERT_EQ(runReport({"html", "--db", db(), "-o", folder.child("sqlite.html")}).exitCode, 0);
        // The pages without the minute they were made in.
        const std::string page = readText(folder.path() / "pg.html"), lite = readText(folder.path() / "sqlite.html");
        EXPECT_EQ(page.substr(0, page.find("<footer>")), lite.substr(0, lite.find("<footer>"))) << stage;
    };
    compare("imported");
    EXPECT_TRUE(contains(readText(folder.path() / "pg.html"), "15.8 EiB"));

    PostgresDatabase database(pg);
    const RunOutput again = runReport({"import", "--pg", pg, in.string()});
    EXPECT_TRUE(contains(again.out, "10 already imported"));
    EXPECT_EQ(sqlInt(database.query("SELECT COUNT(*) FROM runs").at(0).at(0)), 8);
    for (const auto& [option, value] : {std::pair{"--keep", "1"}, std::pair{"--before", "2023-11-16"}}) {
        const std::vector<RunOutput> outputs = onBoth({"prune", option, value});
        EXPECT_EQ(outputs[0].out.substr(0, outputs[0].out.find(" from ")),
                  outputs[1].out.substr(0, outputs[1].out.find(" from ")));
        compare(option);
    }
    EXPECT_EQ(sqlInt(database.query("SELECT COUNT(*) FROM runs").at(0).at(0)), 2);
}

}  // namespace
}  // namespace Quilna
