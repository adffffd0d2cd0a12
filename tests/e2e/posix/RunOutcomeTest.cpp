// What a run tells its scheduler and its administrator, and the files it leaves behind.
#include <sys/file.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ScanInstallation.h"
#include "support/EnvironmentScope.h"

namespace Quilna::EndToEnd {
namespace {

// A mistake in the installation or the command line; what standard error starts with; what the log
// holds ("": nothing is made, before the installation is found), standard error one line naming it.
TEST(RunOutcome, RefusedRunsSayWhyAndMakeNothing) {
    const std::string setUp = "hoardscan: The scan could not be set up: ", notLogged = " Nothing was logged.\n";
    const auto with = [](std::vector<std::string> words) { return [=](ScanInstallation& i) { i.arguments = words; }; };
    const std::vector<std::tuple<std::function<void(ScanInstallation&)>, int, std::string, std::string>> runs{
        {with({"--version"}), 0, "hoardscan 6.", ""},
        {with({"-v"}), 1, "hoardscan: unknown option -v\nUsage:", ""},
        {with({"-c", "/none.conf"}), 1, setUp + "the configuration file /none.conf cannot be found." + notLogged, ""},
        {with({}), 1, setUp + "no configuration file: neither the option -c nor the installation's resource", ""},
        {[](ScanInstallation& i) { i.settings["hoardscan.extension"].second = "ture"; }, 1, setUp,
         "The setting hoardscan.extension has the value 'ture', which is not valid: true or false expected."},
        {[](ScanInstallation& i) { i.settings["hoardscan.extension"].second = "false' {} } x () = '"; }, 1,
         setUp + "the configuration file /", "Unexpected '}': it closes no entry."},
        {[](ScanInstallation& i) {
             i.settings["hoardscan.keep-results"] = {"Integer", "0"};
         },
         1, setUp,
         "The setting hoardscan.keep-results has the value '0', which is not valid: a whole number of days of at least "
         "1 expected."},
        {[](ScanInstallation& i) {
             i.settings["hoardscan.keep-results"] = {"Integer", "3O"};
         },
         1, setUp, "The setting hoardscan.keep-results has the value '3O', which is not valid: a whole number of days"},
        {[](ScanInstallation& i) { i.temperaturesRules = "hot 30\nwarm 7\n"; }, 1, setUp,
         "Expected \"more than 30 days\" but found \"7\" in line 2 of "},
        {[](ScanInstallation& i) { i.settings.erase("hoardscan.filesystems-in-parallel"); }, 2,
         "hoardscan: The scan could not start: ", "The setting hoardscan.filesystems-in-parallel is missing"},
    };
    for (const auto& [make, exitCode, said, logged] : runs) {
        SCOPED_TRACE(said + logged);
        ScanInstallation installation;
        installation.file("a.txt", 10);
        make(installation);
        ASSERT_EQ(installation.run(), exitCode) << installation.log();
        const std::string output = installation.output();
        EXPECT_TRUE(output.starts_with(said)) << output;
        EXPECT_TRUE(fs::is_empty(installation.at("results")));
        if (logged.empty()) {
            for (const char* sub : {"side", "log", "runtime"}) EXPECT_TRUE(fs::is_empty(installation.at(sub))) << sub;
            continue;
        }
        EXPECT_TRUE(holds(installation.log(), logged));
        EXPECT_TRUE(installation.logged({"(Message not found.)"}, 0));
        EXPECT_TRUE(installation.logged({"Hoardscan has finished with exit code " + std::to_string(exitCode),
                                         " seconds: 0 files of 0 bytes (0 bytes on disk) counted, 0 directories could "
                                         "not be read, 0 could not be walked to their end, 0 of 0 result files "
                                         "finished."}));
        EXPECT_TRUE(output.ends_with(" The log: " + installation.base() + "/log/HoardscanDebug.log\n")) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

// Whether a process holds a lock: a line of /proc/locks that names it and is no waiter's ("->").
bool holdsALock(pid_t process) {
    std::ifstream table("/proc/locks");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, pid;
        if (fields >> id >> kind && kind != "->" && fields >> mode >> access >> pid && pid == std::to_string(process))
            return true;
    }
    return false;
}

// The first run holds the installation from its start: here it waits for the resources file this
// test holds. A second stops at once, naming it, and writes nothing; the first then ends well.
TEST(RunOutcome, ASecondScanOfAnInstallationStopsAtOnceNamingTheRunningOne) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.writeInstallation();
    const int held = ::open(installation.resourcesFile().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);
    const pid_t first = installation.start();
    ASSERT_TRUE(eventually([&] { return holdsALock(first); }));
    EXPECT_EQ(installation.wait(installation.start()), 1);
    EXPECT_TRUE(holds(installation.output(), "another scan of this installation (" + installation.at("conf") +
                                                 "/hoardscan.conf) is running: process " + std::to_string(first)));
    ::close(held);
    EXPECT_EQ(installation.wait(first), 0) << installation.log();
    EXPECT_EQ(installation.logCount("Hoardscan has finished"), 1u);
}

// Rules files written as earlier versions took them: letters after a band's limit, a band after
// "infinity", a type block the file ends in. The run goes on, each read as it stands, with a warning.
// Under a filter that passes warnings only, the closing record is logged all the same.
TEST(RunOutcome, RulesFilesOfEarlierInstallationsAreTakenAsTheyStandWithAWarning) {
    ScanInstallation installation;
    installation.file("young.doc", 1, 10, 10);
    installation.file("old.txt", 1, 500, 500);
    installation.temperaturesRules = "hot 12days\nwarm infinity\nlate 400\n";
    installation.fileTypesRules = "default=other\ndocuments\n{\ndoc\n}\ntexts\n{\ntxt\n";
    installation.settings["hoardscan.filetype"] = {"Integer", "1"};
    installation.settings["log.global.severity"] = {"String", "warning"};
    installation.writeInstallation();
    ASSERT_EQ(installation.run(), 0) << installation.log();
    EXPECT_TRUE(installation.logged({"Hoardscan has finished with exit code 0 after "}));
    EXPECT_EQ(installation.logCount("NOTICE "), 1u) << installation.log();
    const std::string conf = installation.at("conf/");
    EXPECT_TRUE(installation.logged(
        {"Line 1 of " + conf +
             "temperatures.rules, \"hot 12days\", is taken as it stands but may be a "
             "mistake: taken as 12 days, what follows the number left aside.",
         "Line 3 of " + conf +
             "temperatures.rules, \"late 400\", is taken as it stands but may be a mistake: it "
             "follows a band without limit, starts again at day 0 and is never chosen.",
         "The file type mapping " + conf + "filetypes.rules ends inside the block of type \"texts\" begun in line 6"}));
    std::set<std::string> kinds;
    for (const AccountRecord& record : installation.records())
        kinds.insert(record.key[KeyField::FileType] + ":" + record.key[KeyField::AccessTemperature]);
    EXPECT_EQ(kinds, (std::set<std::string>{"documents:hot", "texts:warm"}));
}

// SIGHUP (log-off) and the collector's death let it finish. A warning at every file is logged a
// hundred times, the rest counted.
TEST(RunOutcome, StopSignalsEndTheWalkAndKeepTheUnfinishedNames) {
    for (const auto& [signal, exitCode, name] :
         {std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 0, "SIGHUP"}}) {
        SCOPED_TRACE(name);
        ScanInstallation installation;
        const int files = 3000;
        for (int f = 0; f < files; ++f)
            installation.file("d" + std::to_string(f % 30) + "/f" + std::to_string(f), 1, 100, 100);
        installation.settings["hoardscan.log.debug-level"] = {"Integer", "4"};  // a line per file
        installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
        installation.accountsRules =
            "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=*\naccount=%99%\n}\n}\n}\n}\n}\n";
        installation.writeInstallation();
        const std::string collected = installation.at("collected.log");
        CollectorProcess collector({"-o", collected}, installation.at("runtime"), installation.at("collector.err"));
        ASSERT_TRUE(collector.ready()) << collector.errors();
        const pid_t scan = installation.start();
        ASSERT_TRUE(eventually([&] { return installation.logCount("Processing file \"") > 0; })) << installation.log();
        EXPECT_EQ(collector.stop(SIGKILL), -1);
        ::kill(scan, signal);
        ASSERT_EQ(installation.wait(scan), exitCode) << installation.log();
        EXPECT_TRUE(
            installation.logged({"Got quit signal.", "Max threads available for parallelism: ", "Used threads: 1",
                                 "Hoardscan has finished with exit code " + std::to_string(exitCode)}));
        const std::string kept = TestSupport::TestDirectory::readFile(collected);
        EXPECT_TRUE(kept.empty() || (kept.ends_with("\n") && !kept.ends_with("\r\n"))) << kept;
        if (exitCode == 0) {
            EXPECT_EQ(filesCounted(installation.dataFile()), files);
            EXPECT_TRUE(installation.logged({"Account placeholder number 99 goes deeper"}, 100));
            EXPECT_TRUE(installation.logged({"Message 19 was left out of the log 2900 more times in this run"}));
            continue;
        }
        const std::string unfinished = installation.resultFile("results", "Hoardscan", ".make");
        EXPECT_EQ(std::vector(fs::directory_iterator(installation.at("results")), {}),
                  std::vector{fs::directory_entry(unfinished)});
        const double counted = filesCounted(unfinished);
        EXPECT_TRUE(counted > 0 && counted < files) << counted << installation.log();
        const std::string table = installation.resultFile("side", "HoardscanInactive", ".csv.make");
        EXPECT_TRUE(fs::exists(table));
        EXPECT_TRUE(installation.logged({" files of " + std::to_string(static_cast<int64_t>(counted)) + " bytes"}));
        EXPECT_TRUE(holds(installation.output(), std::string("hoardscan: The scan was stopped by ") + name +
                                                     "; what it had counted keeps the unfinished names: " + table +
                                                     ", " + unfinished + "."));
    }
}

// Finished result files past hoardscan.keep-results go at start, each named in the log. Only names
// of this program's making where it writes them, plain files of its own user, never through a
// link; not the young ones, nor a running process's.
TEST(RunOutcome, FinishedResultFilesPastTheirDaysAreRemovedAndNothingElse) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.writeEveryResultFile("frozen", 0);
    installation.settings["hoardscan.keep-results"] = {"Integer", "30"};
    TestSupport::ChildProcess ended({"true"});
    ASSERT_EQ(ended.wait(), 0);
    const std::string gone = "-1356998400-" + std::to_string(ended.id());
    const auto plant = [&](const std::string& relative, int64_t ageDays) {
        const std::string path = installation.at(relative);
        std::ofstream(path) << "1:0:29:x\n";
        ScanInstallation::age(path, ageDays, ageDays);
        return path;
    };
    const std::vector<std::string> old = {
        plant("results/Hoardscan" + gone + ".data", 31), plant("side/HoardscanInactive" + gone + ".csv", 31),
        plant("side/HoardscanExtension" + gone + ".log", 40), plant("side/Hoardscan-frozen" + gone + ".log", 400)};
    const std::string victim = plant("victim", 400), link = installation.at("side/Hoardscan-hot" + gone + ".log");
    std::vector<std::string> kept = {
        victim,
        link,
        installation.at("results/Hoardscan" + gone + "2.data"),
        plant("results/Hoardscan" + gone + "1.data", 29),
        plant("results/Hoardscan" + gone + ".data.old", 400),
        plant("results/hoardscan" + gone + ".data", 400),
        plant("side/Hoardscan" + gone + ".data", 400),  // not where the program writes it
        plant("side/HoardscanInactive-1356998400-" + std::to_string(::getpid()) + ".csv", 400)};
    fs::create_symlink(victim, link);
    ScanInstallation::age(link, 400, 400);
    fs::create_directory(kept[2]);
    ScanInstallation::age(kept[2], 400, 400);
    if (runningAsRoot()) {
        kept.push_back(plant("results/Hoardscan" + gone + "3.data", 400));
        ASSERT_EQ(::lchown(kept.back().c_str(), nobody(), nobodyGroup()), 0);
    }
    ASSERT_EQ(installation.run(), 0) << installation.log();
    for (const std::string& path : old) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
        EXPECT_TRUE(installation.logged({"Removed the result file " + path +
                                         ": it was last written more than 30 days ago (hoardscan.keep-results)."}));
    }
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
    EXPECT_TRUE(installation.logged({"Removed the result file "}, old.size()));
    EXPECT_TRUE(installation.logged({"Removed 4 result files older than 30 days: 36 bytes freed."}));
    EXPECT_EQ(TestSupport::TestDirectory::readFile(victim), "1:0:29:x\n");
    EXPECT_TRUE(fs::exists(installation.dataFile()));
}

