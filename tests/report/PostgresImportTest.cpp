// Import into a real PostgreSQL server, named by HOARDSCAN_TEST_PG (tools/ci/postgres
// starts one and prints the string). Each test works in a schema of its own, so that test
// programs running side by side do not meet.

#include "ReportTestSupport.h"

#include "tools/report/Importer.h"
#include "tools/report/InputFiles.h"
#include "hoardscan/ResultFileError.h"
#include "tools/report/PostgresDatabase.h"
#include "tools/report/ReportError.h"
#include "tools/report/ReportQueries.h"
#include "tools/report/ReportSchema.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace Quilna {
namespace {

using namespace ReportTest;

constexpr int64_t day1 = 1700000000;

class PostgresImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* connection = std::getenv("HOARDSCAN_TEST_PG");
        if (!connection || !*connection) {
            GTEST_SKIP() << "HOARDSCAN_TEST_PG is not set: PostgreSQL tests skipped "
                            "(tools/ci/postgres starts a server and prints the connection string)";
        }
        std::random_device seed;
        schema_ = "report_test_" + std::to_string(seed()) + std::to_string(seed());
        admin_ = std::make_unique<PostgresDatabase>(connection);
        admin_->query("CREATE SCHEMA " + schema_);
        connection_ = std::string(connection) + " options='-csearch_path=" + schema_ + "'";
    }
    void TearDown() override {
        if (admin_) admin_->query("DROP SCHEMA " + schema_ + " CASCADE");
    }

    int64_t count(Database& database, const std::string& table) {
        return sqlInt(database.query("SELECT COUNT(*) FROM " + table).at(0).at(0));
    }

    TempFolder folder;
    std::string schema_;
    std::string connection_;
    std::unique_ptr<PostgresDatabase> admin_;
};

// The page without the minute it was made in.
std::string withoutFooter(const fs::path& page) {
    const std::string html = readText(page);
    return html.substr(0, html.find("<footer>"));
}

