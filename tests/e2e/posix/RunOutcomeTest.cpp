// What a run tells its scheduler and its administrator: the exit code, one line on standard
// error when it fails, the closing record in the log and at the collector, and the files it
// leaves behind, for the command line, installation and configuration mistakes, stop signals
// and the unfinished files of killed runs.
#include <gtest/gtest.h>

#include "CollectorProcess.h"
#include "RunControl.h"

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

std::string logPathOf(const ScanInstallation& installation) { return installation.base() + "/log/HoardscanDebug.log"; }

struct CommandCase {
    std::vector<std::string> arguments;
    int exitCode;
    std::string output;  // the start of what the program printed
};

// Nothing is created, not even the log or the resources file, by a run that stops before it
// has found its installation.
TEST(RunOutcome, TheCommandLineIsAnsweredOrRefusedWithoutTouchingTheDisk) {
    ScanInstallation installation;
    installation.writeInstallation();
    const std::string conf = installation.base() + "/conf/hoardscan.conf";
    const std::vector<CommandCase> cases{
        {{"--help"}, 0, "Usage: hoardscan [-c FILE]\n"},
        {{"-h"}, 0, "Usage: hoardscan [-c FILE]\n"},
        {{"--version"}, 0, "hoardscan 6."},
        {{"--config", conf}, 1, "hoardscan: unknown option --config\nUsage:"},
        {{"-v", "-c", conf}, 1, "hoardscan: unknown option -v\nUsage:"},
        {{"-c", conf, "extra"}, 1, "hoardscan: unexpected argument 'extra'\nUsage:"},
        {{"-c", conf, "-c", conf}, 1, "hoardscan: -c is given twice\nUsage:"},
        {{"-c", installation.base() + "/conf/none.conf"}, 1,
         "hoardscan: The scan could not be set up: the configuration file " + installation.base() +
             "/conf/none.conf cannot be found. Nothing was logged.\n"},
    };
    const auto before = writtenFiles(installation);
    for (const CommandCase& command : cases) {
        installation.arguments = command.arguments;
        EXPECT_EQ(installation.wait(installation.start()), command.exitCode) << command.arguments[0];
        EXPECT_EQ(installation.output().substr(0, command.output.size()), command.output) << installation.output();
        EXPECT_EQ(writtenFiles(installation), before) << command.arguments[0];
    }
    // No -c and no installation resources at all.
    fs::remove(installation.base() + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg");
    installation.arguments = std::vector<std::string>{};
    EXPECT_EQ(installation.wait(installation.start()), 1);
    EXPECT_EQ(installation.output(),
              "hoardscan: The scan could not be set up: no configuration file: neither the option -c nor the "
              "installation's resource ConfigurationDir names one. Nothing was logged.\n");
    EXPECT_TRUE(writtenFiles(installation).empty());
}

struct MistakeCase {
    std::string what;
    std::function<void(ScanInstallation&)> make;
    int exitCode;
    std::string logged;                 // a line of the log holds it, in the catalogue's words
    std::string confFrom = {};          // a change to the written configuration file
    std::string confTo = {};
};

// Each mistake is named in the log with its file, line, key or value, and the run ends with
// exit code 1 (or 2) and the reason on standard error.
TEST(RunOutcome, ConfigurationAndRulesMistakesAreNamedWithTheirFileLineAndValue) {
    auto none = [](ScanInstallation&) {};
    const std::vector<MistakeCase> cases{
        {"a Bool spelt wrong", [](ScanInstallation& i) { i.settings["extension"] = {"Bool", "ture"}; }, 1,
         "The setting hoardscan.extension has the value 'ture', which is not valid: true or false expected."},
        {"a missing setting", [](ScanInstallation& i) { i.settings.erase("extension"); }, 1,
         "The setting hoardscan.extension is missing from the configuration"},
        {"the wrong type", [](ScanInstallation& i) { i.settings["filetype"] = {"String", "0"}; }, 1,
         "The setting hoardscan.filetype has the value '0', which is not valid: a value of type Integer expected, not "
         "String."},
        {"a missing closing brace", none, 1,
         "Missing '}' of entry \"hoardscan\" opened in line 6, found the end of the file.", "'false' {}",
         "'false' {"},
        {"an extra closing brace", none, 1, "Unexpected '}': it closes no entry.", "'false' {}", "'false' {} }"},
        {"days that are no number", [](ScanInstallation& i) { i.temperaturesRules = "hot 7\nwarm thirty\n"; }, 1,
         "Expected \"a number of days or infinity\" but found \"thirty\" in line 2 of "},
        {"bands out of order", [](ScanInstallation& i) { i.temperaturesRules = "hot 30\nwarm 7\n"; }, 1,
         "Expected \"more than 30 days\" but found \"7\" in line 2 of "},
        {"a monitor that is no band",
         [](ScanInstallation& i) {
             i.settings["temperature-log"] = {"Bool", "true"};
             i.settings["temperature-monitor"] = {"String", "cool"};
             i.settings["temperature-monitor-size"] = {"Integer", "0"};
         },
         1, "The setting hoardscan.temperature-monitor has the value 'cool', which is not valid: one of the "
            "temperatures hot, warm, cold, frozen expected."},
        {"no temperatures file",
         [](ScanInstallation& i) { i.settings["temperatures"] = {"FileName", i.base() + "/conf/none.rules"}; }, 1,
         "/conf/none.rules, which cannot be used"},
        {"no file type mapping",
         [](ScanInstallation& i) {
             i.settings["filetype"] = {"Integer", "1"};
             i.settings["filename"] = {"FileName", i.base() + "/conf/none.rules"};
         },
         1, "/conf/none.rules, which cannot be used"},
        {"no parallelism setting", [](ScanInstallation& i) { i.settings.erase("filesystems-in-parallel"); }, 2,
         "The setting hoardscan.filesystems-in-parallel is missing"},
    };
    for (const MistakeCase& mistake : cases) {
        SCOPED_TRACE(mistake.what);
        ScanInstallation installation;
        installation.file("a.txt", 10);
        mistake.make(installation);
        installation.writeInstallation();
        const std::string confPath = installation.base() + "/conf/hoardscan.conf";
        if (!mistake.confFrom.empty()) {
            std::string conf = TestSupport::TestDirectory::readFile(confPath);
            conf.replace(conf.find(mistake.confFrom), mistake.confFrom.size(), mistake.confTo);
            std::ofstream(confPath, std::ios::trunc) << conf;
        }
        ASSERT_EQ(installation.wait(installation.start()), mistake.exitCode) << installation.log();
        const std::string log = installation.log();
        EXPECT_NE(log.find(mistake.logged), std::string::npos) << log;
        EXPECT_EQ(log.find("(Message not found.)"), std::string::npos) << log;
        EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code " + std::to_string(mistake.exitCode)), 1u);
        EXPECT_TRUE(installation.names("results").empty());
        // One line: the phase, the reason (the last FATAL text) and the log's place.
        const std::string output = installation.output();
        const std::string phase = mistake.exitCode == 1 ? "could not be set up: " : "could not start: ";
        EXPECT_EQ(output.rfind("hoardscan: The scan " + phase, 0), 0u) << output;
        EXPECT_NE(output.find(" The log: " + logPathOf(installation) + "\n"), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        if (mistake.confFrom.empty()) {
            EXPECT_NE(output.find(mistake.logged), std::string::npos) << output;
        } else {
            EXPECT_NE(log.find("Error in the configuration file " + confPath + ": "), std::string::npos) << log;
        }
    }
}

// A monitored temperature spelt in other letters is the band of that name; the temperature
// log keeps the name as configured.
TEST(RunOutcome, TheMonitoredTemperatureIsFoundWithoutCase) {
    ScanInstallation installation;
    installation.file("old/a.txt", 5000, 100, 100);
    installation.settings["temperature-log"] = {"Bool", "true"};
    installation.settings["temperature-monitor"] = {"String", "Cold"};
    installation.settings["temperature-monitor-size"] = {"Integer", "0"};
    ASSERT_EQ(installation.run(), 0) << installation.log();
    EXPECT_EQ(installation.output(), "");
    const auto rows = ResultFileReader(installation.resultFile("side", "Hoardscan-Cold", ".log")).temperatureRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].directory, installation.path("old/"));
}

