#include "report/Commands.h"
#include "report/Formatting.h"
#include "report/HtmlReport.h"
#include "report/PostgresDatabase.h"
#include "report/ReportQueries.h"
#include "report/ReportSchema.h"
#include "report/SqliteDatabase.h"
#include "report/SvgCharts.h"
#include "report/TextCleaning.h"
#include "results/AccountRecordFormat.h"
#include "results/InactiveTableFormat.h"
#include "results/ResultFileReader.h"
#include "platform/NativePlatform.h"
#include "support/EnvironmentScope.h"
#include "support/TestDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

namespace Quilna {
namespace {

namespace fs = std::filesystem;
constexpr int64_t day1 = 1700000000, day2 = day1 + 86400, day3 = day2 + 86400;  // from 2023-11-15

fs::path writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
}
std::string readText(const fs::path& file) { return TestSupport::TestDirectory::readFile(file.string()); }

::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    return (text.find(part) != std::string::npos ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "\"" << part << "\" in:\n"
           << text;
}

struct GeneratedRecord {
    int64_t day = 0;
    RecordKey key;
    int64_t files = 0, bytes = 0, bytesOnDisk = 0;
};

std::string recordLines(const GeneratedRecord& r) {
    return "1:" + std::to_string(r.day) + ":29:" + AccountRecordFormat::keyText(r.key) +
           "\n1:" + std::to_string(r.files) + ":" + std::to_string(r.bytes) + ":" + std::to_string(r.bytesOnDisk) +
           ":" + std::to_string(r.bytes * 0.00001 + r.bytesOnDisk * 0.0001) + "\n";
}

fs::path writeRecordFile(const fs::path& folder, int64_t day, int64_t pid,
                         const std::vector<GeneratedRecord>& records) {
    std::string text;
    for (const GeneratedRecord& record : records) text += recordLines(record);
    return writeText(folder / ("Hoardscan-" + std::to_string(day) + "-" + std::to_string(pid) + ".data"), text);
}

RecordKey makeKey(std::string host, std::string account, std::string user, std::string group, std::string type,
                  std::string access, std::string modify) {
    return RecordKey{{"OSLO", host, "C", account, user, group, type, "Normal", access, modify}};
}

// Small pools, so that keys repeat within a file (a buffer flushed twice) and between runs.
std::vector<GeneratedRecord> randomRecords(std::mt19937& random, const std::string& host, int64_t day, size_t count) {
    const auto pick = [&](std::vector<std::string> pool) { return pool[random() % pool.size()]; };
    std::vector<GeneratedRecord> records(count);
    for (GeneratedRecord& record : records) {
        const auto bytes = static_cast<int64_t>(random() % 5000000000ull);
        record = {day,
                  makeKey(host, pick({"sales", "it", "hr", "finance", "legal"}), pick({"ann", "bob", "cid", "dag"}),
                          pick({"Users", "Users,Staff", "UNDEF", "Admins,Users"}),
                          pick({"doc", "xls", "iso", "jpg", "undef"}), pick({"hot", "warm", "cold", "frozen"}),
                          pick({"hot", "warm", "cold", "frozen"})),
                  1 + static_cast<int64_t>(random() % 50), bytes, bytes + static_cast<int64_t>(random() % 4096)};
    }
    return records;
}

fs::path writeInactiveFile(const fs::path& folder, int64_t day, int64_t pid, const std::vector<std::string>& rows) {
    std::string text = std::string(InactiveTableFormat::header) + "\n";
    for (const std::string& row : rows) text += row + "\n";
    return writeText(folder / ("HoardscanInactive-" + std::to_string(day) + "-" + std::to_string(pid) + ".csv"), text);
}

fs::path setModified(const fs::path& file, int64_t seconds) {
    fs::last_write_time(file,
                        std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(seconds))));
    return file;
}

// The local time zone of the report for a scope; the C library reads it again on either side.
struct LocalZone {
    explicit LocalZone(const std::string& tz) { scope.emplace("TZ", tz), native.initTimeZone(); }
    ~LocalZone() { scope.reset(), native.initTimeZone(); }
    NativePlatform native;
    std::optional<TestSupport::EnvironmentScope> scope;
};

struct RunOutput {
    int exitCode = 0;
    std::string out, err;
};

RunOutput runReport(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    NativePlatform native;
    return RunOutput{Commands::run(native, arguments, out, err), out.str(), err.str()};
}

TEST(TextCleaningTest, OnlyValidUtf8WithoutControlsIsKept) {
    using namespace TextCleaning;
    for (const std::string clean : {"plain ascii", "M\xc3\xbcller", "\xe2\x82\xac", "\xf0\x9f\x93\x81 dir"})
        EXPECT_TRUE(isClean(clean) && cleanText(clean) == clean) << clean;
    // Windows-1252 bytes, as a scanner in a Western code page writes them.
    EXPECT_EQ(cleanText("M\xfcller \x80"), "M\xc3\xbcller \xe2\x82\xac");
    EXPECT_EQ(cleanText("a\201b\001c\177d\td"), "a_b_c_d_d");
    // Overlong forms, surrogates and cut sequences are not UTF-8: each byte is read alone.
    EXPECT_EQ(cleanText("\xc0\xaf"), "\xc3\x80\xc2\xaf");
    EXPECT_FALSE(isClean("\xc2\x85"));  // a C1 control written in UTF-8
    EXPECT_EQ(displayWidth("M\xc3\xbcller \xe2\x82\xac"), 8u);
}

TEST(TextCleaningTest, NamesReachTheTerminalEscaped) {
    using TextCleaning::escapeForTerminal;
    EXPECT_EQ(escapeForTerminal("M\xc3\xbcller/\xf0\x9f\x93\x81 a\\b"), "M\xc3\xbcller/\xf0\x9f\x93\x81 a\\\\b");
    EXPECT_EQ(escapeForTerminal("a\x1b[2Jb\nc\rd\x7f\x85\x9b"), "a\\x1B[2Jb\\x0Ac\\x0Dd\\x7F\\x85\\x9B");
    EXPECT_EQ(escapeForTerminal(
                  "\xc2\x85\xc2\x9b|\xe2\x80\xa8\xe2\x80\xa9|\xe2\x80\xaa\xe2\x80\xae|\xe2\x81\xa6\xe2\x81\xa9"),
              "\\u{0085}\\u{009B}|\\u{2028}\\u{2029}|\\u{202A}\\u{202E}|\\u{2066}\\u{2069}");
}

TEST(FormattingTest, NumbersDatesAndEscapes) {
    using namespace Formatting;
    EXPECT_EQ(sizeText(1536) + sizeText(9.995 * 1024) + sizeText(10.5 * 1024 * 1024) + sizeText(205.0 * (1ll << 30)),
              "1.50 KiB10.0 KiB10.5 MiB205 GiB");
    EXPECT_EQ(countText(-1000), "-1,000");
    EXPECT_EQ(countText(WideInt{9100000000000000000} * 2), "18,200,000,000,000,000,000");
    EXPECT_EQ(integerText(-(WideInt{1} << 100)), "-1267650600228229401496703205376");
    EXPECT_EQ(shareText(1, 0) + shareText(452, 1000) + shareText(1, 2000) + shareText(1, 2001) + shareText(0, 1),
              "-45.2%0.1%<0.1%0.0%");
    EXPECT_EQ(weightText(11384671.615009999) + " " + weightText(12.0) + " " + weightText(HUGE_VAL),
              "11384671.61501 12 null");
    EXPECT_EQ(csvField("Users,Staff") + " " + csvField("say \"hi\""), "\"Users,Staff\" \"say \"\"hi\"\"\"");
    for (const char* formula : {"=1+1", "+1", "-1", "@SUM(1+1)", "\tx", "\rx"})
        EXPECT_EQ(csvField(formula), "\"'" + std::string(formula) + "\"") << formula;
    EXPECT_EQ(csvField("=a,\"b\""), "\"'=a,\"\"b\"\"\"");
    EXPECT_EQ(csvField("a=1"), "a=1");
    EXPECT_EQ(jsonString("C:\\Data\\\"x\"\n\x01"), "\"C:\\\\Data\\\\\\\"x\\\"\\n\\u0001\"");
    EXPECT_EQ(PostgresDatabase::numberedParameters("SELECT ? WHERE a = '?' AND b = ?"),
              "SELECT $1 WHERE a = '?' AND b = $2");
    // Local midnight of 2013-04-05 in UTC+2, the evening before in UTC; a stamp names the day it is nearest.
    EXPECT_EQ(dayText(1365112800) + dayText(1365163199) + dayText(1365076800) + dayText(951782400),
              "2013-04-052013-04-052013-04-052000-02-29");
    EXPECT_EQ(dayText(999999999999999999) + dayText(253402300799), "(no date)(no date)");
    EXPECT_EQ(localTimeText(1365163200), "2013-04-05 12:00");
    const LocalZone newfoundland("<-0330>3:30");  // a scan known to the day only shows the day of its stamp
    NativePlatform native;
    EXPECT_EQ(scanText(native, {1700000000, 0}) + " " + scanText(native, {1365112800, 1365112800}),
              "2023-11-14 18:43 -03:30 2013-04-05");
    EXPECT_EQ(InactiveTableFormat::parseLastAccess("2013-04-05T23:59:59"), 1365206399);
    EXPECT_EQ(parseDay("2016-02-29"), 1456704000);
    for (const char* bad : {"", "2013-04-05", "2013-04-05T12:00", "2015-02-29T00:00:00", "2013-04-05T24:00:00",
                            "2013-04-05T00:60:00", "2013-04-05T00:00:60", "2013-4-05T00:00:00", "+013-04-05T00:00:00"})
        EXPECT_FALSE(InactiveTableFormat::parseLastAccess(bad)) << bad;
    for (const char* bad : {"2015-02-29", "2013-04-05T00:00:00", "2013-4-05", "+013-04-05"})
        EXPECT_FALSE(parseDay(bad)) << bad;
}

