#include "ReportTestSupport.h"

#include "tools/report/Formatting.h"
#include "tools/report/Importer.h"
#include "tools/report/ReportError.h"
#include "tools/report/ReportQueries.h"
#include "tools/report/ReportSchema.h"
#include "tools/report/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

namespace Quilna {
namespace {

using namespace ReportTest;

constexpr int64_t day1 = 1700000000;
constexpr int64_t oneDay = 86400;

struct Sums {
    int64_t files = 0;
    int64_t bytes = 0;
    int64_t bytesOnDisk = 0;
    double weightedSize = 0;

    void add(const GeneratedRecord& record) {
        files += record.files;
        bytes += record.bytes;
        bytesOnDisk += record.bytesOnDisk;
        weightedSize += record.weightedSize();
    }
};

struct ScanRun {
    std::string host;
    int64_t day;
    int64_t processId;
    std::vector<GeneratedRecord> records;
};

// Three hosts, two days, keys repeated within and across runs; PC3 ran on the first day only.
std::vector<ScanRun> generatedRuns() {
    std::mt19937 random(20240305);
    std::vector<ScanRun> runs;
    int64_t processId = 1000;
    for (const std::string host : {"PC1", "PC2", "PC3"}) {
        for (int64_t day : {day1, day1 + oneDay}) {
            if (host == "PC3" && day != day1) continue;
            runs.push_back(ScanRun{host, day, processId++, randomRecords(random, host, day, 300)});
        }
    }
    return runs;
}

void writeRuns(const fs::path& folder, const std::vector<ScanRun>& runs) {
    for (const ScanRun& run : runs) writeRecordFile(folder / run.host, run.day, run.processId, run.records);
}

int64_t rowCount(Database& database, const std::string& table) {
    return sqlInt(database.query("SELECT COUNT(*) FROM " + table).at(0).at(0));
}

class ImportTest : public ::testing::Test {
protected:
    std::string db() const { return (folder / "report.sqlite").string(); }
    RunOutput import(const std::vector<std::string>& paths, const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments = {"import", "--db", db()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        return runReport(arguments);
    }

    TempFolder folder;
};

TEST_F(ImportTest, EveryRunStoresOneRowPerKeyWithTheSumsOfItsFlushes) {
    const std::vector<ScanRun> runs = generatedRuns();
    writeRuns(folder / "in", runs);
    const RunOutput result = import({(folder / "in").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Imported 5 runs"), std::string::npos) << result.out;

    std::map<std::tuple<std::string, int64_t, std::string>, Sums> expected;
    for (const ScanRun& run : runs) {
        for (const GeneratedRecord& record : run.records) expected[{run.host, run.day, record.key.text()}].add(record);
    }
    SqliteDatabase database(db(), false);
    const SqlTable rows = database.query(
        "SELECT r.host, r.day, a.site, a.host, a.file_system, a.account, a.user_name, a.group_names, a.file_type,"
        " a.status, a.access_temperature, a.modify_temperature, a.files, a.bytes, a.bytes_on_disk,"
        " a.weighted_size, a.day FROM account_records a JOIN runs r ON r.id = a.run_id");
    ASSERT_EQ(rows.size(), expected.size());
    for (const SqlRow& row : rows) {
        RecordKey key;
        for (size_t i = 0; i < keyFieldCount; ++i) key.fields[i] = sqlText(row[2 + i]);
        const auto found = expected.find({sqlText(row[0]), sqlInt(row[1]), key.text()});
        ASSERT_NE(found, expected.end()) << key.text();
        EXPECT_EQ(sqlInt(row[12]), found->second.files);
        EXPECT_EQ(sqlInt(row[13]), found->second.bytes);
        EXPECT_EQ(sqlInt(row[14]), found->second.bytesOnDisk);
        EXPECT_NEAR(sqlDouble(row[15]), found->second.weightedSize, 1e-6 * found->second.weightedSize);
        EXPECT_EQ(sqlInt(row[16]), sqlInt(row[1]));
    }
}

TEST_F(ImportTest, SummaryGivesTheSumsOfTheLatestRunOfEachHost) {
    const std::vector<ScanRun> runs = generatedRuns();
    writeRuns(folder / "in", runs);
    ASSERT_EQ(import({(folder / "in").string()}).exitCode, 0);

    std::map<std::string, int64_t> latestDay;
    for (const ScanRun& run : runs) latestDay[run.host] = std::max(latestDay[run.host], run.day);
    std::map<std::string, Sums> accounts, users, groups, types, hosts;
    std::map<std::pair<std::string, std::string>, int64_t> matrix;
    Sums total;
    for (const ScanRun& run : runs) {
        if (run.day != latestDay[run.host]) continue;
        for (const GeneratedRecord& record : run.records) {
            accounts[record.key[KeyField::Account]].add(record);
            users[record.key[KeyField::User]].add(record);
            types[record.key[KeyField::FileType]].add(record);
            hosts[run.host].add(record);
            total.add(record);
            std::stringstream names(record.key[KeyField::Group]);
            for (std::string group; std::getline(names, group, ',');) groups[group].add(record);
            matrix[{record.key[KeyField::AccessTemperature], record.key[KeyField::ModifyTemperature]}] +=
                record.bytesOnDisk;
        }
    }

    SqliteDatabase database(db(), false);
    const Summary summary = ReportQueries(database).summary();
    EXPECT_EQ(summary.runs, 3);
    EXPECT_EQ(summary.firstDay, day1);
    EXPECT_EQ(summary.lastDay, day1 + oneDay);
    EXPECT_EQ(summary.total.files, total.files);
    EXPECT_EQ(summary.total.bytesOnDisk, total.bytesOnDisk);
    const auto compare = [](const std::vector<NamedTotals>& got, const std::map<std::string, Sums>& want,
                            const char* what) {
        ASSERT_EQ(got.size(), want.size()) << what;
        for (size_t i = 0; i < got.size(); ++i) {
            const Sums& sums = want.at(got[i].name);
            EXPECT_EQ(got[i].totals.files, sums.files) << what << " " << got[i].name;
            EXPECT_EQ(got[i].totals.bytes, sums.bytes) << what << " " << got[i].name;
            EXPECT_EQ(got[i].totals.bytesOnDisk, sums.bytesOnDisk) << what << " " << got[i].name;
            if (i > 0) {
                EXPECT_GE(got[i - 1].totals.bytesOnDisk, got[i].totals.bytesOnDisk) << what;
            }
        }
    };
    compare(summary.accounts, accounts, "accounts");
    compare(summary.users, users, "users");
    compare(summary.groups, groups, "groups");
    compare(summary.fileTypes, types, "types");
    compare(summary.hosts, hosts, "hosts");
    for (const NamedTotals& host : summary.hosts) EXPECT_EQ(host.day, latestDay[host.name]);

    const TemperatureMatrix& temperatures = summary.temperatures;
    EXPECT_EQ(temperatures.access, (std::vector<std::string>{"hot", "warm", "cold", "frozen"}));
    for (size_t a = 0; a < temperatures.access.size(); ++a) {
        for (size_t m = 0; m < temperatures.modify.size(); ++m) {
            const auto cell = std::make_pair(temperatures.access[a], temperatures.modify[m]);
            EXPECT_EQ(temperatures.cells[a][m].bytesOnDisk, matrix[cell]);
        }
    }

    // The CSV output carries the same numbers, cut to the top entries.
    const RunOutput csv = runReport({"summary", "--db", db(), "--csv", "--top", "2"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::stringstream lines(csv.out);
    std::vector<std::string> accountLines;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("account,", 0) == 0) accountLines.push_back(line);
    }
    ASSERT_EQ(accountLines.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const NamedTotals& top = summary.accounts[i];
        const Sums& sums = accounts.at(top.name);
        EXPECT_EQ(accountLines[i].rfind("account," + top.name + ",," + std::to_string(sums.files) + "," +
                                            std::to_string(sums.bytes) + "," + std::to_string(sums.bytesOnDisk) + ",",
                                        0),
                  0u)
            << accountLines[i];
    }
}

TEST_F(ImportTest, ImportingTheSameFilesAgainChangesNothing) {
    writeRuns(folder / "in", generatedRuns());
    writeText(folder / "in/PC1/HoardscanInactive-1700086400-1001.csv",
              "Filename,File Path,File Size (kb) ,Last Accessed,File Temperature\na.iso,/d/,5,2013-01-01T00:00:00,"
              "frozen,\n");
    writeText(folder / "in/PC1/Hoardscan-cold-1700086400-1001.log", "/d/;5120\n");
    ASSERT_EQ(import({(folder / "in").string()}).exitCode, 0);
    const std::vector<std::string> tables = {"runs",           "records",        "record_keys",
                                             "side_files",     "inactive_files", "inactive_paths",
                                             "inactive_directories", "temperature_rows"};
    std::map<std::string, int64_t> before;
    {
        SqliteDatabase database(db(), false);
        for (const std::string& table : tables) before[table] = rowCount(database, table);
    }
    EXPECT_EQ(before["runs"], 5);
    EXPECT_EQ(before["side_files"], 2);

    const RunOutput again = import({(folder / "in").string(), (folder / "in/PC2").string()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("Imported 0 runs (0 records) and 0 side files"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("9 already imported"), std::string::npos) << again.out;
    SqliteDatabase database(db(), false);
    for (const std::string& table : tables) EXPECT_EQ(rowCount(database, table), before[table]) << table;
}

TEST_F(ImportTest, AMalformedFileIsRejectedWholeAndTheOthersAreImported) {
    std::mt19937 random(7);
    writeRecordFile(folder / "in", day1, 1, randomRecords(random, "GOOD", day1, 20));
    std::string bad;
    for (const GeneratedRecord& record : randomRecords(random, "BAD", day1, 3)) bad += recordLines(record);
    bad += "1:" + std::to_string(day1) + ":29:" + makeKey("BAD", "a", "u", "g", "t", "hot", "hot").text() +
           "\n1:1:2:x:4\n";
    writeText(folder / "in/Hoardscan-1700000000-2.data", bad);
    writeText(folder / "in/HoardscanInactive-1700000000-1.csv",
              "Filename,File Path,File Size (kb) ,Last Accessed,File Temperature\na,/d/,1,2013-01-01T00:00:00,cold,\n"
              "b,/d/,1,2013-01-01T00:00:00,cold,\nc,/d/,one,2013-01-01T00:00:00,cold,\n");

    const RunOutput result = import({(folder / "in").string()});
    EXPECT_EQ(result.exitCode, 2);
    const std::string badData = (folder / "in/Hoardscan-1700000000-2.data").string();
    EXPECT_NE(result.err.find(badData + ":8: the bytes on disk value is not a number; the file was not imported"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find((folder / "in/HoardscanInactive-1700000000-1.csv").string() + ":4: "), std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("Imported 1 run (20 records"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("2 rejected"), std::string::npos) << result.out;

    SqliteDatabase database(db(), false);
    EXPECT_EQ(rowCount(database, "runs"), 1);
    EXPECT_EQ(sqlInt(database.query("SELECT COUNT(*) FROM record_keys WHERE host = 'BAD'").at(0).at(0)), 0);
    EXPECT_EQ(rowCount(database, "side_files"), 0);
    EXPECT_EQ(rowCount(database, "inactive_files"), 0);
}

TEST_F(ImportTest, ARunImportedBeforeWithOtherContentIsNotReplaced) {
    std::mt19937 random(11);
    const auto records = randomRecords(random, "PC1", day1, 10);
    writeRecordFile(folder / "first", day1, 42, records);
    ASSERT_EQ(import({(folder / "first").string()}).exitCode, 0);

    auto changed = records;
    changed.front().bytes += 1;
    const fs::path other = writeRecordFile(folder / "second", day1, 42, changed);
    const RunOutput result = import({other.string()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find(other.string() + ": this run of host \"PC1\" was imported before from " +
                              (folder / "first/Hoardscan-1700000000-42.data").string()),
              std::string::npos)
        << result.err;
    SqliteDatabase database(db(), false);
    EXPECT_EQ(rowCount(database, "runs"), 1);
}

TEST_F(ImportTest, SideFilesTakeTheHostOfTheirRunAlsoWhenItComesLater) {
    std::mt19937 random(3);
    const std::string old = "2013-01-01T00:00:00";
    // Two hosts whose runs had the same process id on the same day, each in its own folder.
    writeRecordFile(folder / "a", day1, 500, randomRecords(random, "PC1", day1, 5));
    writeRecordFile(folder / "b", day1, 500, randomRecords(random, "PC2", day1, 5));
    writeInactiveFile(folder / "a", day1, 500, {"x,/a/,1," + old + ",cold,"});
    // Opened after local noon: the next day stamp.
    writeText(folder / "b/Hoardscan-cold-1700086400-500.log", "/b/;2048\n");
    // No run of this process anywhere.
    writeText(folder / "c/Hoardscan-cold-1700000000-999.log", "/c/;1024\n");
    // A side file whose run comes in a later import.
    writeInactiveFile(folder / "e", day1, 600, {"y,/e/,1," + old + ",frozen,"});
    const RunOutput result = import({(folder / "a").string(), (folder / "b").string(), (folder / "c").string(),
                                     (folder / "e").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Hoardscan-cold-1700000000-999.log: no imported run of process 999 around that day, "
                              "so its host is unknown; give --host to name it"),
              std::string::npos)
        << result.err;

    writeInactiveFile(folder / "d", day1, 777, {"y,/d/,1," + old + ",frozen,"});
    ASSERT_EQ(import({(folder / "d").string()}, {"--host", "PCX"}).exitCode, 0);
    writeRecordFile(folder / "e", day1, 600, randomRecords(random, "PC5", day1, 5));
    const RunOutput later = import({(folder / "e").string()});
    EXPECT_NE(later.out.find("Imported 1 run (5 records) and 0 side files into SQLite database " + db() +
                             "; 1 already imported; 1 side file given their host\n"),
              std::string::npos)
        << later.out;
    // --host names the host of a file imported before without one.
    const RunOutput repaired = import({(folder / "c").string()}, {"--host", "PCZ"});
    EXPECT_NE(repaired.out.find("; 1 side file given their host"), std::string::npos) << repaired.out;

    SqliteDatabase database(db(), false);
    const SqlTable rows = database.query(
        "SELECT s.file_name, s.host, r.host FROM side_files s LEFT JOIN runs r ON r.id = s.run_id ORDER BY s.file_name");
    ASSERT_EQ(rows.size(), 5u);
    const auto expect = [&](size_t i, const std::string& file, const std::string& host, const std::string& runHost) {
        EXPECT_EQ(sqlText(rows[i][0]), file);
        EXPECT_EQ(sqlText(rows[i][1]), host) << file;
        EXPECT_EQ(sqlText(rows[i][2]), runHost) << file;
    };
    expect(0, "Hoardscan-cold-1700000000-999.log", "PCZ", "");
    expect(1, "Hoardscan-cold-1700086400-500.log", "PC2", "PC2");
    expect(2, "HoardscanInactive-1700000000-500.csv", "PC1", "PC1");
    expect(3, "HoardscanInactive-1700000000-600.csv", "PC5", "PC5");
    expect(4, "HoardscanInactive-1700000000-777.csv", "PCX", "");
}

TEST_F(ImportTest, AFileTheDatabaseRefusesHalfWayLeavesNothing) {
    std::mt19937 random(17);
    const auto records = randomRecords(random, "PC1", day1, 50);
    writeRecordFile(folder / "one", day1, 1, records);
    writeRecordFile(folder / "two", day1 + oneDay, 2, records);
    SqliteDatabase database(db(), true);
    ReportSchema::ensure(database);
    Importer importer(database, {}, [](const std::string&) {});
    const auto input = [&](const std::string& sub) {
        return InputFiles::collect({(folder / sub).string()}, [](const std::string&) {}).at(0);
    };

    // Refused after the run and its keys were written.
    database.query("CREATE TRIGGER refuse BEFORE INSERT ON records BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_THROW(importer.importFile(input("one")), ReportError);
    EXPECT_EQ(rowCount(database, "runs"), 0);
    EXPECT_EQ(rowCount(database, "record_keys"), 0);

    // The same keys again get ids that exist.
    database.query("DROP TRIGGER refuse");
    EXPECT_FALSE(importer.importFile(input("two")).alreadyImported);
    EXPECT_EQ(rowCount(database, "runs"), 1);
    EXPECT_GT(rowCount(database, "records"), 0);
    EXPECT_EQ(sqlInt(database.query("SELECT COUNT(*) FROM records c JOIN record_keys k ON k.id = c.key_id").at(0).at(0)),
              rowCount(database, "records"));
}

TEST_F(ImportTest, UnfinishedFilesAndExtensionLogsAreLeftOut) {
    std::mt19937 random(5);
    writeRecordFile(folder / "in", day1, 1, randomRecords(random, "PC1", day1, 3));
    fs::rename(folder / "in/Hoardscan-1700000000-1.data", folder / "in/Hoardscan-1700000000-1.make");
    writeText(folder / "in/HoardscanInactive-1700000000-1.csv.make", "");
    writeText(folder / "in/HoardscanExtension-1700000000-1.log", "xyz\n");
    writeText(folder / "in/readme.txt", "not a result file\n");
    const RunOutput result = import({(folder / "in").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Hoardscan-1700000000-1.make: skipped: the scanner has not finished it"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("HoardscanInactive-1700000000-1.csv.make: skipped"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("Imported 0 runs (0 records) and 0 side files"), std::string::npos) << result.out;
    SqliteDatabase database(db(), false);
    EXPECT_EQ(rowCount(database, "runs"), 0);
}

TEST_F(ImportTest, TextIsStoredAsUtf8AndKeysThatCleanAlikeAreOne) {
    GeneratedRecord latin;
    latin.day = day1;
    latin.key = makeKey("PC1", "M\xfcller", "\xc3\xa9mile", "g", "doc", "hot", "hot");
    latin.files = 1, latin.bytes = 10, latin.bytesOnDisk = 4096;
    GeneratedRecord control1 = latin, control2 = latin;
    control1.key[KeyField::Account] = "a\x01";
    control2.key[KeyField::Account] = "a\x02";
    control2.files = 2;
    writeRecordFile(folder / "in", day1, 1, {latin, control1, control2});
    ASSERT_EQ(import({(folder / "in").string()}).exitCode, 0);

    SqliteDatabase database(db(), false);
    const SqlTable rows =
        database.query("SELECT account, user_name, SUM(files) FROM account_records GROUP BY account, user_name"
                       " ORDER BY account");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(sqlText(rows[0][0]), "M\xc3\xbcller");
    EXPECT_EQ(sqlText(rows[0][1]), "\xc3\xa9mile");
    EXPECT_EQ(sqlText(rows[1][0]), "a_");
    EXPECT_EQ(sqlInt(rows[1][2]), 3);
}

TEST_F(ImportTest, TheLatestRunIsTheOneScannedLastAndGrowthCountsItForItsDay) {
    const auto record = [](const std::string& host, const std::string& account, int64_t day, int64_t disk) {
        GeneratedRecord r;
        r.day = day;
        r.key = makeKey(host, account, "u", "g", "doc", "hot", "hot");
        r.files = 1, r.bytes = disk, r.bytesOnDisk = disk;
        return r;
    };
    const int64_t day2 = day1 + oneDay, day3 = day1 + 2 * oneDay;
    writeRecordFile(folder / "a", day1, 1, {record("A", "sales", day1, 100)});
    // Two runs of A on the third day: the one imported first was scanned last.
    setModified(writeRecordFile(folder / "a", day3, 3, {record("A", "sales", day3, 170)}), day3 + 3600);
    setModified(writeRecordFile(folder / "a", day3, 4, {record("A", "sales", day3, 999)}), day3 + 60);
    writeRecordFile(folder / "b", day1, 1, {record("B", "sales", day1, 10), record("B", "it", day1, 5)});
    writeRecordFile(folder / "b", day2, 2, {record("B", "sales", day2, 30)});
    ASSERT_EQ(import({folder.path().string()}).exitCode, 0);

    SqliteDatabase database(db(), false);
    ReportQueries queries(database);
    const AccountGrowth growth = queries.accountGrowth();
    EXPECT_EQ(growth.days, (std::vector<int64_t>{day1, day2, day3}));
    ASSERT_EQ(growth.accounts.size(), 2u);
    EXPECT_EQ(growth.accounts[0].account, "sales");
    EXPECT_EQ(growth.accounts[0].bytesOnDisk, (std::vector<WideInt>{110, 130, 200}));
    EXPECT_EQ(growth.accounts[1].account, "it");
    EXPECT_EQ(growth.accounts[1].bytesOnDisk, (std::vector<WideInt>{5, 0, 0}));

    const Summary summary = queries.summary();
    ASSERT_EQ(summary.accounts.size(), 1u);
    EXPECT_EQ(summary.accounts[0].totals.bytesOnDisk, 200);
    const auto runs = queries.runsOfHost("A");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].scannedAt, day3 + 60);
    EXPECT_EQ(runs[2].scannedAt, day3 + 3600);
}

TEST_F(ImportTest, InactiveRowsAreStoredOncePerFileAndEarlierDatabasesMigrate) {
    // Three runs of one machine whose cold files hardly change.
    const std::vector<std::string> common = {"a.iso,/srv/old/,4,2013-04-05T12:00:00,frozen,",
                                             "b.doc,/srv/old/,8,2014-01-01T00:00:00,cold,",
                                             "c.doc,/home/ann/,16,2015-06-30T23:59:59,cold,"};
    auto second = common;
    second.push_back("d.doc,/home/ann/,32,2016-02-29T00:00:00,cold,");
    writeInactiveFile(folder / "in", day1, 1, common);
    writeInactiveFile(folder / "in", day1, 2, second);
    writeInactiveFile(folder / "in", day1, 3, {common[0], common[1]});
    ASSERT_EQ(import({(folder / "in").string()}, {"--host", "PC1"}).exitCode, 0);
    {
        SqliteDatabase database(db(), false);
        EXPECT_EQ(rowCount(database, "inactive_directories"), 2);
        EXPECT_EQ(rowCount(database, "inactive_paths"), 4);
        EXPECT_EQ(rowCount(database, "inactive_files"), 9);
        const SqlTable rows = database.query("SELECT directory, name, kib, last_access, temperature FROM inactive_rows"
                                             " WHERE name = 'd.doc'");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(sqlText(rows[0][0]), "/home/ann/");
        EXPECT_EQ(sqlInt(rows[0][2]), 32);
        EXPECT_EQ(sqlInt(rows[0][3]), 1456704000);
        EXPECT_EQ(sqlText(rows[0][4]), "cold");
    }

    // A database of the first version takes the new form the first time it is opened.
    const fs::path earlier = folder / "v1.sqlite";
    {
        SqliteDatabase database(earlier, true);
        createVersion1(database);
    }
    const RunOutput summary = runReport({"summary", "--db", earlier.string(), "--csv"});
    ASSERT_EQ(summary.exitCode, 0) << summary.err;
    EXPECT_NE(summary.out.find("host,OLD,2023-11-16,3,5000,8192,"), std::string::npos) << summary.out;
    SqliteDatabase database(earlier, false);
    EXPECT_EQ(sqlInt(database.query("SELECT version FROM report_schema").at(0).at(0)), 2);
    EXPECT_EQ(sqlInt(database.query("SELECT scanned_day FROM runs").at(0).at(0)), day1 + oneDay);
    const SqlTable rows = database.query("SELECT directory, name, kib, last_access FROM inactive_rows ORDER BY name");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(sqlText(rows[0][0]) + sqlText(rows[0][1]), "/srv/old/a.iso");
    EXPECT_EQ(sqlInt(rows[0][3]), 1365163200);
    EXPECT_EQ(sqlInt(rows[1][3]), 0);  // a last access that was no time
    EXPECT_EQ(sqlInt(rows[2][2]), 1);
}

TEST_F(ImportTest, PruneRemovesOldRunsWithAllTheirRowsInOneTransaction) {
    const std::vector<ScanRun> runs = generatedRuns();
    writeRuns(folder / "in", runs);
    for (const ScanRun& run : runs) {
        writeInactiveFile(folder / "in" / run.host, run.day, run.processId,
                          {"only-" + std::to_string(run.processId) + ",/d/,1,2013-01-01T00:00:00,cold,",
                           "shared,/d/,1,2013-01-01T00:00:00,cold,"});
    }
    ASSERT_EQ(import({(folder / "in").string()}).exitCode, 0);
    const RunOutput before = runReport({"summary", "--db", db(), "--json", "--top", "0"});
    const auto recordsOf = [&](const std::string& runs) {
        SqliteDatabase database(db(), false);
        return Formatting::countText(
            sqlInt(database.query("SELECT COUNT(*) FROM records WHERE run_id IN (SELECT id FROM runs WHERE " + runs + ")")
                       .at(0)
                       .at(0)));
    };
    const std::string firstDayOfTwo = recordsOf("day = 1700000000 AND host <> 'PC3'");
    const std::string ofPc3 = recordsOf("host = 'PC3'");

    // A failure half-way leaves everything.
    {
        SqliteDatabase database(db(), false);
        database.query("CREATE TRIGGER refuse BEFORE DELETE ON runs BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
    EXPECT_EQ(runReport({"prune", "--db", db(), "--keep", "1"}).exitCode, 2);
    {
        SqliteDatabase database(db(), false);
        EXPECT_EQ(rowCount(database, "runs"), 5);
        EXPECT_EQ(rowCount(database, "inactive_files"), 10);
        database.query("DROP TRIGGER refuse");
    }

    const RunOutput kept = runReport({"prune", "--db", db(), "--keep", "1"});
    ASSERT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_NE(kept.out.find("Removed 2 runs (" + firstDayOfTwo + " records) and 2 side files (4 inactive rows)"),
              std::string::npos)
        << kept.out;
    // The latest runs are all there is to the summary.
    EXPECT_EQ(runReport({"summary", "--db", db(), "--json", "--top", "0"}).out, before.out);
    {
        SqliteDatabase database(db(), false);
        EXPECT_EQ(rowCount(database, "runs"), 3);
        const auto unused = [&](const std::string& sql) { return sqlInt(database.query(sql).at(0).at(0)); };
        EXPECT_EQ(unused("SELECT COUNT(*) FROM record_keys WHERE id NOT IN (SELECT key_id FROM records)"), 0);
        EXPECT_EQ(unused("SELECT COUNT(*) FROM inactive_paths WHERE id NOT IN (SELECT path_id FROM inactive_files)"), 0);
        EXPECT_EQ(rowCount(database, "inactive_paths"), 4);  // three "only" files and the shared one
    }

    // PC3 ran on the first day only, 2023-11-15.
    const RunOutput old = runReport({"prune", "--db", db(), "--before", "2023-11-16"});
    ASSERT_EQ(old.exitCode, 0) << old.err;
    EXPECT_NE(old.out.find("Removed 1 run (" + ofPc3 + " records) and 1 side file (2 inactive rows)"), std::string::npos)
        << old.out;
    SqliteDatabase database(db(), false);
    EXPECT_EQ(sqlInt(database.query("SELECT COUNT(*) FROM runs WHERE host = 'PC3'").at(0).at(0)), 0);
    EXPECT_EQ(rowCount(database, "inactive_paths"), 3);
    EXPECT_EQ(rowCount(database, "inactive_directories"), 1);
}

}  // namespace
}  // namespace Quilna