TEST_F(PostgresImportTest, EveryViewAndPruneGiveWhatSqliteGives) {
    std::mt19937 random(99);
    for (int day = 0; day < 2; ++day) {
        for (const std::string host : {"PC1", "PC2"}) {
            const int64_t stamp = day1 + 86400 * day;
            writeRecordFile(folder / "in" / host, stamp, 10 + day, randomRecords(random, host, stamp, 400));
        }
    }
    // A second run of PC2 on the last day, imported after the other but scanned before it.
    setModified(folder / "in/PC2/Hoardscan-1700086400-11.data", day1 + 86400 + 7200);
    setModified(writeRecordFile(folder / "in/PC2", day1 + 86400, 12, randomRecords(random, "PC2", day1 + 86400, 50)),
                day1 + 86400 + 60);
    // Two hosts whose sums pass 2^63 together, in rows of their own (weighted sizes of other
    // magnitudes would add up differently in the last bits, with the order of adding).
    for (const std::string host : {"BIG1", "BIG2"}) {
        GeneratedRecord record{day1, makeKey(host, "huge", "u", "g", "img", "ancient", "ancient"), 1,
                               9100000000000000000, 9100000000000000000};
        writeRecordFile(folder / "in" / host, day1, 20, {record});
    }
    writeInactiveFile(folder / "in/PC1", day1 + 86400, 11,
                      {"tab\\name.doc,C:\\Data\\,5,2013-01-01T00:00:00,frozen,", "b.iso,/srv/,7,2014-01-01T00:00:00,cold,"});
    writeInactiveFile(folder / "in/PC1", day1, 10, {"b.iso,/srv/,7,2014-01-01T00:00:00,cold,"});
    writeText(folder / "in/PC1/Hoardscan-cold-1700086400-11.log", "C:\\Data\\;5120\n/x;y/;77\n");
    // A side file imported before its run.
    writeInactiveFile(folder / "early", day1, 30, {"e.doc,/e/,1,2015-01-01T00:00:00,cold,"});
    writeRecordFile(folder / "early", day1, 30, randomRecords(random, "PC3", day1, 20));

    const std::string sqlite = (folder / "report.sqlite").string();
    const std::vector<std::vector<std::string>> databases = {{"--pg", connection_}, {"--db", sqlite}};
    for (const auto& database : databases) {
        const auto run = [&](std::vector<std::string> arguments) {
            arguments.insert(arguments.begin() + 1, database.begin(), database.end());
            return runReport(arguments);
        };
        const RunOutput first = run({"import", (folder / "early/HoardscanInactive-1700000000-30.csv").string(),
                                     (folder / "in").string()});
        ASSERT_EQ(first.exitCode, 0) << first.err;
        EXPECT_NE(first.out.find("Imported 7 runs"), std::string::npos) << first.out;
        const RunOutput later = run({"import", (folder / "early").string()});
        EXPECT_NE(later.out.find("; 1 side file given their host"), std::string::npos) << later.out;
        EXPECT_EQ(run({"html", "-o", (folder / (database[0] + "-all.html")).string(), "--top", "0"}).exitCode, 0);
    }

    // The same numbers and pages come out of both databases.
    const auto compare = [&](const std::string& stage) {
        for (const std::string format : {"--json", "--csv"}) {
            const RunOutput fromPostgres = runReport({"summary", "--pg", connection_, format, "--top", "0"});
            const RunOutput fromSqlite = runReport({"summary", "--db", sqlite, format, "--top", "0"});
            ASSERT_EQ(fromPostgres.exitCode, 0) << fromPostgres.err;
            EXPECT_EQ(fromPostgres.out, fromSqlite.out) << stage;
        }
        ASSERT_EQ(runReport({"html", "--pg", connection_, "-o", (folder / "pg.html").string()}).exitCode, 0);
        ASSERT_EQ(runReport({"html", "--db", sqlite, "-o", (folder / "sqlite.html").string()}).exitCode, 0);
        EXPECT_EQ(withoutFooter(folder / "pg.html"), withoutFooter(folder / "sqlite.html")) << stage;
    };
    compare("imported");
    const std::string page = readText(folder / "pg.html");
    EXPECT_NE(page.find("PC2</a></td><td>2023-11-16</td><td>2023-11-16</td>"), std::string::npos);
    EXPECT_NE(page.find("C:\\Data\\"), std::string::npos);
    EXPECT_NE(page.find("15.8 EiB"), std::string::npos);
    EXPECT_EQ(withoutFooter(folder / "--pg-all.html"), withoutFooter(folder / "--db-all.html"));

    PostgresDatabase database(connection_);
    const std::vector<HostRun> runsOfPc2 = ReportQueries(database).runsOfHost("PC2");
    ASSERT_EQ(runsOfPc2.size(), 3u);
    EXPECT_EQ(runsOfPc2.back().scannedAt, day1 + 86400 + 7200);
    EXPECT_EQ(sqlText(database.query("SELECT name FROM inactive_rows WHERE directory = 'C:\\Data\\'").at(0).at(0)),
              "tab\\name.doc");
    EXPECT_EQ(sqlText(database.query("SELECT directory FROM temperature_rows ORDER BY line").at(1).at(0)), "/x;y/");
    EXPECT_EQ(count(database, "inactive_paths"), 3);
    const std::vector<std::string> tables = {"runs", "records", "record_keys", "side_files", "inactive_files",
                                             "temperature_rows"};
    std::map<std::string, int64_t> before;
    for (const std::string& table : tables) before[table] = count(database, table);
    const RunOutput again = runReport({"import", "--pg", connection_, (folder / "in").string()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("10 already imported"), std::string::npos) << again.out;
    for (const std::string& table : tables) EXPECT_EQ(count(database, table), before[table]) << table;

    for (const std::vector<std::string>& prune :
         std::vector<std::vector<std::string>>{{"--keep", "1"}, {"--before", "2023-11-16"}}) {
        std::vector<std::string> onPostgres = {"prune", "--pg", connection_}, onSqlite = {"prune", "--db", sqlite};
        onPostgres.insert(onPostgres.end(), prune.begin(), prune.end());
        onSqlite.insert(onSqlite.end(), prune.begin(), prune.end());
        const RunOutput fromPostgres = runReport(onPostgres);
        const RunOutput fromSqlite = runReport(onSqlite);
        ASSERT_EQ(fromPostgres.exitCode, 0) << fromPostgres.err;
        EXPECT_EQ(fromPostgres.out.substr(0, fromPostgres.out.find(" from ")),
                  fromSqlite.out.substr(0, fromSqlite.out.find(" from ")));
        compare(prune[0]);
    }
    EXPECT_EQ(count(database, "runs"), 2);
    EXPECT_EQ(count(database, "inactive_paths"), 2);
}

TEST_F(PostgresImportTest, AnEarlierDatabaseIsMigrated) {
    {
        PostgresDatabase database(connection_);
        createVersion1(database);
    }
    const RunOutput summary = runReport({"summary", "--pg", connection_, "--csv"});
    ASSERT_EQ(summary.exitCode, 0) << summary.err;
    EXPECT_NE(summary.out.find("host,OLD,2023-11-16,3,5000,8192,"), std::string::npos) << summary.out;
    PostgresDatabase database(connection_);
    const SqlTable rows = database.query("SELECT directory, name, last_access FROM inactive_rows ORDER BY name");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(sqlText(rows[0][0]) + sqlText(rows[0][1]), "/srv/old/a.iso");
    EXPECT_EQ(sqlInt(rows[0][2]), 1365163200);
    // Runs are still added after the change.
    writeRecordFile(folder / "in", day1, 8, randomRecords(*std::make_unique<std::mt19937>(1), "NEW", day1, 5));
    EXPECT_EQ(runReport({"import", "--pg", connection_, (folder / "in").string()}).exitCode, 0);
    EXPECT_EQ(count(database, "runs"), 2);
}

TEST_F(PostgresImportTest, AFailedFileLeavesNothingAndTheNextOneStillImports) {
    std::mt19937 random(5);
    const auto records = randomRecords(random, "PC1", day1, 50);
    writeRecordFile(folder / "one", day1, 1, records);
    writeRecordFile(folder / "two", day1 + 86400, 2, records);
    std::string malformed;
    for (const auto& record : records) malformed += recordLines(record);
    writeText(folder / "bad/Hoardscan-1700000000-3.data", malformed + "1:1:29:0:a\n1:1:1:1:1\n");

    PostgresDatabase database(connection_);
    ReportSchema::ensure(database);
    Importer importer(database, {}, [](const std::string&) {});
    const auto input = [&](const std::string& sub) {
        return InputFiles::collect({(folder / sub).string()}, [](const std::string&) {}).at(0);
    };

    EXPECT_THROW(importer.importFile(input("bad")), ResultFileError);
    EXPECT_EQ(count(database, "runs"), 0);

    // The database refuses the first file half-way, after its run and keys were written.
    database.query("ALTER TABLE records ADD CONSTRAINT few_files CHECK (files < 0)");
    EXPECT_THROW(importer.importFile(input("one")), ReportError);
    EXPECT_EQ(count(database, "runs"), 0);
    EXPECT_EQ(count(database, "record_keys"), 0);

    // The same keys again: the importer must not reuse ids of the rolled-back keys.
    database.query("ALTER TABLE records DROP CONSTRAINT few_files");
    EXPECT_FALSE(importer.importFile(input("two")).alreadyImported);
    EXPECT_EQ(count(database, "runs"), 1);
    EXPECT_EQ(count(database, "records"), count(database, "record_keys"));
    EXPECT_EQ(sqlInt(database.query("SELECT COUNT(*) FROM records c JOIN record_keys k ON k.id = c.key_id").at(0).at(0)),
              count(database, "records"));
}

}  // namespace
}  // namespace Quilna