// SIGINT and SIGTERM stop the walk at the next file: what was counted is written under the
// unfinished names. SIGHUP (log-off) lets the scan finish.
TEST(RunOutcome, StopSignalsEndTheWalkAndKeepTheUnfinishedNames) {
    struct SignalCase {
        int signal;
        int exitCode;
        const char* name;
    };
    for (const SignalCase& stop : {SignalCase{SIGTERM, 143, "SIGTERM"}, SignalCase{SIGINT, 130, "SIGINT"},
                                   SignalCase{SIGHUP, 0, "SIGHUP"}}) {
        SCOPED_TRACE(stop.name);
        ScanInstallation installation;
        const int files = 3000;
        for (int f = 0; f < files; ++f) installation.file("d" + std::to_string(f % 30) + "/f" + std::to_string(f), 1, 100, 100);
        installation.settings["log.debug-level"] = {"Integer", "4"};  // a line per file: a scan of a while
        installation.settings["inactive-log"] = {"Bool", "true"};
        installation.writeInstallation();
        LogFollower follower(logPathOf(installation));
        const pid_t scan = installation.start();
        ASSERT_TRUE(follower.waitFor("Processing file \"", scan)) << installation.log();
        ::kill(scan, stop.signal);
        ASSERT_EQ(installation.wait(scan), stop.exitCode) << installation.log();
        EXPECT_EQ(installation.logCount("Got quit signal."), 1u) << installation.log();
        EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code " + std::to_string(stop.exitCode)), 1u);
        if (stop.exitCode == 0) {
            EXPECT_EQ(filesCounted(installation.dataFile()), files);
            EXPECT_EQ(installation.output(), "");
            continue;
        }
        EXPECT_NE(installation.logCount(std::string("The scan was stopped by ") + stop.name), 0u);
        const std::string unfinished = installation.resultFile("results", "Hoardscan", ".make");
        EXPECT_EQ(installation.names("results"), (std::vector<std::string>{fs::path(unfinished).filename().string()}));
        const double counted = filesCounted(unfinished);
        EXPECT_GT(counted, 0) << installation.log();
        EXPECT_LT(counted, files);
        EXPECT_TRUE(fs::exists(installation.resultFile("side", "HoardscanInactive", ".csv.make")));
        EXPECT_EQ(installation.logCount(" files of " + std::to_string(static_cast<int64_t>(counted)) + " bytes"), 1u)
            << installation.log();
        EXPECT_EQ(installation.output().rfind(std::string("hoardscan: The scan was stopped by ") + stop.name, 0), 0u)
            << installation.output();
    }
}

