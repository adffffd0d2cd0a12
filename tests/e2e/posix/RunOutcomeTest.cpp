// What a run tells its scheduler and its administrator: the exit code, one line on standard
// error when it fails, the closing record in the log and at the collector, and the files it
// leaves behind.
#include <gtest/gtest.h>

#include "CollectorProcess.h"

namespace Quilna::EndToEnd {
namespace {

// Every file below the installation's directories that the program may write.
std::vector<std::string> writtenFiles(const ScanInstallation& installation) {
    std::vector<std::string> found;
    for (const char* sub : {"results", "side", "log", "runtime", "registry"})
        for (const auto& entry : fs::recursive_directory_iterator(installation.base() + "/" + sub))
            if (!entry.is_directory()) found.push_back(entry.path().string().substr(installation.base().size() + 1));
    return found;
}

// A run that stops before it has found its installation creates nothing, not even the log.
TEST(RunOutcome, TheCommandLineIsAnsweredOrRefusedWithoutTouchingTheDisk) {
    ScanInstallation installation;
    installation.writeInstallation();
    const std::string none = installation.base() + "/conf/none.conf";
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases{
        {{"--version"}, 0, "hoardscan 6."},
        {{"-v"}, 1, "hoardscan: unknown option -v\nUsage:"},
        {{"-c", none},
         1,
         "hoardscan: The scan could not be set up: the configuration file " + none +
             " cannot be found. Nothing was logged.\n"},
        {{},
         1,
         "hoardscan: The scan could not be set up: no configuration file: neither the option -c nor the "
         "installation's resource ConfigurationDir names one. Nothing was logged.\n"},
    };
    const auto before = writtenFiles(installation);
    for (const auto& [arguments, exitCode, output] : cases) {
        SCOPED_TRACE(output);
        installation.arguments = arguments;
        EXPECT_EQ(installation.wait(installation.start()), exitCode);
        EXPECT_EQ(installation.output().substr(0, output.size()), output) << installation.output();
        EXPECT_EQ(writtenFiles(installation), before);
    }
}

struct MistakeCase {
    std::function<void(ScanInstallation&)> make;
    int exitCode;
    std::string logged;  // a line of the log holds it, in the catalogue's words
};

// Each mistake is named in the log with its file, line, key or value, and the run ends with
// exit code 1 (or 2) and one line on standard error: the phase, the reason and the log's place.
TEST(RunOutcome, ConfigurationAndRulesMistakesAreNamedWithTheirFileLineAndValue) {
    const std::vector<MistakeCase> cases{
        {[](ScanInstallation& i) {
             i.settings["hoardscan.extension"] = {"Bool", "ture"};
         },
         1, "The setting hoardscan.extension has the value 'ture', which is not valid: true or false expected."},
        {[](ScanInstallation& i) {
             i.settings["hoardscan.extension"] = {"Bool", "false' {} } x () = '"};
         },
         1, "Unexpected '}': it closes no entry."},
        {[](ScanInstallation& i) { i.temperaturesRules = "hot 30\nwarm 7\n"; }, 1,
         "Expected \"more than 30 days\" but found \"7\" in line 2 of "},
        {[](ScanInstallation& i) { i.settings.erase("hoardscan.filesystems-in-parallel"); }, 2,
         "The setting hoardscan.filesystems-in-parallel is missing"},
    };
    for (const MistakeCase& mistake : cases) {
        SCOPED_TRACE(mistake.logged);
        ScanInstallation installation;
        installation.file("a.txt", 10);
        mistake.make(installation);
        ASSERT_EQ(installation.run(), mistake.exitCode) << installation.log();
        EXPECT_GE(installation.logCount(mistake.logged), 1u) << installation.log();
        EXPECT_EQ(installation.logCount("(Message not found.)"), 0u);
        EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code " + std::to_string(mistake.exitCode)),
                  1u);
        EXPECT_TRUE(installation.names("results").empty());
        const std::string output = installation.output();
        const std::string phase = mistake.exitCode == 1 ? "could not be set up: " : "could not start: ";
        EXPECT_EQ(output.rfind("hoardscan: The scan " + phase, 0), 0u) << output;
        EXPECT_TRUE(output.ends_with(" The log: " + installation.base() + "/log/HoardscanDebug.log\n")) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

// SIGTERM (and SIGINT) stop the walk at the next file: what was counted is written under the
// unfinished names. SIGHUP (log-off) lets the scan finish, and so does the death of the collector
// it forwards to. A warning at every file (an account placeholder deeper than any path) is
// logged a hundred times, and the rest counted.
TEST(RunOutcome, StopSignalsEndTheWalkAndKeepTheUnfinishedNames) {
    for (const auto& [signal, exitCode, name] :
         {std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 0, "SIGHUP"}}) {
        SCOPED_TRACE(name);
        ScanInstallation installation;
        const int files = 3000;
        for (int f = 0; f < files; ++f)
            installation.file("d" + std::to_string(f % 30) + "/f" + std::to_string(f), 1, 100, 100);
        installation.settings["hoardscan.log.debug-level"] = {"Integer", "4"};  // a line per file: a scan of a while
        installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
        installation.accountsRules =
            "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=*\naccount=%99%\n}\n}\n}\n}\n}\n";
        installation.writeInstallation();
        const std::string collected = installation.at("collected.log");
        CollectorProcess collector({CollectorProcess::program(), "-o", collected}, installation.at("runtime"),
                                   installation.at("collector.err"));
        ASSERT_TRUE(collector.ready()) << collector.errors();
        LogFollower follower(installation.at("log/HoardscanDebug.log"));
        const pid_t scan = installation.start();
        ASSERT_TRUE(follower.waitFor("Processing file \"", scan)) << installation.log();
        EXPECT_EQ(collector.stop(SIGKILL), -1);
        ::kill(scan, signal);
        ASSERT_EQ(installation.wait(scan), exitCode) << installation.log();
        EXPECT_EQ(installation.logCount("Got quit signal."), 1u) << installation.log();
        EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code " + std::to_string(exitCode)), 1u);
        const std::string kept = TestSupport::TestDirectory::readFile(collected);
        EXPECT_TRUE(kept.empty() || kept.ends_with("\r\n")) << kept;
        if (exitCode == 0) {
            EXPECT_EQ(filesCounted(installation.dataFile()), files);
            EXPECT_EQ(installation.logCount("Account placeholder number 99 goes deeper"), 100u);
            EXPECT_EQ(installation.logCount("Message 19 was left out of the log 2900 more times in this run"), 1u);
            continue;
        }
        const std::string unfinished = installation.resultFile("results", "Hoardscan", ".make");
        EXPECT_EQ(installation.names("results"), (std::vector<std::string>{fs::path(unfinished).filename().string()}));
        const double counted = filesCounted(unfinished);
        EXPECT_GT(counted, 0) << installation.log();
        EXPECT_LT(counted, files);
        const std::string table = installation.resultFile("side", "HoardscanInactive", ".csv.make");
        EXPECT_TRUE(fs::exists(table));
        EXPECT_EQ(installation.logCount(" files of " + std::to_string(static_cast<int64_t>(counted)) + " bytes"), 1u);
        EXPECT_EQ(installation.output().rfind(std::string("hoardscan: The scan was stopped by ") + name +
                                                  "; what it had counted keeps the unfinished names: " + table + ", " +
                                                  unfinished + ".",
                                              0),
                  0u)
            << installation.output();
    }
}

// The closing record counts what the run did and reaches the collector like every other record;
// only the collector's own user (and root) may send to it, so both run as that user. The
// unfinished files of a killed run are removed at start once their process is gone and a day
// has passed; a fresh one, or one whose process still runs, stays.
TEST(RunOutcome, TheClosingRecordSaysWhatTheRunDidAndIsForwarded) {
    ScanInstallation installation;
    installation.file("a.txt", 1000);
    installation.file("b/c.txt", 234);
    fs::create_directories(installation.path("locked/inner"));
    installation.writeInstallation();
    TestSupport::ChildProcess ended({"true"});
    ASSERT_EQ(ended.wait(), 0);
    auto unfinished = [&](const std::string& sub, const std::string& stem, pid_t process, int64_t ageDays) {
        const std::string path = installation.at(sub + "/" + stem + "-1356998400-" + std::to_string(process) +
                                                 (sub == "side" ? ".csv.make" : ".make"));
        std::ofstream(path) << "1:0:29:x\n";
        ScanInstallation::age(path, ageDays, ageDays);
        return path;
    };
    const std::vector<std::string> removed = {unfinished("results", "Hoardscan", ended.id(), 2),
                                              unfinished("side", "HoardscanInactive", ended.id(), 2)};
    const std::vector<std::string> kept = {unfinished("results", "Hoardscan", ended.id() + 100000, 0),
                                           unfinished("results", "Hoardscan", ::getpid(), 2)};
    std::vector<std::string> wrapper;
    std::string program = CollectorProcess::program();
    if (runningAsRoot()) {
        wrapper = installation.giveTo(nobody(), nobodyGroup());
        program = installation.base() + "/bin/hoardscan-collector";
        fs::copy_file(CollectorProcess::program(), program);
    }
    std::vector<std::string> words = wrapper;
    words.insert(words.end(), {program, "-o", installation.base() + "/collected.log", "-m",
                               installation.base() + "/conf/LogMessages"});
    CollectorProcess collector(words, installation.at("runtime"), installation.at("collector.err"));
    ASSERT_TRUE(collector.ready()) << collector.errors();
    fs::permissions(installation.path("locked"), fs::perms::none);
    ASSERT_EQ(installation.run(wrapper), 0) << installation.log();
    EXPECT_EQ(installation.output(), "");
    EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code 0 after "), 1u) << installation.log();
    EXPECT_EQ(installation.logCount(" seconds: 2 files of 1234 bytes"), 1u);
    EXPECT_EQ(installation.logCount(" 1 directories could not be read, 0 could not be walked to their end"), 1u);
    const std::string rest = "1 of 1 result files finished. Every result file was finished.";
    EXPECT_EQ(installation.logCount(rest), 1u);
    EXPECT_TRUE(eventually([&] {
        return TestSupport::TestDirectory::readFile(installation.base() + "/collected.log").find(rest) !=
               std::string::npos;
    })) << TestSupport::TestDirectory::readFile(installation.base() + "/collected.log");
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    for (const std::string& path : removed) {
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(installation.logCount("Removed the unfinished result file " + path + ": the run of process " +
                                        std::to_string(ended.id())),
                  1u)
            << installation.log();
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