TEST(ResultFileReaderTest, MalformedFilesNameTheFileAndLineAndGoodOnesReadWhole) {
    for (const char* other :
         {"Hoardscan-1365112800-4242.log", "Hoardscan-12a-3.data", "Hoardscan--3.data", "HoardscanInactive-1-2.log",
          "Hoardscan-18446744073709551616-2.data", "Hoardscan-1-99999999999999999999.data",
          "HoardscanInactive-x-1-2.csv", "HoardscanExtension-x-1-2.log", "HoardscanTotals-1-2.csv"})
        EXPECT_FALSE(ResultFileName::parse(other)) << other;

    const std::string key = AccountRecordFormat::keyText(makeKey("PC1", "a", "u", "g", "t", "hot", "hot"));
    // Zeros, and the old six-digit form of a value, are good values.
    const std::string good = "1:86400:29:" + key + "\n1:0:0:0:0\n1:86400:29:" + key + "\n1:1:1.23457e+008:4096:0.4\n";
    const std::string records = "Hoardscan-86400-1.data", inactive = "HoardscanInactive-86400-1.csv";
    const std::string header = std::string(InactiveTableFormat::header) + "\n";
    const std::vector<std::tuple<std::string, std::string, int64_t, std::string>> cases = {
        {records, good + "2:86400:29:" + key + "\n1:1:2:3:4\n", 5, "expected a record key line"},
        {records, good + "1:86400:29:0:a:0:b\n1:1:2:3:4\n", 5, "the record key has 2 fields, expected 10"},
        {records, "1:86400:29:" + key.substr(0, key.size() - 5) + "1:hot\n1:1:2:3:4\n", 1, "is not preceded by \"0:\""},
        {records, good + "1:86400:29:" + key + "\n1:1:2:3\n", 6, "the value line has 3 values, expected 4"},
        {records, good + "1:86400:29:" + key + "\n1:1:2:-3:4\n", 6, "the bytes on disk value is negative"},
        {records, good + "1:86400:29:" + key + "\n", 5, "the record has no value line"},
        {records, good + "1:86400:29:" + key + "\n1:1:2:3:0.4", 6, "the last line has no line end"},
        {records, good + std::string(17 << 20, 'x'), 5, "the line is longer than 16 MiB"},
        // Whatever a file holds, no message repeats it: it may be a secret another user linked.
        {records, "root:$6$secret:19000:0:99999:7:::\n", 1, "expected a record key line"},
        {inactive, "a,b,1,t,cold,\n", 1, ""},
        {inactive, header + "a,C:\\Data\\,0,2012-01-01T00:00:00,frozen,\nb,/d/,x,t,cold,\n", 3, ""},
        {"Hoardscan-cold-86400-1.log", "/ok;/;1\n/data/\n", 2, ""},
        {"HoardscanExtension-86400-1.log", "xyz\n\n", 2, ""},
        {"HoardscanTotals-86400-1.txt.make", "/a;b/;ann;u;hot;1;0;3\n/x/;ann;u;hot;0;2;3\n", 2, "a count"},
        {"HoardscanExtension-86400-1.log", "", -1, ""},
    };
    TestSupport::TestDirectory folder;
    NativePlatform native;
    for (const auto& [name, text, faultLine, reason] : cases) {
        SCOPED_TRACE(name + ": " + text.substr(0, 200));
        const fs::path file = folder.path() / name;
        fs::remove(file);
        if (faultLine >= 0) writeText(file, text);
        ResultFileReader reader(native, native, file);
        try {
            const auto kind = ResultFileName::parse(name)->kind;
            if (kind == ResultFileKind::AccountRecords) reader.forEachAccountRecord([](const AccountRecordView&) {});
            if (kind == ResultFileKind::InactiveFiles) reader.inactiveRows();
            if (kind == ResultFileKind::TemperatureLog) reader.temperatureRows();
            if (kind == ResultFileKind::ExtensionLog) reader.extensions();
            if (kind == ResultFileKind::DirectoryTotals) reader.directoryTotals();
            ADD_FAILURE() << "accepted";
        } catch (const ResultFileError& error) {
            EXPECT_TRUE(contains(error.reason(), reason));
            for (const char* content : {"secret", "-3", "0:a:0:b", "xxx"})
                EXPECT_FALSE(contains(error.reason(), content));
            const std::string where = file.string() + (faultLine > 0 ? ":" + std::to_string(faultLine) : "") + ": ";
            EXPECT_EQ(std::string(error.what()).rfind(where, 0), 0u) << error.what();
        }
    }
    EXPECT_TRUE(ResultFileReader(native, native, writeText(folder.path() / inactive, "")).inactiveRows().empty());
    // Report databases keep the fingerprint that tells a file imported before from another: FNV-1a of its bytes.
    ResultFileReader log(native, native, writeText(folder.path() / "Hoardscan-cold-86400-1.log", "/a/;0\n"));
    EXPECT_EQ(log.temperatureRows().at(0).bytes, 0);
    EXPECT_EQ(log.contentHash(), 0xb2b5106fea0116cdu);
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text +=
            "1:86400:29:" + AccountRecordFormat::keyText(makeKey("PC1", std::to_string(i), "u", "g", "t", "hot", "c")) +
            "\r\n1:1:" + std::to_string(i) + ":4096:0.5\r\n";
    ResultFileReader reader(native, native, writeText(folder.path() / "Hoardscan-86400-1.data", text));
    int read = 0;  // across several read chunks, each line without its carriage return
    reader.forEachAccountRecord([&](const AccountRecordView& record) {
        EXPECT_EQ(record[KeyField::Account], std::to_string(read));
        EXPECT_EQ(record.values.bytes, read++);
        EXPECT_EQ(record.values.weightedSize, 0.5);
    });
    EXPECT_EQ(read, 30000);
    EXPECT_EQ(reader.contentSize(), text.size());
}

struct CommandsTest : ::testing::Test {
    NativePlatform native;
    std::string db() const { return (folder.path() / "report.sqlite").string(); }
    RunOutput import(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"import", "--db", db()});
        return runReport(arguments);
    }
    int64_t count(const std::string& sql) {
        return sqlInt(SqliteDatabase(native, native, db(), false).query(sql).at(0).at(0));
    }

    TestSupport::TestDirectory folder;
    const fs::path in = folder.path() / "in";
    LocalZone zone{"UTC0"};
};

