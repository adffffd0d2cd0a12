// A real PostgreSQL server, named by HOARDSCAN_TEST_PG; each test in a schema of its own.

#include "ReportTestSupport.h"

#include "report/PostgresDatabase.h"

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

    TempFolder folder;
    std::string schema_;
    std::string connection_;
    std::unique_ptr<PostgresDatabase> admin_;
};

TEST_F(PostgresImportTest, EveryViewAndPruneGiveWhatSqliteGives) {
    std::mt19937 random(99);
    const fs::path in = folder.path() / "in";
    for (const int64_t day : {day1, day1 + 86400})
        for (const std::string host : {"PC1", "PC2"})
            writeRecordFile(in / host, day, day == day1 ? 10 : 11, randomRecords(random, host, day, 400));
    // A second run of PC2 on the last day, imported after the other but scanned before it.
    setModified(in / "PC2/Hoardscan-1700086400-11.data", day1 + 86400 + 7200);
    setModified(writeRecordFile(in / "PC2", day1 + 86400, 12, randomRecords(random, "PC2", day1 + 86400, 50)),
                day1 + 86400 + 60);
    // Sums past 2^63, in rows of their own (other magnitudes' weights add up by order).
    const int64_t big = 9100000000000000000;
    for (const std::string host : {"BIG1", "BIG2"})
        writeRecordFile(in / host, day1, 20,
                        {{day1, makeKey(host, "huge", "u", "g", "img", "ancient", "ancient"), 1, big, big}});
    writeInactiveFile(
        in / "PC1", day1 + 86400, 11,
        {"tab\\name.doc,C:\\Data\\,5,2013-01-01T00:00:00,frozen,", "b.iso,/srv/,7,2014-01-01T00:00:00,cold,"});
    writeInactiveFile(in / "PC1", day1, 10, {"b.iso,/srv/,7,2014-01-01T00:00:00,cold,"});
    writeText(in / "PC1/Hoardscan-cold-1700086400-11.log", "C:\\Data\\;5120\n/x;y/;77\n");
    // A side file imported before its run.
    writeInactiveFile(folder.path() / "early", day1, 30, {"e.doc,/e/,1,2015-01-01T00:00:00,cold,"});
    writeRecordFile(folder.path() / "early", day1, 30, randomRecords(random, "PC3", day1, 20));

    // Each command on PostgreSQL and on SQLite: both outputs.
    const std::string sqlite = (folder.path() / "report.sqlite").string();
    const auto onBoth = [&](const std::vector<std::string>& arguments) {
        std::vector<RunOutput> outputs;
        for (const std::vector<std::string>& database :
             {std::vector<std::string>{"--pg", connection_}, {"--db", sqlite}}) {
            std::vector<std::string> words = arguments;
            words.insert(words.begin() + 1, database.begin(), database.end());
            outputs.push_back(runReport(words));
            EXPECT_EQ(outputs.back().exitCode, 0) << outputs.back().err;
        }
        return outputs;
    };
    const auto early = [&](const std::string& name) { return (folder.path() / "early" / name).string(); };
    for (const RunOutput& first : onBoth({"import", early("HoardscanInactive-1700000000-30.csv"), folder.child("in")}))
        EXPECT_NE(first.out.find("Imported 7 runs"), std::string::npos) << first.out;
    for (const RunOutput& later : onBoth({"import", folder.child("early")}))
        EXPECT_NE(later.out.find("; 1 side file given their host"), std::string::npos) << later.out;

    // The same numbers and pages come out of both databases.
    const auto compare = [&](const std::string& stage) {
        for (const std::string format : {"--json", "--csv"}) {
            const std::vector<RunOutput> outputs = onBoth({"summary", format, "--top", "0"});
            EXPECT_EQ(outputs[0].out, outputs[1].out) << stage;
        }
        ASSERT_EQ(runReport({"html", "--pg", connection_, "-o", folder.child("pg.html")}).exitCode, 0);
        ASSERT_EQ(runReport({"html", "--db", sqlite, "-o", folder.child("sqlite.html")}).exitCode, 0);
        // The pages without the minute they were made in.
        const std::string pg = readText(folder.path() / "pg.html"), lite = readText(folder.path() / "sqlite.html");
        EXPECT_EQ(pg.substr(0, pg.find("<footer>")), lite.substr(0, lite.find("<footer>"))) << stage;
    };
    compare("imported");
    EXPECT_NE(readText(folder.path() / "pg.html").find("15.8 EiB"), std::string::npos);

    PostgresDatabase database(connection_);
    const RunOutput again = runReport({"import", "--pg", connection_, folder.child("in")});
    EXPECT_NE(again.out.find("10 already imported"), std::string::npos) << again.out;
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