// The unfinished files of a killed run are removed by a later run once their process is gone
// and a day has passed; a fresh one, or one whose process still runs, stays.
TEST(RunOutcome, UnfinishedFilesOfRunsLongGoneAreRemovedAtStart) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.writeInstallation();
    const pid_t gone = installation.start();  // a run that has ended: its id is free
    ASSERT_EQ(installation.wait(gone), 0);
    const int32_t day = installation.dayStamp;
    auto unfinished = [&](const std::string& sub, const std::string& stem, pid_t process, const std::string& ending,
                          int64_t ageDays) {
        const std::string path = installation.base() + "/" + sub + "/" + stem + "-" + std::to_string(day - 86400) +
                                 "-" + std::to_string(process) + ending;
        std::ofstream(path) << "1:0:29:x\n";
        ScanInstallation::age(path, ageDays, ageDays);
        return path;
    };
    const std::string stale = unfinished("results", "Hoardscan", gone, ".make", 2);
    const std::string staleTable = unfinished("side", "HoardscanInactive", gone, ".csv.make", 2);
    const std::string fresh = unfinished("results", "Hoardscan", gone + 100000, ".make", 0);
    const std::string running = unfinished("results", "Hoardscan", ::getpid(), ".make", 2);
    const std::string other = installation.base() + "/results/notes.make";
    std::ofstream(other) << "x";
    ScanInstallation::age(other, 5, 5);

    ASSERT_EQ(installation.run(), 0) << installation.log();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(staleTable));
    for (const std::string& kept : {fresh, running, other}) EXPECT_TRUE(fs::exists(kept)) << kept;
    for (const std::string& removed : {stale, staleTable})
        EXPECT_EQ(installation.logCount("Removed the unfinished result file " + removed + ": the run of process " +
                                        std::to_string(gone)),
                  1u)
            << installation.log();
}

// The closing record reaches the collector like every other record.
TEST(RunOutcome, TheClosingRecordSaysWhatTheRunDidAndIsForwarded) {
    ScanInstallation installation;
    installation.file("a.txt", 1000);
    installation.file("b/c.txt", 234);
    fs::create_directories(installation.path("locked/inner"));
    installation.writeInstallation();
    // Only the collector's own user (and root) may send to it: both run as the same user.
    std::vector<std::string> wrapper;
    std::string program = CollectorProcess::program();
    if (runningAsRoot()) {
        wrapper = installation.giveTo(nobody(), nobodyGroup());
        program = installation.base() + "/bin/hoardscan-collector";
        fs::copy_file(CollectorProcess::program(), program);
    }
    std::vector<std::string> words = wrapper;
    for (const std::string& word : {program, std::string("-o"), installation.base() + "/collected.log",
                                    std::string("-m"), installation.base() + "/conf/LogMessages"})
        words.push_back(word);
    CollectorProcess collector(words, installation.base() + "/collector.err", "",
                               {{"QUILNA_RUNTIME_DIR", installation.base() + "/runtime"}});
    ASSERT_TRUE(collector.ready()) << collector.errors();
    fs::permissions(installation.path("locked"), fs::perms::none);
    ASSERT_EQ(installation.run(wrapper), 0) << installation.log();
    EXPECT_EQ(installation.output(), "");
    const std::string closing = "Hoardscan has finished with exit code 0 after ";
    const std::string counts = " seconds: 2 files of 1234 bytes";
    const std::string rest = "1 directories could not be read, 0 could not be walked to their end, 1 of 1 result files "
                             "finished. Every result file was finished.";
    const std::string log = installation.log();
    ASSERT_NE(log.find(closing), std::string::npos) << log;
    EXPECT_NE(log.find(counts), std::string::npos) << log;
    EXPECT_NE(log.find(rest), std::string::npos) << log;
    EXPECT_TRUE(eventually([&] {
        return TestSupport::TestDirectory::readFile(installation.base() + "/collected.log").find(rest) != std::string::npos;
    })) << TestSupport::TestDirectory::readFile(installation.base() + "/collected.log");
}

}  // namespace
}  // namespace Quilna::EndToEnd
