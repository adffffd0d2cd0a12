#include "ReportTestSupport.h"

#include <gtest/gtest.h>

namespace Quilna {
namespace {

using namespace ReportTest;

TEST(CommandsTest, HelpExitsWithZeroAndUsageErrorsWithOneSayingWhatIsWrong) {
    TempFolder folder;
    writeText(folder.path() / "notes.txt", "x\n");
    const std::string db = folder.child("r.sqlite");
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"help", "import"}, 0, "Usage: hoardscan-report import"},
        {{}, 1, "Usage: hoardscan-report"},
        {{"export"}, 1, "unknown command \"export\""},
        {{"summary", "--color"}, 1, "the summary command has no option --color"},
        {{"summary", "--csv", "--json"}, 1, "give either --csv or --json, not both"},
        {{"summary", "--top", "ten"}, 1, "--top needs a whole number, not \"ten\""},
        {{"import", "--db", db}, 1, "import needs result files or folders"},
        {{"import", "--db", db, folder.child("missing")}, 1, folder.child("missing") + ": no such file"},
        {{"import", "--db", db, folder.child("notes.txt")}, 1, "notes.txt: not a result file name"},
        {{"prune", "--db", db}, 1, "prune needs either --keep N or --before DAY"},
        {{"prune", "--db", db, "--before", "2024-02-30"}, 1, "--before needs a day written YYYY-MM-DD"},
        {{"summary", "--db", folder.child("none.sqlite")}, 2, "no report database " + folder.child("none.sqlite")},
        {{"html", "--db", folder.child("none.sqlite")}, 2, "no report database " + folder.child("none.sqlite")},
        {{"summary", "--pg", "host=127.0.0.1 port=1 connect_timeout=2"}, 2, "cannot connect to PostgreSQL"},
    };
    for (const Case& c : cases) {
        const RunOutput result = runReport(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.message;
        EXPECT_NE((c.exitCode == 0 ? result.out : result.err).find(c.message), std::string::npos) << result.err;
        // A usage error points to the help, which a bare call prints itself.
        EXPECT_EQ(result.err.find("Try \"hoardscan-report --help\".") != std::string::npos,
                  c.exitCode == 1 && !c.arguments.empty())
            << c.message;
    }
    // Nothing was created by a refused command.
    EXPECT_FALSE(fs::exists(db));
    EXPECT_FALSE(fs::exists(folder.child("none.sqlite")));
}

TEST(CommandsTest, TheProgramExitsWithTwoOnDataErrors) {
    TempFolder folder;
    const fs::path file = folder.path() / "Hoardscan-1700000000-1.data";
    writeText(file, "1:86400:29:0:a\n1:1:1:1:1\n");
    const std::string db = folder.child("r.sqlite");
    const auto run = [&](const std::string& arguments, const std::string& out) {
        const std::string command = "cd '" + folder.text() + "' && '" HOARDSCAN_REPORT_PROGRAM "' " + arguments + " >" +
                                    out + " 2>err; echo $? >code";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return readText(folder.path() / "code") + readText(folder.path() / "err");
    };
    EXPECT_EQ(run("import --db '" + db + "' '" + file.string() + "'", "out"),
              "2\nhoardscan-report: " + file.string() +
                  ":1: the record key has 1 field, expected 10; the file was not imported\n");
    EXPECT_NE(readText(folder.path() / "out").find("1 rejected"), std::string::npos);
    EXPECT_EQ(run("summary --db '" + db + "'", "/dev/full"), "2\nhoardscan-report: cannot write the output\n");
    // A summary of the empty database says so and succeeds.
    const RunOutput summary = runReport({"summary", "--db", db});
    EXPECT_EQ(summary.exitCode, 0);
    EXPECT_EQ(summary.out, "No runs in the database: import account record files first.\n");
}

