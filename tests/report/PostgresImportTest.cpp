// Import into a real PostgreSQL server, named by HOARDSCAN_TEST_PG (tools/ci/postgres
// starts one and prints the string). Each test works in a schema of its own, so that test
// programs running side by side do not meet.

#include "ReportTestSupport.h"

#include "tools/report/Importer.h"
#include "tools/report/InputFiles.h"
#include "hoardscan/ResultFileError.h"
#include "tools/report/PostgresDatabase.h"
#include "tools/report/ReportError.h"
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

TEST_F(PostgresImportTest, ImportsLikeSqliteAndOnlyOnce) {
    std::mt19937 random(99);
    for (int day = 0; day < 2; ++day) {
        for (const std::string host : {"PC1", "PC2"}) {
            const int64_t stamp = day1 + 86400 * day;
            writeRecordFile(folder / "in" / host, stamp, 10 + day, randomRecords(random, host, stamp, 400));
        }
    }
    writeText(folder / "in/PC1/HoardscanInactive-1700086400-11.csv",
              "Filename,File Path,File Size (kb) ,Last Accessed,File Temperature\n"
              "tab\\name.doc,C:\\Data\\,5,2013-01-01T00:00:00,frozen,\n");
    writeText(folder / "in/PC1/Hoardscan-cold-1700086400-11.log", "C:\\Data\\;5120\n/x;y/;77\n");

    const std::string in = (folder / "in").string();
    const RunOutput postgres = runReport({"import", "--pg", connection_, in});
    ASSERT_EQ(postgres.exitCode, 0) << postgres.err;
    EXPECT_NE(postgres.out.find("Imported 4 runs"), std::string::npos) << postgres.out;
    EXPECT_NE(postgres.out.find("and 2 side files into PostgreSQL database"), std::string::npos) << postgres.out;
    const std::string sqlite = (folder / "report.sqlite").string();
    ASSERT_EQ(runReport({"import", "--db", sqlite, in}).exitCode, 0);

    // The same numbers come out of both databases.
    for (const std::string format : {"--json", "--csv"}) {
        const RunOutput fromPostgres = runReport({"summary", "--pg", connection_, format, "--top", "0"});
        const RunOutput fromSqlite = runReport({"summary", "--db", sqlite, format, "--top", "0"});
        ASSERT_EQ(fromPostgres.exitCode, 0) << fromPostgres.err;
        EXPECT_EQ(fromPostgres.out, fromSqlite.out);
    }

    PostgresDatabase database(connection_);
    EXPECT_EQ(sqlText(database.query("SELECT name FROM inactive_files").at(0).at(0)), "tab\\name.doc");
    EXPECT_EQ(sqlText(database.query("SELECT directory FROM temperature_rows ORDER BY line").at(1).at(0)), "/x;y/");
    const std::vector<std::string> tables = {"runs", "records", "record_keys", "side_files", "inactive_files",
                                             "temperature_rows"};
    std::map<std::string, int64_t> before;
    for (const std::string& table : tables) before[table] = count(database, table);
    EXPECT_EQ(before["runs"], 4);

    const RunOutput again = runReport({"import", "--pg", connection_, in});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("6 already imported"), std::string::npos) << again.out;
    for (const std::string& table : tables) EXPECT_EQ(count(database, table), before[table]) << table;
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