// Only the collector's own user (and root) may send to it, and it finds the catalogue as the scan
// would without -c. Unfinished files are removed at start
// once their process is gone and a day has passed. A held resources file costs a bounded wait.
TEST(RunOutcome, TheClosingRecordSaysWhatTheRunDidAndIsForwarded) {
    ScanInstallation installation;
    installation.file("a.txt", 1000);
    installation.file("b/c.txt", 234);
    fs::create_directories(installation.path("locked/inner"));
    installation.settings["Quilna.directories.log"] = {"DirName", "log"};  // from where it starts, all the run
    installation.resources["ConfigurationDir"] = installation.at("conf");
    installation.writeInstallation();
    TestSupport::EnvironmentScope registry{"QUILNA_REGISTRY_ROOT", installation.at("registry")};
    TestSupport::EnvironmentScope key{"QUILNA_ENV", std::nullopt};
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
    if (runningAsRoot()) wrapper = installation.giveTo(nobody(), nobodyGroup());
    std::vector<std::string> words = wrapper;
    words.push_back(wrapper.empty() ? CollectorProcess::program() : installation.at("bin/hoardscan-collector"));
    CollectorProcess collector({"-o", installation.base() + "/collected.log"}, installation.at("runtime"),
                               installation.at("collector.err"), "", words);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    fs::permissions(installation.path("locked"), fs::perms::none);
    const int held = ::open(installation.resourcesFile().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);
    ASSERT_EQ(installation.run(wrapper), 0) << installation.log();
    ::close(held);
    EXPECT_EQ(installation.output(), "");
    EXPECT_LE(processorSeconds(installation.usage), 2.0);  // waiting is no work: a poll every 10 ms
    const std::string rest = "1 of 1 result files finished. Every result file was finished.";
    EXPECT_TRUE(
        installation.logged({"The resource HoardscanLogOpened cannot be stored in " + installation.resourcesFile() +
                                 ": its lock was held for more than 5 seconds by process " + std::to_string(::getpid()),
                             "Hoardscan has finished with exit code 0 after ", " seconds: 2 files of 1234 bytes",
                             "Getting available drives...", "Processing file systems...",
                             "No hoardscan.keep-results configured: finished result files are kept.",
                             " 1 directories could not be read, 0 could not be walked to their end", rest}));
    const auto collected = [&] { return TestSupport::TestDirectory::readFile(installation.at("collected.log")); };
    EXPECT_TRUE(eventually([&] { return collected().find(rest) != std::string::npos; }))
        << collected() << collector.errors();
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    for (const std::string& path : removed) {
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(installation.logged(
            {"Removed the unfinished result file " + path + ": the run of process " + std::to_string(ended.id())}));
    }

    // A result directory its user cannot write is tried once per flush: at the 10th inactive row,
    // at every 10 more, and at the end.
    if (!runningAsRoot()) return;
    for (int i = 0; i < 100; ++i) installation.file("f" + std::to_string(i) + ".txt", 10, 100, i);
    installation.settings["hoardscan.buffer"] = {"Integer", "10"};
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    ASSERT_EQ(::chown(installation.at("side").c_str(), 0, 0), 0);
    const size_t critical = installation.logCount("CRITICAL");
    ASSERT_EQ(installation.run(wrapper), 3) << installation.log();
    const std::string table = installation.resultFile("side", "HoardscanInactive", ".csv.make");
    EXPECT_EQ(installation.logCount("CRITICAL"), critical + 11) << installation.log();
    EXPECT_TRUE(installation.logged({"The result file " + table + " cannot be created"}, 11));
    EXPECT_TRUE(fs::is_empty(installation.at("side")));
    EXPECT_EQ(filesCounted(installation.dataFile()), 102);
    EXPECT_EQ(installation.output(),
              "hoardscan: The scan ran, but these result files could not be written or finished: HoardscanInactive "
              "(could not be created). The log: " +
                  installation.base() + "/log/HoardscanDebug.log\n");
    EXPECT_TRUE(installation.logged({"1 of 2 result files finished"}));
}

}  // namespace
}  // namespace Quilna::EndToEnd