// No message repeats the content of a refused file.
TEST(CommandsTest, HostileFilesAreRefusedAndTheReportsStayExactAndValid) {
    TempFolder folder;
    const int64_t day = 1700000000;
    const fs::path in = folder.path() / "in", named = folder.path() / "named";
    const std::string db = folder.child("r.sqlite");
    const auto big = [&](const std::string& host, const std::string& account, const std::string& type) {
        return GeneratedRecord{day, makeKey(host, account, "u", "g", type, "cold", "cold"), 1, 9100000000000000000,
                               9100000000000000000};
    };
    // Two hosts whose sum passes 2^63; names a spreadsheet would read as formulas.
    writeRecordFile(in, day, 1, {big("BIG1", "=HYPERLINK(\"x\")", "@SUM(1+1)")});
    writeRecordFile(in, day, 2, {big("BIG2", "+cmd", "-x")});
    const std::string secret = "root:$6$secret:19000:0:99999:7:::\n";
    writeText(folder.path() / "shadow", secret);
    fs::permissions(folder.path() / "shadow", fs::perms::owner_read);
    const std::string key = AccountRecordFormat::keyText(makeKey("BAD", "a", "u", "g", "t", "hot", "hot"));
    const std::string value = "\n1:1:1:4096:0.4196\n";
    struct Attack {
        std::string name, content, message;  // no content: a link made below
    };
    const std::vector<Attack> attacks = {
        {"Hoardscan-999999999999999999-3.data", "1:" + std::to_string(day) + ":29:" + key + value,
         ": the day stamp of its name lies outside the days a run can have: 2000-01-01 to "},
        {"Hoardscan-1700000000-5.data", recordLines(big("BAD", "a", "t")) + recordLines(big("BAD", "a", "t")),
         ":3: the run's sums pass 2^63 with this record"},
        {"Hoardscan-1700000000-6.data", "1:" + std::to_string(day) + ":29:" + key + "\n1:1:1:4096:1.7e308\n",
         ":1: the weighted size is too large to store"},
        {"Hoardscan-1700000000-9.data", "", ": a symbolic link: import follows no links"},
        // The run of BIG1 imported from the searched folder, with other content.
        {"Hoardscan-1700000000-1.data", recordLines(big("BIG1", "other", "t")),
         ": this run of host \"BIG1\" was imported before from " + (in / "Hoardscan-1700000000-1.data").string()},
    };
    for (const Attack& attack : attacks)
        if (!attack.content.empty()) writeText(named / attack.name, attack.content);
    fs::create_symlink(folder.path() / "shadow", named / "Hoardscan-1700000000-9.data");
    // In a searched folder links and pipes are not even opened.
    fs::create_symlink(folder.path() / "shadow", in / "Hoardscan-1700000000-10.data");
    ASSERT_EQ(std::system(("mkfifo '" + (in / "Hoardscan-1700000000-11.data").string() + "'").c_str()), 0);
    // Files the scanner has not finished, and its extension logs, are left out.
    writeText(in / "Hoardscan-1700000000-14.make", recordLines(big("BIG3", "a", "t")));
    writeText(in / "HoardscanInactive-1700000000-14.csv.make", "");
    writeText(in / "HoardscanExtension-1700000000-14.log", "xyz\n");

    std::vector<std::string> arguments = {"import", "--db", db, in.string()};
    for (const Attack& attack : attacks) arguments.push_back((named / attack.name).string());
    const RunOutput result = runReport(arguments);
    EXPECT_EQ(result.exitCode, 2);
    for (const Attack& attack : attacks)
        EXPECT_NE(result.err.find((named / attack.name).string() + attack.message), std::string::npos)
            << attack.name << ": " << result.err;
    for (const char* skipped : {"Hoardscan-1700000000-10.data: skipped: a symbolic link, not followed",
                                "Hoardscan-1700000000-11.data: skipped: not a regular file",
                                "Hoardscan-1700000000-14.make: skipped: the scanner has not finished it",
                                "HoardscanInactive-1700000000-14.csv.make: skipped"})
        EXPECT_NE(result.err.find(skipped), std::string::npos) << skipped;
    EXPECT_EQ(result.err.find("secret"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("Imported 2 runs (2 records) and 0 side files"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("; 5 rejected"), std::string::npos) << result.out;

    const RunOutput json = runReport({"summary", "--db", db, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"total\": {\"files\": 2, \"bytes\": 18200000000000000000, \"bytesOnDisk\": "
                            "18200000000000000000, \"weightedSize\": 2002000000000000"),
              std::string::npos)
        << json.out;
    for (const char* invalid : {"inf", "nan", "-2"}) EXPECT_EQ(json.out.find(invalid), std::string::npos) << invalid;
    const RunOutput csv = runReport({"summary", "--db", db, "--csv"});
    EXPECT_NE(csv.out.find("\naccount,\"'=HYPERLINK(\"\"x\"\")\",,"), std::string::npos) << csv.out;
    const RunOutput tables = runReport({"summary", "--db", db});
    EXPECT_NE(tables.out.find("Total: 2 files, 15.8 EiB, 15.8 EiB on disk"), std::string::npos) << tables.out;
    EXPECT_EQ(runReport({"html", "--db", db, "-o", (folder.path() / "r.html").string()}).exitCode, 0);
}

}  // namespace
}  // namespace Quilna