TEST_F(CommandsTest, AFileIsReadThroughItsOpenHandleAndAnOverlongRowCostsOnlyItself) {
    // The name swapped for another file between two reads changes nothing that is read.
    const fs::path table = writeInactiveFile(in, day1, 7, {"a.iso,/d/,4,2013-04-05T12:00:00,cold,"});
    ResultFileReader reader(native, native, table);
    ASSERT_EQ(reader.inactiveRows().size(), 1u);
    const fs::path other = writeInactiveFile(
        folder.path(), day1, 7, {"x,/x/,1,2013-04-05T12:00:00,cold,", "y,/y/,1,2013-04-05T12:00:00,cold,"});
    fs::rename(other, table);
    EXPECT_EQ(reader.inactiveRows().at(0).name, "a.iso");

    // A file frozen 70,000 levels deep gives a row beyond the line limit: it is left out, said
    // so with an escaped folder name, and the rest of the table is kept.
    const fs::path hostile = in / "x\x1b]0;owned\x07" / "";
    writeInactiveFile(hostile, day1, 8,
                      {"a.iso,/d/,4,2013-04-05T12:00:00,cold,",
                       "deep," + std::string(17 << 20, 'd') + ",4,2013-04-05T12:00:00,frozen,",
                       "b.iso,/d/,4,2013-04-05T12:00:00,cold,"});
    const RunOutput result = import({"--host", "PC1", hostile.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "x\\x1B]0;owned\\x07/HoardscanInactive-1700000000-8.csv: 1 rows longer than 16 MiB skipped"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_rows"), 2);
}

// The page and the database are written as root where another user may plant links: in a
// directory everyone may write (sticky, as /tmp) and in one that user owns.
TEST_F(CommandsTest, LinksThatAnotherUserPlantsAreNeverWrittenThroughAndWhatIsMadeIsNotForOthers) {
    if (std::system("test \"$(id -u)\" = 0") != 0) GTEST_SKIP() << "needs root to act as user nobody";
    const auto asNobody = [](const std::string& command) {
        return std::system(("runuser -u nobody -- sh -c '" + command + "'").c_str());
    };
    const fs::path shared = folder.path() / "shared", theirs = folder.path() / "theirs";
    fs::create_directories(shared);
    fs::create_directories(theirs);
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    ASSERT_EQ(std::system(("chown nobody '" + theirs.string() + "'").c_str()), 0);
    const fs::path victim = writeText(folder.path() / "victim", "root's own\n");
    writeRecordFile(in, day1, 1, {{day1, makeKey("PC1", "a", "u", "g", "t", "hot", "hot"), 1, 10, 4096}});
    const std::string sharedDb = (shared / "r.sqlite").string();
    ASSERT_EQ(import({in.string()}).exitCode, 0);
    ASSERT_EQ(runReport({"import", "--db", sharedDb, in.string()}).exitCode, 0);

    for (const fs::path& place : {shared, theirs}) {
        const fs::path page = place / "report.html";
        ASSERT_EQ(asNobody("ln -s " + victim.string() + " " + page.string() + ".tmp"), 0);
        runReport({"html", "--db", db(), "-o", page.string()});
        EXPECT_EQ(readText(victim), "root's own\n");
    }
    EXPECT_TRUE(contains(runReport({"html", "--db", db(), "-o", (theirs / "report.html").string()}).err,
                         "will not write " + (theirs / "report.html").string() + ": the directory"));
    EXPECT_EQ(fs::status(shared / "report.html").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::status(sharedDb).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A link at the database's name or its journal's is refused, not opened.
    ASSERT_EQ(asNobody("ln -s " + victim.string() + " " + (shared / "n.sqlite").string() + " && ln -s " +
                       victim.string() + " " + sharedDb + "-journal"),
              0);
    for (const std::string& target : {(shared / "n.sqlite").string(), sharedDb})
        EXPECT_EQ(runReport({"import", "--db", target, in.string()}).exitCode, 2) << target;
    EXPECT_EQ(readText(victim), "root's own\n");
}

TEST_F(CommandsTest, HelpExitsWithZeroUsageErrorsWithOneAndDataErrorsWithTwoSayingWhatIsWrong) {
    writeText(folder.path() / "notes.txt", "x\n");
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"help", "import"}, 0, "Usage: hoardscan-report import"},
        {{}, 1, "Exit codes: 0 success, 1 usage error, 2 data error."},
        {{"export"}, 1, "unknown command \"export\""},
        {{"summary", "--color"}, 1, "the summary command has no option --color"},
        {{"summary", "--csv", "--json"}, 1, "give either --csv or --json, not both"},
        {{"summary", "--top", "ten"}, 1, "--top needs a whole number, not \"ten\""},
        {{"import", "--db", db()}, 1, "import needs result files or folders"},
        {{"import", "--db", db(), folder.child("missing")}, 1, folder.child("missing") + ": no such file"},
        {{"import", "--db", db(), folder.child("notes.txt")}, 1, "notes.txt: not a result file name"},
        {{"html", "x"}, 1, "html takes no operand \"x\""},
        {{"prune", "y"}, 1, "prune takes no operand \"y\""},
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
        EXPECT_EQ(result.err.find("Try \"hoardscan-report --help\".") != std::string::npos,
                  exitCode == 1 && !arguments.empty())
            << message;
    }
    EXPECT_FALSE(fs::exists(db()) || fs::exists(folder.child("none.sqlite")));

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
        // One user's sparse files pass 2^63 bytes: the run stays, the others' records exact.
        {"Hoardscan-1700000000-5.data",
         recordLines(big("BAD", "a", "t")) + recordLines(big("BAD", "a", "t")) +
             recordLines({day1, makeKey("BAD", "b", "u", "g", "t", "hot", "hot"), 1, 10, 4096}),
         ": 1 records pass 2^63 and are stored at 2^63-1, marked as capped; the rest is exact"},
        {"Hoardscan-1700000000-6.data", "1:" + std::to_string(day1) + ":29:" + key + "\n1:1:1:4096:1.7e308\n",
         ": 1 records pass 2^63 and are stored at 2^63-1, marked as capped"},
        {"Hoardscan-1700000000-9.data", "", ": a symbolic link: result files are read through none"},
        {"Hoardscan-1700000000-1.data", recordLines(big("BIG1", "other", "t")),
         ": this run of host \"BIG1\" was imported before from " + (in / "Hoardscan-1700000000-1.data").string()},
    };
    for (const auto& [name, content, message] : attacks)
        if (!content.empty()) writeText(named / name, content);
    fs::create_symlink(folder.path() / "shadow", named / "Hoardscan-1700000000-9.data");
    // In a searched folder links and pipes are not even opened.
    fs::create_symlink(folder.path() / "shadow", in / "Hoardscan-1700000000-10.data");
    ASSERT_EQ(std::system(("mkfifo '" + (in / "Hoardscan-1700000000-11.data").string() + "'").c_str()), 0);
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
    EXPECT_EQ(result.out,
              "Imported 4 runs (5 records) and 0 side files into SQLite database " + db() + "; 3 rejected\n");
    EXPECT_EQ(count("SELECT COUNT(*) FROM records WHERE capped = 1"), 2);
    EXPECT_EQ(count("SELECT MAX(bytes) FROM records WHERE capped = 1"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(count("SELECT bytes FROM account_records WHERE account = 'b'"), 10);

    const std::string json = runReport({"summary", "--db", db(), "--json"}).out;
    for (const char* invalid : {"inf", "nan", "-2"}) EXPECT_FALSE(contains(json, invalid));
    EXPECT_TRUE(contains(runReport({"summary", "--db", db(), "--csv"}).out, "\naccount,\"'=HYPERLINK(\"\"x\"\")\",,"));
    EXPECT_EQ(runReport({"html", "--db", db(), "-o", (folder.path() / "r.html").string()}).exitCode, 0);
}

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
    EXPECT_EQ(import({in.string()}).out,
              "Imported 3 runs (6 records) and 3 side files into SQLite database " + db() + "\n");
    EXPECT_EQ(readText(db()).substr(18, 2), "\x02\x02");  // write-ahead log: reports read while an import writes
    EXPECT_EQ(runReport({"summary", "--db", db(), "--csv"}).out,
              "view,name,detail,files,bytes,bytes_on_disk,weighted_size\n"
              "total,,2 runs,12,43040,69632,7.3936\n"
              "host,PC2,2023-11-15 10:13 +00:00,8,40030,53248,5.7251\n"
              "host,PC1,2023-11-16 10:13 +00:00,4,3010,16384,1.6685\n"
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
    for (const char* part :
         {"Latest run of each of 2 hosts, scanned 2023-11-15 10:13 +00:00 to 2023-11-16 10:13 +00:00\n"
          "Total: 12 files, 42.0 KiB, 68.0 KiB on disk\n",
          "  Account   Files      Size   On disk  Share\n",
          "  a_            3      20 B  8.00 KiB  11.8%\n"
          "  (1 more)      1      10 B  4.00 KiB   5.9%\n",
          "  User   Files      Size   On disk  Share\n", "  \xc3\xa9mile      1      10 B  4.00 KiB   5.9%\n",
          "Largest file types\n  Type ",
          "  access \\ modify      warm      cold     Total\n"
          "  hot              16.0 KiB         -  16.0 KiB\n"
          "  cold                    -  52.0 KiB  52.0 KiB\n"
          "  Total            16.0 KiB  52.0 KiB  68.0 KiB\n"})
        EXPECT_TRUE(contains(tables, part));

    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_paths"), 2);
    EXPECT_EQ(count("SELECT SUM(row_count) FROM side_files"), 4);
    EXPECT_EQ(count("SELECT kib + last_access FROM inactive_rows WHERE directory = '/srv/new/' AND name = 'b.doc'"),
              8 + 1388534400);
    const std::string before = runReport({"summary", "--db", db(), "--json", "--top", "0"}).out;

    // A dry run lists exactly what the prune then removes and leaves the file as it was.
    const auto files = [&] {
        std::vector<std::string> list;
        const std::string path = "SELECT folder || '/' || file_name FROM ";
        for (const SqlRow& row :
             SqliteDatabase(native, native, db(), false).query(path + "runs UNION " + path + "side_files ORDER BY 1"))
            list.push_back(sqlText(row[0]));
        return list;
    };
    const std::string bytes = readText(db());
    const std::vector<std::string> kept = files();
    const std::string dry = runReport({"prune", "--db", db(), "--keep", "1", "--dry-run"}).out;
    EXPECT_EQ(readText(db()), bytes);
    const std::string pruned = runReport({"prune", "--db", db(), "--keep", "1"}).out;
    EXPECT_TRUE(contains(pruned, "Removed 1 run (2 records) and 1 side file (2 inactive rows)"));
    std::string gone;
    for (const std::vector<std::string> left = files(); const std::string& file : kept)
        if (std::ranges::find(left, file) == left.end()) gone += file + "\n";
    EXPECT_EQ(std::regex_replace(dry, std::regex("(^|\n)[^\n]*scanned 2023-11-15 10:13 \\+00:00: "), "$1"),
              gone + "Would remove" + pruned.substr(7, pruned.size() - 8) + "; nothing was changed\n");
    EXPECT_EQ(runReport({"summary", "--db", db(), "--json", "--top", "0"}).out, before);
    EXPECT_EQ(count("SELECT COUNT(*) FROM record_keys WHERE id NOT IN (SELECT key_id FROM records)"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_paths WHERE id NOT IN (SELECT path_id FROM inactive_files)"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM inactive_directories"), 1);

    EXPECT_TRUE(contains(runReport({"prune", "--db", db(), "--before", "2023-11-16"}).out,
                         "Removed 1 run (3 records) and 0 side files"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM runs WHERE host = 'PC2'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM temperature_rows"), 1);

    // A database of the first version, with the last access as written, takes the new form when opened;
    // its runs are known to the day.
    SqliteDatabase(native, native, db(), false).query("UPDATE runs SET scanned_at = scanned_day");
    const std::string latest = runReport({"summary", "--db", db(), "--json"}).out;
    for (const char* statement :
         {"DROP VIEW inactive_rows", "DROP TABLE inactive_files", "DROP INDEX runs_by_scan",
          "ALTER TABLE runs DROP COLUMN scanned_day", "ALTER TABLE runs DROP COLUMN scanned_at",
          "ALTER TABLE records DROP COLUMN capped", "UPDATE report_schema SET version = 1",
          "CREATE TABLE inactive_files (side_file_id BIGINT NOT NULL, line BIGINT NOT NULL, name TEXT NOT NULL, "
          "directory TEXT NOT NULL, kib BIGINT NOT NULL, last_access TEXT NOT NULL, temperature TEXT NOT NULL)",
          "INSERT INTO inactive_files SELECT id, 2, 'a', '/d/', 4, '2013-04-05T12:00:00', 'cold' FROM side_files LIMIT "
          "1",
          "INSERT INTO inactive_files SELECT id, 3, 'b', '/d/', 4, 'never', 'cold' FROM side_files LIMIT 1"})
        SqliteDatabase(native, native, db(), false).query(statement);
    EXPECT_EQ(runReport({"summary", "--db", db(), "--json"}).out, latest);
    EXPECT_EQ(count("SELECT SUM(last_access) FROM inactive_rows"), 1365163200);
    EXPECT_EQ(count("SELECT version + scanned_at - scanned_day FROM report_schema, runs"), ReportSchema::version);
}

TEST_F(CommandsTest, SideFilesTakeTheHostOfTheirRunAlsoWhenItComesLater) {
    std::mt19937 random(3);
    const fs::path base = folder.path();
    // Two hosts whose runs had the same process id on the same day, each in its own folder.
    writeRecordFile(base / "a", day1, 500, randomRecords(random, "PC1", day1, 5));
    writeRecordFile(base / "b", day1, 500, randomRecords(random, "PC2", day1, 5));
    writeInactiveFile(base / "a", day1, 500, {"x,/a/,1,2013-01-01T00:00:00,cold,"});
    // Opened after local noon: the next day stamp.
    writeText(base / "b/Hoardscan-cold-1700086400-500.log", "/b/;2048\n");
    writeText(base / "c/Hoardscan-cold-1700000000-999.log", "/c/;1024\n");
    // A side file whose run comes in a later import.
    writeInactiveFile(base / "e", day1, 600, {"y,/e/,1,2013-01-01T00:00:00,frozen,"});
    // Runs of that process elsewhere: when its own comes, the folder tells them apart.
    writeRecordFile(base / "a", day1, 600, randomRecords(random, "PC3", day1, 5));
    writeRecordFile(base / "b", day1, 600, randomRecords(random, "PC4", day1, 5));
    const RunOutput result = import({folder.child("a"), folder.child("b"), folder.child("c"), folder.child("e")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "Hoardscan-cold-1700000000-999.log: no imported run of process 999 around that day, "
                         "so its host is unknown; give --host to name it"));

    writeRecordFile(base / "e", day1, 600, randomRecords(random, "PC5", day1, 5));
    EXPECT_TRUE(contains(import({folder.child("e"), folder.child("a")}).out,
                         "; 4 already imported; 1 side file given their host\n"));
    // A host named gives itself to a side file imported without one, once.
    for (const char* given : {"; 1 already imported; 1 side file given their host\n", "; 1 already imported\n"})
        EXPECT_TRUE(contains(import({"--host", "PCZ", folder.child("c")}).out, given));

    const std::string sql =
        "SELECT GROUP_CONCAT(side, '|') FROM (SELECT s.file_name || ' ' || s.host || ' ' || IFNULL(r.host, '') AS side"
        " FROM side_files s LEFT JOIN runs r ON r.id = s.run_id ORDER BY s.file_name)";
    EXPECT_EQ(sqlText(SqliteDatabase(native, native, db(), false).query(sql).at(0).at(0)),
              "Hoardscan-cold-1700000000-999.log PCZ |Hoardscan-cold-1700086400-500.log PC2 PC2|"
              "HoardscanInactive-1700000000-500.csv PC1 PC1|HoardscanInactive-1700000000-600.csv PC5 PC5");
}

TEST_F(CommandsTest, DirectoryTotalsGiveLinkedPagesAndTheFiltersSumWhatTheRecordsHold) {
    const RecordKey annCold = makeKey("PC1", "sales", "ann", "Users,Staff", "doc", "cold", "cold");
    writeRecordFile(in, day1, 1,
                    {{day1, annCold, 2, 1000, 4096},
                     {day1, makeKey("PC1", "it", "bob", "Users", "iso", "hot", "hot"), 1, 5000, 8192},
                     {day1, makeKey("PC1", "sales", "bob", "Staff", "doc", "hot", "hot"), 3, 300, 12288}});
    // Post-order, as the walk leaves the directories; one directory walked below two roots has two rows to add.
    writeText(in / "HoardscanTotals-1700000000-1.txt",
              "/srv/a;b/;sales;ann;cold;2;1000;4096\n/srv/b/;it;bob;hot;1;5000;8192\n/srv/b/;sales;bob;hot;2;200;8192\n"
              "/srv/b/;sales;bob;hot;1;100;4096\n/srv/;sales;ann;cold;2;1000;4096\n/srv/;it;bob;hot;1;5000;8192\n"
              "/srv/;sales;bob;hot;3;300;12288\n");
    EXPECT_EQ(import({in.string()}).out,
              "Imported 1 run (3 records) and 1 side file into SQLite database " + db() + "\n");
    const std::string header = "view,name,detail,files,bytes,bytes_on_disk,weighted_size\n";
    EXPECT_EQ(runReport({"summary", "--db", db(), "--csv", "--dir", "/srv"}).out,
              header +
                  "directory,/srv/,PC1,6,6300,24576,0\nsubdirectory,/srv/b/,PC1,4,5300,20480,0\n"
                  "subdirectory,/srv/a;b/,PC1,2,1000,4096,0\naccount,sales,PC1,5,1300,16384,0\n"
                  "account,it,PC1,1,5000,8192,0\ntemperature,hot,PC1,4,5300,20480,0\n"
                  "temperature,cold,PC1,2,1000,4096,0\n");
    EXPECT_TRUE(contains(runReport({"summary", "--db", db(), "--csv", "--dir", "/srv/", "--account", "sales"}).out,
                         "directory,/srv/,PC1,5,1300,16384,0\nsubdirectory,/srv/b/,PC1,3,300,12288,0\n"));
    EXPECT_TRUE(contains(runReport({"summary", "--db", db(), "--csv", "--host", "PC1", "--user", "bob"}).out,
                         "total,,1 runs,4,5300,20480,2.101\nhost,PC1,2023-11-15 10:13 +00:00,4,5300,20480,2.101\n"));
    EXPECT_TRUE(contains(runReport({"summary", "--db", db(), "--csv", "--account", "sales", "--user", "bob"}).out,
                         "account,sales,,3,300,12288,1.2318\nuser,bob,,3,300,12288,1.2318\ngroup,Staff,,3,300"));
    // By user, what the records hold for that user, whose files all lie below /srv/.
    EXPECT_EQ(
        runReport({"summary", "--db", db(), "--csv", "--dir", "/srv", "--user", "bob"}).out,
        header +
            "directory,/srv/,PC1,4,5300,20480,0\nsubdirectory,/srv/b/,PC1,4,5300,20480,0\n"
            "account,sales,PC1,3,300,12288,0\naccount,it,PC1,1,5000,8192,0\ntemperature,hot,PC1,4,5300,20480,0\n");
    EXPECT_EQ(runReport({"summary", "--db", db(), "--csv", "--dir", "/srv", "--user", "ann", "--account", "sales"}).out,
              header +
                  "directory,/srv/,PC1,2,1000,4096,0\nsubdirectory,/srv/a;b/,PC1,2,1000,4096,0\n"
                  "account,sales,PC1,2,1000,4096,0\ntemperature,cold,PC1,2,1000,4096,0\n");
    EXPECT_EQ(runReport({"summary", "--db", db(), "--csv", "--dir", "/srv", "--user", "ann", "--account", "it"}).out,
              header);

    const fs::path page = folder.path() / "page.html";
    ASSERT_EQ(runReport({"html", "--db", db(), "-o", page.string()}).exitCode, 0);
    const std::string html = readText(page);
    for (const std::string& text : std::vector<std::string>{
             "<h1>Directory /srv/</h1><p class=\"lead\">Whole subtree on PC1: 6 files, 6.15 KiB, 24.0 KiB on disk.",
             "<td class=\"path\"><a href=\"#dir-1-2\">/srv/b/</a></td><td>4</td><td>5.18 KiB</td><td>20.0 KiB</td>"
             "<td>83.3%</td>",
             "<section class=\"page\" id=\"dir-1-3\"><p><a href=\"#host-1\">\u2190 Host PC1</a> \u00b7 "
             "<a href=\"#dir-1-1\">\u2191 /srv/</a></p><h1>Directory /srv/a;b/</h1>",
             "<td class=\"path\"><a href=\"#account-2\">sales</a></td><td>5</td>",
             "<h2>Directories on PC1</h2><table><tr><th>Directory</th><th>Files</th><th>Size</th><th>On disk</th>"
             "<th>Share</th></tr><tr><td class=\"path\"><a href=\"#dir-1-1\">/srv/</a></td><td>5</td>",
             "<h1>Group Staff</h1><p class=\"lead\">Latest run of each of 1 host: 5 files, 1.27 KiB, 16.0 KiB on disk.",
             "<h1>User bob</h1>",
             "<h2>Directories on PC1</h2><table><tr><th>Directory</th><th>Files</th><th>Size</th><th>On disk</th>"
             "<th>Share</th></tr><tr><td class=\"path\"><a href=\"#dir-1-1\">/srv/</a></td><td>4</td><td>5.18 KiB",
             "<h2>Directories on PC1 (every owner's files)</h2><table><tr><th>Directory</th><th>Files</th><th>Size</th>"
             "<th>On disk</th><th>Share</th></tr><tr><td class=\"path\"><a href=\"#dir-1-1\">/srv/</a></td><td>6</td>",
             "<td>PC1</td><td class=\"path\">/srv/</td><td>2</td><td>4.00 KiB</td><td>-</td>",
             "<th>Share</th></tr><tr><td class=\"path\"><a href=\"#user-2\">bob</a></td><td>4</td><td>5.18 KiB</td>"
             "<td>20.0 KiB</td><td>83.3%</td></tr><tr><td class=\"path\"><a href=\"#user-1\">ann</a></td><td>2</td>"})
        EXPECT_TRUE(contains(html, text));
    for (const char* link : {"#user-1", "#user-2", "#group-2", "#dir-1-1"})
        EXPECT_TRUE(contains(html.substr(0, html.find("<section class=\"page\" id=\"account-1\"")),
                             "href=\"" + std::string(link) + "\""));

    // Totals imported into a database of version 4 keep their sums, by no user.
    for (const char* statement :
         {"ALTER TABLE directory_totals DROP COLUMN user_name", "UPDATE report_schema SET version = 4"})
        SqliteDatabase(native, native, db(), false).query(statement);
    EXPECT_TRUE(contains(runReport({"summary", "--db", db(), "--csv", "--dir", "/srv"}).out,
                         "directory,/srv/,PC1,6,6300,24576,0\n"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM directory_totals WHERE user_name = ''"), 7);

    EXPECT_TRUE(contains(runReport({"prune", "--db", db(), "--before", "2023-11-16", "--dry-run"}).out,
                         "directory totals of PC1 scanned 2023-11-15 10:13 +00:00: " +
                             (in / "HoardscanTotals-1700000000-1.txt").string()));
    EXPECT_TRUE(contains(runReport({"prune", "--db", db(), "--before", "2023-11-16"}).out, "and 1 side file"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM directory_totals"), 0);
}

TEST_F(CommandsTest, AFileTheDatabaseRefusesHalfWayLeavesNothing) {
    std::mt19937 random(17);
    const auto records = randomRecords(random, "PC1", day1, 50);
    writeRecordFile(in / "a", day1, 1, records);
    writeRecordFile(in / "b", day2, 2, records);
    SqliteDatabase database(native, native, db(), true);
    ReportSchema::ensure(database);
    // The first run is refused after it and its keys were written; the second gets ids of keys that exist.
    database.query(
        "CREATE TRIGGER refuse BEFORE INSERT ON records WHEN (SELECT process_id FROM runs WHERE id = NEW.run_id) = 1"
        " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_EQ(import({(in / "a").string(), (in / "b").string()}).exitCode, 2);
    EXPECT_EQ(count("SELECT SUM(process_id) FROM runs"), 2);
    EXPECT_GT(count("SELECT COUNT(*) FROM records"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM records WHERE key_id NOT IN (SELECT id FROM record_keys)"), 0);
}

TEST_F(CommandsTest, TheLatestRunIsTheOneScannedLastAndGrowthCountsItForItsDay) {
    const auto record = [](const std::string& host, const std::string& account, int64_t day, int64_t disk) {
        return GeneratedRecord{day, makeKey(host, account, "u", "g", "doc", "hot", "hot"), 1, disk, disk};
    };
    writeRecordFile(in / "a", day1, 1, {record("A", "sales", day1, 100)});
    // Two runs of A on the third day: the one imported first was scanned last.
    setModified(writeRecordFile(in / "a", day3, 3, {record("A", "sales", day3, 170)}), day3 + 3600);
    setModified(writeRecordFile(in / "a", day3, 4, {record("A", "sales", day3, 999)}), day3 + 60);
    // Written far from their day: held within half a day of it.
    setModified(writeRecordFile(in / "b", day1, 1, {record("B", "sales", day1, 10), record("B", "it", day1, 5)}), 0);
    setModified(writeRecordFile(in / "b", day2, 2, {record("B", "sales", day2, 30)}), day2 + 30 * 86400);
    ASSERT_EQ(import({in.string()}).exitCode, 0);

    SqliteDatabase database(native, native, db(), false);
    const AccountGrowth growth = ReportQueries(native, database).accountGrowth();
    // By the local day of each scan: 2023-11-14 (B's run held there), 15 and 16.
    EXPECT_EQ(growth.days, (std::vector<int64_t>{1699920000, 1700006400, 1700092800}));
    std::vector<std::pair<std::string, std::vector<WideInt>>> seen;
    for (const auto& account : growth.accounts) seen.push_back({account.account, account.bytesOnDisk});
    // Each host's latest run against the one before it: A's scanned last on day 3, B's of day 2.
    for (const RunChange& change : ReportQueries(native, database).accountChanges())
        seen.push_back({change.name, {change.previous.bytesOnDisk, change.latest.bytesOnDisk}});
    EXPECT_EQ(seen,
              (decltype(seen){{"sales", {10, 110, 200}}, {"it", {5, 5, 0}}, {"sales", {1009, 200}}, {"it", {5, 0}}}));

    const std::string tables = runReport({"summary", "--db", db()}).out;
    EXPECT_TRUE(contains(tables, "Share\n  sales        2  200 B    200 B  100.0%\n\n"));
    EXPECT_TRUE(contains(tables, "  Total            200 B  200 B\n"));
    EXPECT_EQ(count("SELECT MIN(scanned_at - scanned_day) FROM runs WHERE host = 'B'"), -43200);
    EXPECT_EQ(count("SELECT MAX(scanned_at - scanned_day) FROM runs WHERE host = 'B'"), 43199);
}

TEST_F(CommandsTest, EveryViewNamesARunByItsLocalScanTimeNotByItsDayStamp) {
    const LocalZone tokyo("<+09>-9");
    // Scanned at 23:30 local, after noon: filed under the next local midnight, 2023-11-16.
    const int64_t stamp = 1700060400, earlier = stamp - 86400;
    for (const int64_t day : {earlier, stamp})
        setModified(writeRecordFile(in, day, day == stamp ? 2 : 1,
                                    {{day, makeKey("PC1", "a", "u", "g", "doc", "hot", "hot"), 1, 10, 4096}}),
                    day - 1800);
    writeText(in / "Hoardscan-cold-1700060400-2.log", "/srv/;4096\n");
    ASSERT_EQ(import({in.string()}).exitCode, 0);
    const std::string scanned = "2023-11-15 23:30 +09:00", before = "2023-11-14 23:30 +09:00";
    std::string outputs;
    for (const char* view : {"--csv", "--top=10"}) outputs += runReport({"summary", "--db", db(), view}).out;
    // The JSON keeps the day stamps under their old keys beside the scan times.
    const std::string json = runReport({"summary", "--db", db(), "--json"}).out;
    for (const std::string& part : {std::string("\"lastDay\": \"2023-11-16\""), "\"firstScan\": \"" + scanned,
                                    "{\"name\": \"PC1\", \"runDay\": \"2023-11-16\", \"scanned\": \"" + scanned})
        EXPECT_TRUE(contains(json, part)) << json;
    for (const std::string& part :
         {"host,PC1," + scanned + ",", "Latest run of each of 1 host, scanned " + scanned + "\n",
          "  PC1   " + scanned + "      1"})
        EXPECT_TRUE(contains(outputs, part));
    const fs::path page = folder.path() / "page.html";
    ASSERT_EQ(runReport({"html", "--db", db(), "-o", page.string()}).exitCode, 0);
    for (const std::string& part : {"1 host, scanned " + scanned + ": ", "Latest run " + scanned + ": ",
                                    "<td>" + before + "</td><td>" + scanned + "</td>", "<tr><td>" + scanned + "</td>",
                                    "<td>cold</td><td>" + scanned + "</td>"})
        EXPECT_TRUE(contains(readText(page), part));
    // Scanned before the 16th by the clock of the zone, so removed by --before with that day.
    outputs += readText(page) + runReport({"prune", "--db", db(), "--before", "2023-11-16", "--dry-run"}).out;
    EXPECT_TRUE(contains(outputs, "scanned " + before + ": " + (in / "Hoardscan-1699974000-1.data").string() +
                                      "\nrun of PC1 scanned " + scanned + ": " +
                                      (in / "Hoardscan-1700060400-2.data").string()));
    EXPECT_TRUE(contains(outputs, "temperature log cold of PC1 scanned " + scanned));
    EXPECT_FALSE(contains(outputs, "2023-11-16"));
}

TEST_F(CommandsTest, PostgresGivesWhatSqliteGivesInEveryViewAndAfterEachPrune) {
    const char* admin = std::getenv("HOARDSCAN_TEST_PG");
    if (!admin || !*admin) GTEST_SKIP() << "HOARDSCAN_TEST_PG is not set: PostgreSQL tests skipped";
    const std::string schema = "report_test_" + std::to_string(std::random_device()());
    PostgresDatabase(admin).query("CREATE SCHEMA " + schema);
    const std::string pg = std::string(admin) + " options='-csearch_path=" + schema + "'";
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
    // A directory walked below several roots whose rows add up past 2^63.
    std::string totals = "/srv/x/;sales;ann;cold;1;10;4096\n/srv/;sales;ann;cold;1;10;4096\n";
    for (int i = 0; i < 10; ++i) totals += "/srv/;it;bob;frozen;2;999999999999999999;999999999999999999\n";
    writeText(in / "PC1/HoardscanTotals-1700086400-11.txt", totals);
    writeInactiveFile(folder.path() / "early", day1, 30, {"e.doc,/e/,1,2015-01-01T00:00:00,cold,"});
    writeRecordFile(folder.path() / "early", day1, 30, randomRecords(random, "PC3", day1, 20));

    // A command on both databases: its output less the database it names, and the page it wrote up to its footer.
    const fs::path page = folder.path() / "page.html";
    const std::regex named(" (into|from) (PostgreSQL|SQLite) database [^;\n]*");
    const auto onBoth = [&](const std::vector<std::string>& arguments) {
        std::vector<std::string> outputs;
        for (const std::vector<std::string>& database : {std::vector<std::string>{"--pg", pg}, {"--db", db()}}) {
            std::vector<std::string> words = arguments;
            words.insert(words.begin() + 1, database.begin(), database.end());
            const RunOutput run = runReport(words);
            EXPECT_EQ(run.exitCode, 0) << run.err;
            const std::string html = arguments[0] == "html" ? readText(page) : "";
            outputs.push_back(std::regex_replace(run.out, named, "") + html.substr(0, html.find("<footer>")));
        }
        EXPECT_EQ(outputs[0], outputs[1]) << arguments[0] << " " << arguments[1];
        return outputs[0];
    };
    EXPECT_TRUE(contains(onBoth({"import", folder.child("early/HoardscanInactive-1700000000-30.csv"), in.string()}),
                         "Imported 7 runs"));
    EXPECT_TRUE(contains(onBoth({"import", folder.child("early")}), "; 1 side file given their host"));
    EXPECT_TRUE(contains(runReport({"import", "--pg", pg, in.string()}).out, "11 already imported"));
    const std::vector<std::string> json = {"summary", "--json", "--top", "0"}, csv = {"summary", "--csv", "--top", "0"},
                                   html = {"html", "-o", page.string()},
                                   dry = {"prune", "--before", "2023-11-16", "--dry-run"},
                                   directory = {"summary", "--dir", "/srv", "--json"};
    EXPECT_TRUE(contains(onBoth(directory), "\"bytesOnDisk\": 10000000000000004086"));
    EXPECT_TRUE(contains(onBoth({"summary", "--dir", "/srv", "--user", "bob", "--json"}),
                         "\"bytesOnDisk\": 9999999999999999990"));
    EXPECT_TRUE(contains(onBoth(html), "15.8 EiB"));
    for (const std::vector<std::string>& prune :
         std::vector<std::vector<std::string>>{dry, {"prune", "--keep", "1"}, {"prune", "--before", "2023-11-16"}, {}})
        for (const std::vector<std::string>& arguments : {json, csv, html, directory, prune})
            if (!arguments.empty()) onBoth(arguments);
    PostgresDatabase(admin).query("DROP SCHEMA " + schema + " CASCADE");
}

// Counts that tell whether anything was stored twice: runs, keys and their distinct texts,
// records, side files (and those without their run), inactive files and directories.
std::vector<int64_t> storedCounts(Database& database) {
    std::vector<int64_t> counts;
    for (const std::string& sql :
         std::vector<std::string>{"SELECT COUNT(*) FROM runs", "SELECT COUNT(*) FROM record_keys",
                                  "SELECT COUNT(DISTINCT " + ReportSchema::keyText() + ") FROM record_keys",
                                  std::string("SELECT COUNT(*) FROM records"), "SELECT COUNT(*) FROM side_files",
                                  "SELECT COUNT(*) FROM side_files WHERE run_id IS NULL",
                                  "SELECT COUNT(*) FROM inactive_paths", "SELECT COUNT(*) FROM inactive_directories"})
        counts.push_back(sqlInt(database.query(sql).at(0).at(0)));
    return counts;
}

TEST_F(CommandsTest, ImportsAtOnceStoreEachKeyRunAndSideFileOnceAndSumAsOneImportDoes) {
    std::mt19937 random(37);
    for (int host = 0; host < 4; ++host)
        for (const int64_t day : {day1, day2, day3}) {
            const std::string name = "PC" + std::to_string(host),
                              pid = std::to_string(10 * host + (day - day1) / 86400);
            writeRecordFile(in / name, day, std::stoll(pid), randomRecords(random, name, day, 300));
            writeInactiveFile(in / name, day, std::stoll(pid),
                              {"a.iso,/srv/" + name + "/,4,2013-04-05T12:00:00,frozen,",
                               "b.doc,/srv/shared/,8,2014-01-01T00:00:00,cold,"});
            writeText(in / name / ("Hoardscan-cold-" + std::to_string(day) + "-" + pid + ".log"), "/srv/;4096\n");
        }
    ASSERT_EQ(import({in.string()}).exitCode, 0);
    const std::string serial = runReport({"summary", "--db", db(), "--json", "--top", "0"}).out;
    const std::vector<int64_t> counts = storedCounts(*std::make_unique<SqliteDatabase>(native, native, db(), false));
    EXPECT_EQ(counts[1], counts[2]);

    // Six processes start at once on a new database: over every folder with three connections
    // each, over overlapping pairs of hosts, and over the side files alone, before their runs.
    const std::string hosts = "'" + in.string() + "/PC";
    const std::vector<std::string> operands = {
        "--jobs 3 '" + in.string() + "'", "--jobs 3 '" + in.string() + "'", hosts + "0' " + hosts + "1'",
        hosts + "1' " + hosts + "2'",     hosts + "3' " + hosts + "2'",     hosts + "2'/*.csv " + hosts + "3'/*.log"};
    const auto importAtOnce = [&](const std::string& database, const std::vector<std::string>& summary,
                                  const std::function<std::unique_ptr<Database>()>& open, const std::string& unique) {
        std::vector<std::future<int>> imports;
        for (const std::string& files : operands) {
            const std::string command =
                "'" HOARDSCAN_REPORT_PROGRAM "' import " + database + " " + files + " >/dev/null";
            imports.push_back(std::async(std::launch::async, [command] { return std::system(command.c_str()); }));
        }
        for (std::future<int>& exitCode : imports) EXPECT_EQ(exitCode.get(), 0);
        EXPECT_EQ(storedCounts(*open()), counts);
        EXPECT_EQ(runReport(summary).out, serial);
        // A database of version 5 may hold a key twice, each copy with records: the upgrade
        // keeps one and the sums as they were.
        const std::string twins = " FROM record_keys WHERE host IN ('PC1', 'PC2') AND id < 1000000";
        for (const std::string& sql : std::vector<std::string>{
                 unique,
                 "INSERT INTO record_keys (id, site, host, file_system, account, user_name, group_names, file_type,"
                 " status, access_temperature, modify_temperature) SELECT id + 1000000, site, host, file_system,"
                 " account, user_name, group_names, file_type, status, access_temperature, modify_temperature" +
                     twins,
                 "UPDATE records SET key_id = key_id + 1000000 WHERE key_id IN (SELECT id" + twins +
                     ") AND run_id IN (SELECT id FROM runs WHERE day = " + std::to_string(day2) + ")",
                 std::string("UPDATE report_schema SET version = 5")})
            open()->query(sql);
        EXPECT_EQ(runReport(summary).out, serial);
        EXPECT_EQ(storedCounts(*open()), counts);
    };
    const std::string concurrent = (folder.path() / "concurrent.sqlite").string();
    importAtOnce(
        "--db '" + concurrent + "'", {"summary", "--db", concurrent, "--json", "--top", "0"},
        [&] { return std::make_unique<SqliteDatabase>(native, native, concurrent, false); },
        "DROP INDEX record_keys_once");

    const char* admin = std::getenv("HOARDSCAN_TEST_PG");
    if (!admin || !*admin) GTEST_SKIP() << "HOARDSCAN_TEST_PG is not set: PostgreSQL tests skipped";
    const std::string schema = "report_test_" + std::to_string(std::random_device()());
    PostgresDatabase(admin).query("CREATE SCHEMA " + schema);
    const std::string pg = std::string(admin) + " options='-csearch_path=" + schema + "'";
    importAtOnce(
        "--pg \"" + pg + "\"", {"summary", "--pg", pg, "--json", "--top", "0"},
        [&] { return std::make_unique<PostgresDatabase>(pg); },
        "ALTER TABLE record_keys DROP CONSTRAINT record_keys_once");
    PostgresDatabase(admin).query("DROP SCHEMA " + schema + " CASCADE");
}

constexpr int64_t gib = 1ll << 30;

std::vector<int> barWidths(const std::string& html, std::string_view colour) {
    std::vector<int> widths;
    const std::regex bar("width=\"(\\d+)\" height=\"16\" fill=\"" + std::string(colour) + "\"");
    for (std::sregex_iterator at(html.begin(), html.end(), bar), end; at != end; ++at)
        widths.push_back(std::stoi((*at)[1]));
    return widths;
}

// What a page shows of a summary, as text: the rankings it shows (by member), the temperatures
// and the whole, without the weighted size, whose sum depends on the order of the rows.
std::string shownOf(const Summary& summary, const std::vector<std::vector<NamedTotals> Summary::*>& lists) {
    const auto sizes = [](const SizeTotals& t) {
        return std::to_string(static_cast<int64_t>(t.files)) + "/" + std::to_string(static_cast<int64_t>(t.bytes)) +
               "/" + std::to_string(static_cast<int64_t>(t.bytesOnDisk));
    };
    std::string text = std::to_string(summary.runs) + " runs " + sizes(summary.total) + ";";
    for (const auto list : lists) {
        for (const NamedTotals& entry : summary.*list) text += " " + entry.name + "=" + sizes(entry.totals);
        text += ";";
    }
    for (size_t a = 0; a < summary.temperatures.access.size(); ++a) {
        for (size_t m = 0; m < summary.temperatures.modify.size(); ++m)
            text += " " + summary.temperatures.access[a] + "/" + summary.temperatures.modify[m] + "=" +
                    sizes(summary.temperatures.cells[a][m]);
    }
    return text;
}

// A new host's keys are found by the index of the key texts however many are stored: read
// against every stored key instead, SQLite took minutes for these among 300,000.
TEST_F(CommandsTest, AnImportFindsItsNewKeysByIndexAmongHundredsOfThousands) {
    std::mt19937 random(41);
    writeRecordFile(in / "PC1", day1, 1, randomRecords(random, "PC1", day1, 10));
    ASSERT_EQ(import({in.string()}).exitCode, 0);
    SqliteDatabase(native, native, db(), false)
        .query(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) INSERT INTO"
            " record_keys (site, host, file_system, account, user_name, group_names, file_type, status,"
            " access_temperature, modify_temperature) SELECT 'S', 'OLD' || i, 'C:', 'A', 'U', 'G', 'T', 'N',"
            " 'cold', 'cold' FROM n");
    writeRecordFile(in / "PC2", day1, 2, randomRecords(random, "PC2", day1, 2000));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(import({(in / "PC2").string()}).exitCode, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(CommandsTest, ThePagesFromTheKeptTotalsAndTheGatheredRowsShowWhatTheRecordsFilteredHold) {
    std::mt19937 random(29);
    for (const std::string host : {"PC1", "PC2", "PC3"}) {
        for (int64_t day : {day1, day2})
            writeRecordFile(in / host, day, day == day1 ? 1 : 2, randomRecords(random, host, day, 40));
    }
    ASSERT_EQ(import({in.string()}).exitCode, 0);
    SqliteDatabase database(native, native, db(), false);
    ReportQueries gathered(native, database);
    const Summary whole = gathered.summary();
    gathered.gatherLatest();
    ReportQueries records(native, database);  // reads the records for each filter
    using S = Summary;
    const auto hosts = gathered.hostPages({"PC1", "PC2", "PC3"});
    ASSERT_EQ(hosts.size(), 3u);
    for (const auto& [host, page] : hosts) {
        EXPECT_EQ(
            shownOf(page, {&S::hosts, &S::accounts, &S::users, &S::groups, &S::fileTypes}),
            shownOf(records.summary({host, "", ""}), {&S::hosts, &S::accounts, &S::users, &S::groups, &S::fileTypes}));
    }
    const auto accounts = gathered.accountPages({"sales", "it", "hr", "finance", "legal"});
    const auto users = gathered.userPages({"ann", "bob", "cid", "dag"});
    ASSERT_EQ(accounts.size() + users.size(), 9u);
    for (const auto& [account, page] : accounts) {
        EXPECT_EQ(shownOf(page, {&S::hosts, &S::users, &S::fileTypes}),
                  shownOf(records.summary({"", account, ""}), {&S::hosts, &S::users, &S::fileTypes}));
    }
    for (const auto& [user, page] : users) {
        EXPECT_EQ(shownOf(page, {&S::hosts, &S::accounts, &S::fileTypes}),
                  shownOf(records.summary({"", "", user}), {&S::hosts, &S::accounts, &S::fileTypes}));
    }
    // A group's page counts every group list that holds it, as the overview does.
    const auto groups = gathered.groupPages({"Users", "Staff", "Admins", "UNDEF"});
    ASSERT_EQ(groups.size(), whole.groups.size());
    for (const NamedTotals& group : whole.groups) {
        const Summary& page = groups.at(group.name);
        EXPECT_TRUE(page.runs == 3 && page.total.files == group.totals.files &&
                    page.total.bytesOnDisk == group.totals.bytesOnDisk)
            << group.name;
    }
}

TEST_F(CommandsTest, ThePageNeedsNothingElseEscapesNamesAndDrawsItsChartsAndPages) {
    // Two hosts; the account on PC1 holds three times what "small", new on the second day, holds.
    for (int64_t day : {day1, day2})
        writeRecordFile(
            in / "PC1", day, day == day1 ? 1 : 2,
            {{day, makeKey("PC1", "<script>alert(1)</script>", "o'neil", "a&b", "\"doc\"", "frozen", "frozen"), 10,
              3 * gib, 3 * gib}});
    writeRecordFile(in / "PC2", day2, 2,
                    {{day2, makeKey("PC2", "small", "bob", "Staff", "doc", "hot", "hot"), 10, gib, gib}});
    writeText(in / "PC1/Hoardscan-cold-1700086400-2.log", "/srv/archive/;2147483648\n/home/ann/old/;536870912\n");
    writeText(in / "PC1/Hoardscan-cold-1700000000-1.log", "/srv/superseded/;4294967296\n");  // an earlier log
    writeInactiveFile(in / "PC1", day2, 2,
                      {"a.iso,/srv/archive/,2097152,2013-04-05T12:00:00,frozen,",
                       "b.iso,/srv/archive/,1048576,2014-04-05T12:00:00,cold,",
                       "c.iso,/home/ann/old/r\xc3\xa9/ancien/dossier/,1048576,2015-04-05T12:00:00,cold,"});
    ASSERT_EQ(import({in.string()}).exitCode, 0);
    const fs::path page = folder.path() / "page.html";
    EXPECT_EQ(runReport({"html", "--db", db(), "-o", page.string()}).out, "Wrote " + page.string() + "\n");
    const std::string html = readText(page);
    // Nothing from elsewhere: no script, style or link that leaves the page, no address but the SVG namespace.
    std::smatch outside;
    const std::regex elsewhere("<script|src=|url\\(|@import|<link|href=\"[^#]|http(?!://www\\.w3\\.org/2000/svg\")");
    EXPECT_FALSE(std::regex_search(html, outside, elsewhere)) << html.substr(outside.position(), 60);
    for (const std::string& text : std::vector<std::string>{
             "<h1>Account &lt;script&gt;alert(1)&lt;/script&gt;</h1>",
             "o&#39;neil",
             "a&amp;b",
             "&quot;doc&quot;",
             "<p class=\"lead\">Latest run of each of 2 hosts, scanned 2023-11-16 10:13 +00:00: 20 files, 4.00 GiB, "
             "4.00 GiB on disk.</p>",
             "<p class=\"lead\">Latest run of each of 1 host: 10 files, 3.00 GiB, 3.00 GiB on disk.</p>",
             "<h1>Host PC1</h1><p class=\"lead\">Latest run 2023-11-16 10:13 +00:00: 10 files, 3.00 GiB, 3.00 GiB on "
             "disk.</p><h2>Runs</h2>",
             "<a href=\"#host-1\">PC1</a></td><td>2023-11-15 10:13 +00:00</td><td>2023-11-16 10:13 +00:00</td><td>3.00 "
             "GiB</td><td>3.00 GiB</td><td>+0 B</td><td>0.0%</td>",
             "<tr><td>small</td><td>0 B</td><td>1.00 GiB</td><td>+1.00 GiB</td><td>new</td></tr><tr><td>&lt;script&gt;"
             "alert(1)&lt;/script&gt;</td><td>3.00 GiB</td><td>3.00 GiB</td><td>+0 B</td><td>0.0%</td></tr></table>",
             "<td class=\"path\">/srv/archive/</td><td>2</td><td>3.00 GiB</td><td>2014-04-05 12:00</td>",
             "<tr><td>PC1</td><td>cold</td><td>2023-11-16 10:13 +00:00</td><td class=\"path\">/srv/archive/</td>",
             "<text x=\"182\" y=\"36\" text-anchor=\"middle\">hot</text>",
             "<text x=\"122\" y=\"99\" text-anchor=\"end\">frozen</text>",
             "<rect x=\"234\" y=\"78\" width=\"102\" height=\"32\" fill=\"" + SvgCharts::heatColour(1.0) +
                 "\" shape-rendering=\"crispEdges\"><title>frozen / frozen: 10 files, 3.00 GiB on disk</title></rect>"
                 "<text x=\"285\" y=\"98\" text-anchor=\"middle\" fill=\"#ffffff\">3.00 GiB</text>",
             "<polyline points=\"80,16 560,16\" fill=\"none\" stroke=\"" + SvgCharts::seriesColour(0),
             "<polyline points=\"80,260 560,178.7\" fill=\"none\" stroke=\"" + SvgCharts::seriesColour(1),
             "<circle cx=\"80\" cy=\"260\" r=\"3.5\" fill=\"#d62728\"><title>small, 2023-11-15: 0 B</title></circle>",
             "viewBox=\"0 0 760 56\" role=\"img\" aria-label=\"Largest cold directories\"",
             "viewBox=\"0 0 760 300\" role=\"img\" aria-label=\"Bytes on disk per account over time\"",
             "<rect x=\"575\" y=\"40\" width=\"14\" height=\"10\" fill=\"" + SvgCharts::seriesColour(1) +
                 "\" shape-rendering=\"crispEdges\"/><text x=\"594\" y=\"50\">small</text>",
             "y2=\"260\" stroke=\"#dddddd\"/><text x=\"74\" y=\"264\" text-anchor=\"end\">0 B</text>",
             "y=\"142\" text-anchor=\"end\">1.50 GiB</text>",
             "y=\"20\" text-anchor=\"end\">3.00 GiB</text><text x=\"80\" y=\"280\">2023-11-15</text><text x=\"560\" "
             "y=\"280\" text-anchor=\"end\">2023-11-16</text>",
             "<text x=\"192\" y=\"41\" text-anchor=\"end\">PC1 /home/ann/old/r\xc3\xa9/ancien\xe2\x80\xa6<title>",
             "</rect><text x=\"353\" y=\"41\">1.00 GiB</text>"})
        EXPECT_TRUE(contains(html, text));
    EXPECT_FALSE(contains(html, "runs of one day only") || contains(html, "/srv/superseded/") ||
                 fs::exists(page.string() + ".tmp"));
    // A page named through a link is refused: the link stays, what it leads to is untouched.
    const fs::path linked = folder.path() / "linked.html";
    fs::create_symlink(page, linked);
    EXPECT_TRUE(contains(runReport({"html", "--db", db(), "-o", linked.string()}).err, "will not write"));
    EXPECT_TRUE(fs::is_symlink(linked) && readText(page) == html);

    const std::string overview = html.substr(0, html.find("<section class=\"page\""));
    for (const std::string_view colour : {HtmlReport::hostColour, HtmlReport::accountColour, HtmlReport::userColour,
                                          HtmlReport::groupColour, HtmlReport::fileTypeColour, HtmlReport::coldColour})
        EXPECT_EQ(barWidths(overview, colour), (std::vector<int>{440, 147})) << colour;
    EXPECT_EQ(barWidths(overview, HtmlReport::monitoredColour), (std::vector<int>{440, 110}));
    const auto pageOf = [&](const std::string& id) {
        const size_t at = html.find("<section class=\"page\" id=\"" + id + "\"");
        return html.substr(at, html.find("<section class=\"page\"", at + 1) - at);
    };
    const std::string host = pageOf("host-1"), account = pageOf("account-1");
    EXPECT_EQ(barWidths(host, HtmlReport::accountColour).size() + barWidths(host, HtmlReport::hostColour).size(), 1u);
    EXPECT_EQ(barWidths(account, HtmlReport::hostColour), (std::vector<int>{440}));
    EXPECT_EQ(barWidths(account, HtmlReport::accountColour).size() + barWidths(account, HtmlReport::coldColour).size(),
              0u);
}

}  // namespace
}  // namespace Quilna
