#include "ReportTestSupport.h"

#include <gtest/gtest.h>

namespace Quilna {
namespace {

using namespace ReportTest;

TEST(CommandsTest, HelpIsGivenForTheProgramAndEachCommand) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--help"}, {"help"}, {"-h"}}) {
        const RunOutput result = runReport(arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(result.out.find("Usage: hoardscan-report <command>"), std::string::npos);
    }
    for (const std::string command : {"import", "summary", "html"}) {
        for (const std::vector<std::string>& arguments :
             std::vector<std::vector<std::string>>{{command, "--help"}, {"help", command}}) {
            const RunOutput result = runReport(arguments);
            EXPECT_EQ(result.exitCode, 0) << command;
            EXPECT_NE(result.out.find("Usage: hoardscan-report " + command), std::string::npos) << result.out;
        }
    }
}

TEST(CommandsTest, UsageErrorsExitWithOneAndSayWhatIsWrong) {
    TempFolder folder;
    writeText(folder / "notes.txt", "x\n");
    const std::string db = (folder / "r.sqlite").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "Usage: hoardscan-report"},
        {{"export"}, "unknown command \"export\""},
        {{"summary", "--color"}, "the summary command has no option --color"},
        {{"summary", "--db"}, "option --db needs a value"},
        {{"summary", "--csv=yes"}, "option --csv takes no value"},
        {{"summary", "--csv", "--json"}, "give either --csv or --json, not both"},
        {{"summary", "--top", "ten"}, "--top needs a whole number, not \"ten\""},
        {{"summary", "--db", db, "--pg", "host=x"}, "give either --db or --pg, not both"},
        {{"summary", "--db", db, "--db", db}, "option --db given twice"},
        {{"summary", "extra"}, "summary takes no operand \"extra\""},
        {{"import", "--db", db}, "import needs result files or folders"},
        {{"import", "--db", db, (folder / "missing").string()}, (folder / "missing").string() + ": no such file"},
        {{"import", "--db", db, (folder / "notes.txt").string()}, "notes.txt: not a result file name"},
        {{"--db", db, "summary"}, "option --db before the command"},
    };
    for (const auto& [arguments, message] : cases) {
        const RunOutput result = runReport(arguments);
        EXPECT_EQ(result.exitCode, 1) << message;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    }
    // Nothing was created by a refused import.
    EXPECT_FALSE(fs::exists(db));
}

TEST(CommandsTest, DataErrorsExitWithTwo) {
    TempFolder folder;
    const std::string missing = (folder / "none.sqlite").string();
    const RunOutput summary = runReport({"summary", "--db", missing});
    EXPECT_EQ(summary.exitCode, 2);
    EXPECT_NE(summary.err.find("no report database " + missing), std::string::npos) << summary.err;
    EXPECT_FALSE(fs::exists(missing));

    const RunOutput postgres = runReport({"summary", "--pg", "host=127.0.0.1 port=1 connect_timeout=2"});
    EXPECT_EQ(postgres.exitCode, 2);
    EXPECT_NE(postgres.err.find("cannot connect to PostgreSQL"), std::string::npos) << postgres.err;
}

TEST(CommandsTest, TheProgramReportsAMalformedFileWithItsLineAndExitsWithTwo) {
    TempFolder folder;
    const fs::path file = folder / "Hoardscan-86400-1.data";
    writeText(file, "1:86400:29:0:a\n1:1:1:1:1\n");
    const fs::path db = folder / "r.sqlite";
    const std::string command = "cd '" + folder.path().string() + "' && '" HOARDSCAN_REPORT_PROGRAM "' import --db '" +
                                db.string() + "' '" + file.string() + "' >out 2>err; echo $? >code";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readText(folder / "code"), "2\n");
    EXPECT_EQ(readText(folder / "err"), "hoardscan-report: " + file.string() +
                                            ":1: the record key has 1 field, expected 10; the file was not imported\n");
    EXPECT_NE(readText(folder / "out").find("1 rejected"), std::string::npos);

    // A summary of the empty database says so and succeeds.
    const RunOutput summary = runReport({"summary", "--db", db.string()});
    EXPECT_EQ(summary.exitCode, 0);
    EXPECT_EQ(summary.out, "No runs in the database: import account record files first.\n");
}

TEST(CommandsTest, OutputThatCannotBeWrittenExitsWithTwo) {
    TempFolder folder;
    const fs::path db = folder / "r.sqlite";
    ASSERT_EQ(runReport({"import", "--db", db.string(), folder.path().string()}).exitCode, 0);
    const std::string command = "cd '" + folder.path().string() + "' && '" HOARDSCAN_REPORT_PROGRAM
                                "' summary --db '" + db.string() + "' >/dev/full 2>err; echo $? >code";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readText(folder / "code"), "2\n");
    EXPECT_EQ(readText(folder / "err"), "hoardscan-report: cannot write the output\n");
}

TEST(CommandsTest, TerminalTablesShowTheTopEntriesAndTheRest) {
    TempFolder folder;
    std::vector<GeneratedRecord> records;
    const std::vector<std::pair<std::string, int64_t>> accounts = {
        {"alpha", 5ll << 30}, {"beta", 3ll << 20}, {"gamma", 2048}, {"M\xc3\xbcller", 1000}};
    for (const auto& [account, bytes] : accounts) {
        GeneratedRecord record;
        record.day = 1700000000;
        record.key = makeKey("PC1", account, "u", "g", "doc", "cold", "frozen");
        record.files = 1234;
        record.bytes = bytes;
        record.bytesOnDisk = bytes;
        records.push_back(record);
    }
    writeRecordFile(folder / "in", 1700000000, 1, records);
    const std::string db = (folder / "r.sqlite").string();
    ASSERT_EQ(runReport({"import", "--db", db, (folder / "in").string()}).exitCode, 0);
    const RunOutput result = runReport({"summary", "--db", db, "--top", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string& out = result.out;
    EXPECT_NE(out.find("Latest run of each of 1 host, 2023-11-15\nTotal: 4,936 files, 5.00 GiB, 5.00 GiB on disk\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  Account   Files      Size   On disk  Share\n"
                       "  alpha     1,234  5.00 GiB  5.00 GiB  99.9%\n"
                       "  beta      1,234  3.00 MiB  3.00 MiB   0.1%\n"
                       "  (2 more)  2,468  2.98 KiB  2.98 KiB  <0.1%\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  access \\ modify    frozen     Total\n"
                       "  cold             5.00 GiB  5.00 GiB\n"),
              std::string::npos)
        << out;

    const RunOutput all = runReport({"summary", "--db", db, "--top", "0"});
    EXPECT_NE(all.out.find("  M\xc3\xbcller   1,234    1000 B    1000 B  <0.1%\n"), std::string::npos) << all.out;
}

}  // namespace
}  // namespace Quilna
