// Faults that strike while the program runs: the tree changing under the walk, a result
// directory that cannot be written until it suddenly can, a disk that fills during a flush and
// frees up again, the log directory removed, a finished name that is taken. The program is held
// still (SIGSTOP) at the moment a fault matters, the world is changed, and it goes on.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <set>
#include <sstream>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// "d7" of "Processing \"<tree>/churn/d7/\"...", or empty (also for "churn/d7/inner/").
std::string churnDirectoryOf(const std::string& line, const std::string& tree) {
    const std::string start = "Processing \"" + tree + "/churn/";
    const size_t at = line.find(start);
    if (at == std::string::npos) return std::string();
    const size_t from = at + start.size();
    // Only the churned directories themselves, not the directories below them.
    const size_t end = line.find('/', from);
    if (end == std::string::npos || line.compare(end, 2, "/\"") != 0) return std::string();
    return line.substr(from, end - from);
}

// The directories of the debug log's "Processing" lines come in the walk's order: each one
// right below the directory whose subtree the walk is in (depth first), and each file below the
// last directory named.
void expectWalkOrder(const std::string& log, const std::set<std::string>& files) {
    std::vector<std::string> open;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const size_t directory = line.find(": Processing \"");
        const size_t file = line.find(":    Processing file \"");
        if (directory != std::string::npos) {
            const size_t from = directory + 14;
            const std::string path = line.substr(from, line.rfind("\"...") - from);
            while (!open.empty() && path.rfind(open.back(), 0) != 0) open.pop_back();
            if (!open.empty()) {
                const std::string rest = path.substr(open.back().size());
                EXPECT_EQ(rest.find('/'), rest.size() - 1) << path << " is no subdirectory of " << open.back();
            }
            open.push_back(path);
        } else if (file != std::string::npos) {
            const size_t from = file + 22;
            const std::string name = line.substr(from, line.rfind("\"...") - from);
            ASSERT_FALSE(open.empty()) << line;
            EXPECT_EQ(files.count(open.back() + name), 1u) << open.back() + name;
        }
    }
}

// Directories vanish, become unreadable, lose files and get new ones while the walk is in them,
// with the walk's own reading and with helpers reading ahead: the walk goes on in its order,
// counts no file twice and none that never was, and the part nobody touched whole.
TEST(ScanFaults, TheTreeChangingUnderTheWalkDoesNotStopIt) {
  for (const char* helpers : {"0", "2"}) {
    SCOPED_TRACE(std::string("read-ahead ") + helpers);
    ScanInstallation installation;
    std::set<std::string> original;
    auto add = [&](const std::string& relative, size_t size) {
        installation.file(relative, size);
        original.insert(installation.path(relative));
    };
    for (int d = 0; d < 4; ++d)
        for (int f = 0; f < 25; ++f) add("stable/s" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", 10);
    const int churned = 24;
    for (int d = 0; d < churned; ++d) {
        const std::string directory = "churn/d" + std::to_string(d);
        for (int f = 0; f < 150; ++f) add(directory + "/f" + std::to_string(f) + ".txt", 100);
        for (int f = 0; f < 10; ++f) add(directory + "/inner/g" + std::to_string(f) + ".txt", 1000);
        for (int f = 0; f < 5; ++f) add(directory + "/inner/deeper/h" + std::to_string(f) + ".txt", 10000);
    }
    installation.settings["filetype"] = {"Integer", "3"};  // directory and name in every record
    installation.settings["log.debug-level"] = {"Integer", "4"};
    installation.settings["read-ahead"] = {"Integer", helpers};
    std::vector<std::string> wrapper;
    if (runningAsRoot()) {
        // Root would still read what the test makes unreadable.
        wrapper = installation.giveTo(nobody(), nobodyGroup());
    }
    installation.writeInstallation();

    // As the walk enters a directory of churn/, one of four faults strikes it, and a directory
    // is added to it.
    std::set<std::string> possible = original;
    LogFollower follower(installation.base() + "/log/HoardscanDebug.log");
    // The scan at the lowest priority: on a loaded machine the test still strikes while the
    // walk stands in the directory it just entered.
    const pid_t scan = installation.start(wrapper, [] { (void)::setpriority(PRIO_PROCESS, 0, 19); });
    std::set<std::string> struck;
    const bool ended = eventually([&] {
        for (const std::string& line : follower.newLines()) {
            const std::string name = churnDirectoryOf(line, installation.tree());
            if (name.empty() || !struck.insert(name).second) continue;
            const std::string directory = installation.path("churn/" + name);
            Stopped held(scan);
            std::error_code ignored;
            switch (std::stoi(name.substr(1)) % 4) {
            case 0:  // its subdirectory vanishes
                fs::remove_all(directory + "/inner", ignored);
                break;
            case 1:  // its subdirectory becomes unreadable
                fs::permissions(directory + "/inner", fs::perms::none, ignored);
                break;
            case 2:  // files go between the listing and their status
                for (int f = 0; f < 150; f += 2) fs::remove(directory + "/f" + std::to_string(f) + ".txt", ignored);
                break;
            case 3:  // the directory the walk stands in vanishes
                fs::remove_all(directory, ignored);
                break;
            }
            if (fs::create_directories(directory + "/added", ignored)) {
                installation.file("churn/" + name + "/added/new.txt", 1);
                possible.insert(directory + "/added/new.txt");
            }
        }
        return hasEnded(scan);
    }, 600s);
    if (!ended) ::kill(scan, SIGKILL);  // hung: its log shows where
    ASSERT_EQ(installation.wait(scan), 0) << installation.log() << installation.output();
    EXPECT_EQ(struck.size(), static_cast<size_t>(churned)) << "the walk did not reach every directory";

    // Every file counted once at most, and only files that were there; the stable part whole.
    std::map<std::string, double> counted;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords())
        counted[record.key[KeyField::FileSystem] + record.key[KeyField::FileType]] += record.values.files;
    size_t stable = 0;
    for (const auto& [path, files] : counted) {
        EXPECT_EQ(files, 1) << path;
        EXPECT_EQ(possible.count(path), 1u) << path;
        if (path.rfind(installation.path("stable/"), 0) == 0) ++stable;
    }
    EXPECT_EQ(stable, 100u);
    EXPECT_EQ(installation.logCount("could not return"), 0u) << installation.log();
    EXPECT_EQ(installation.logCount("Hoardscan has ended."), 1u);
    expectWalkOrder(installation.log(), possible);
    if (std::string(helpers) != "0") continue;
    // Without helpers some faults struck between the listing and the next step.
    EXPECT_LT(counted.size(), original.size());
    EXPECT_GT(installation.logCount("vanished or cannot be examined") + installation.logCount("Unable to access"), 0u)
        << installation.log();
  }
}

// The walk is 300 levels below a directory (whose handle it has let go) when the chain moves
// out of that directory and the directory is renamed: the walk cannot find its way back, loses
// what it had not yet taken of that directory, and walks the rest; the run says so in its exit
// code (4), on standard error and in its closing record, and still finishes its result files.
TEST(ScanFaults, ADirectoryMovedAwayAboveTheWalkCostsOnlyWhatWasLeftOfIt) {
    ScanInstallation installation;
    std::string chain = "a/deep";
    for (int level = 0; level < 300; ++level) chain += "/d";
    // Enough files at the bottom to hold the walk there while the test acts.
    for (int f = 0; f < 4000; ++f) installation.file(chain + "/f" + std::to_string(f), 1);
    installation.file("b/g.txt", 1);
    int before = 0, after = 0;
    for (int z = 0; z < 100 && after == 0; ++z) {
        installation.file("a/z" + std::to_string(z) + "/f.txt", 1);
        before = after = 0;
        bool deepSeen = false;
        for (const fs::directory_entry& entry : fs::directory_iterator(installation.path("a"))) {
            if (entry.path().filename() == "deep") deepSeen = true;
            else ++(deepSeen ? after : before);
        }
    }
    ASSERT_GT(after, 0);
    fs::create_directories(installation.base() + "/elsewhere");
    installation.settings["log.debug-level"] = {"Integer", "4"};
    installation.writeInstallation();

    LogFollower follower(installation.base() + "/log/HoardscanDebug.log");
    const pid_t scan = installation.start();
    ASSERT_TRUE(follower.waitFor("Processing \"" + installation.path(chain) + "/\"", scan));
    {
        Stopped held(scan);
        fs::rename(installation.path("a/deep"), installation.base() + "/elsewhere/deep");
        fs::rename(installation.path("a"), installation.path("a2"));
    }
    ASSERT_EQ(installation.wait(scan), 4) << installation.log() << installation.output();
    EXPECT_EQ(installation.logCount("The walk could not return to " + installation.path("a") + "/,"), 1u)
        << installation.log();
    EXPECT_EQ(installation.logCount("1 could not be walked to their end"), 1u);
    EXPECT_NE(installation.output().find("1 directories could not be walked to their end"), std::string::npos)
        << installation.output();
    double files = 0;
    for (const auto& [key, values] : ResultFileReader(installation.dataFile()).accountTotals()) files += values.files;
    EXPECT_EQ(files, 4000 + before + 1);  // the bottom of the chain, the z's before it, b/g.txt
}

// The files share one record: a refused flush keeps it, later files add to it, and nothing is
// lost, so the file is finished once a flush can write it.
TEST(ScanFaults, AWorkingDirectoryThatBecomesWritableGetsEveryRecordAtTheNextFlush) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a directory its user cannot write";
    ScanInstallation installation;
    for (int d = 0; d < 10; ++d)
        for (int f = 0; f < 30; ++f) installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".e", 10);
    installation.settings["buffer"] = {"Integer", "1"};  // every file a flush of its own
    installation.settings["log.debug-level"] = {"Integer", "3"};
    const std::vector<std::string> asNobody = installation.giveTo(nobody(), nobodyGroup());
    // Root's until the program has been refused there; then the program's own.
    const std::string results = installation.base() + "/results";
    ASSERT_EQ(::chown(results.c_str(), 0, 0), 0);
    installation.writeInstallation();

    LogFollower follower(installation.base() + "/log/HoardscanDebug.log");
    const pid_t scan = installation.start(asNobody);
    const bool refused = follower.waitFor("cannot be created", scan);
    if (refused) {
        Stopped held(scan);
        EXPECT_EQ(::chown(results.c_str(), nobody(), nobodyGroup()), 0);
    }
    const int code = installation.wait(scan);
    ASSERT_TRUE(refused) << installation.log();
    ASSERT_EQ(code, 0) << installation.log();

    // The records of the refused flushes were kept and written by a later one.
    EXPECT_GE(installation.logCount("CRITICAL"), 1u);
    ASSERT_TRUE(fs::exists(installation.dataFile())) << installation.log();
    EXPECT_EQ(ResultFileReader(installation.dataFile()).accountTotals().size(), 1u);
    EXPECT_EQ(filesCounted(installation.dataFile()), 300);
}

// The program in a mount namespace of its own, its working directory a small RAM disk filled
// up to the last 16 KiB; afterwards the disk's files are copied to "kept".
std::vector<std::string> onAFullDisk(const ScanInstallation& installation) {
    const std::string results = installation.base() + "/results";
    const std::string script =
        "R='" + results + "'; K='" + installation.base() + "/kept';"
        "mount -t tmpfs -o size=512k tmpfs \"$R\" || exit 97;"
        "head -c 16384 /dev/zero > \"$R/reserve\" || exit 97; cat /dev/zero > \"$R/filler\" 2>/dev/null;"
        "rm \"$R/reserve\"; \"$@\"; code=$?; rm -f \"$R/filler\"; mkdir -p \"$K\"; cp -a \"$R/.\" \"$K/\"; exit $code";
    return {"unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh"};
}

// Files that each make a record of their own (the extension differs), one flush per file.
void installManyRecords(ScanInstallation& installation, int files) {
    for (int f = 0; f < files; ++f)
        installation.file("d" + std::to_string(f % 10) + "/f" + std::to_string(f) + ".e" + std::to_string(f), 5);
    installation.settings["buffer"] = {"Integer", "1"};
    installation.writeInstallation();
}

// Records that find the buffer full while the disk is full are lost: the file stays unfinished,
// but what later flushes write once there is room is there, each record once.
TEST(ScanFaults, ADiskThatFillsDuringAFlushGoesOnOnceThereIsRoomAgain) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    const int files = 1500;
    installManyRecords(installation, files);
    LogFollower follower(installation.base() + "/log/HoardscanDebug.log");
    const pid_t shell = installation.start(onAFullDisk(installation));
    const std::string full = follower.waitForLine("could not take this record", shell);
    const pid_t scan = writerOf(full);
    if (!full.empty() && scan > 0) {
        // Room again: the next flush must write everything that waited.
        Stopped held(scan);
        fs::remove("/proc/" + std::to_string(scan) + "/root" + installation.base() + "/results/filler");
    }
    const int code = installation.wait(shell);
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_FALSE(full.empty()) << installation.log();
    ASSERT_EQ(code, 3) << installation.log();

    EXPECT_TRUE(namesEndingIn(installation.base() + "/kept", ".data").empty());
    const std::vector<std::string> unfinished = namesEndingIn(installation.base() + "/kept", ".make");
    ASSERT_EQ(unfinished.size(), 1u) << installation.log();
    // The records before the disk filled (16 KiB of them, about a hundred), the one kept through
    // it, and most of those after: each once.
    const auto totals = ResultFileReader(unfinished[0]).accountTotals();
    EXPECT_LT(totals.size(), static_cast<size_t>(files));
    EXPECT_GT(totals.size(), static_cast<size_t>(files / 2)) << "the flushes did not go on once there was room";
    for (const auto& [key, values] : totals) EXPECT_EQ(values.files, 1) << key;
    EXPECT_EQ(installation.logCount("is incomplete and keeps its unfinished name"), 1u);
}

TEST(ScanFaults, ADiskThatStaysFullLeavesOnlyWholeFlushesUnderTheUnfinishedName) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    const int files = 600;
    installManyRecords(installation, files);
    const int code = installation.wait(installation.start(onAFullDisk(installation)));
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 3) << installation.log();

    EXPECT_TRUE(namesEndingIn(installation.base() + "/kept", ".data").empty());
    const std::vector<std::string> unfinished = namesEndingIn(installation.base() + "/kept", ".make");
    ASSERT_EQ(unfinished.size(), 1u);
    // The flushes that failed part-way were cut off again: every line is whole.
    std::map<std::string, AccountValues> totals;
    ASSERT_NO_THROW(totals = ResultFileReader(unfinished[0]).accountTotals());
    EXPECT_GT(totals.size(), 0u);
    EXPECT_LT(totals.size(), static_cast<size_t>(files));
    for (const auto& [key, values] : totals) EXPECT_EQ(values.files, 1) << key;
    EXPECT_GE(installation.logCount("could not take this record"), 1u);
    EXPECT_EQ(installation.logCount("is incomplete and keeps its unfinished name"), 1u) << installation.log();
}

TEST(ScanFaults, TheLogDirectoryRemovedDuringTheRunCostsItsLinesAndNothingElse) {
    ScanInstallation installation;
    for (int d = 0; d < 30; ++d)
        for (int f = 0; f < 40; ++f) installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", 7);
    installation.settings["log.debug-level"] = {"Integer", "4"};
    installation.writeInstallation();
    const std::string logDirectory = installation.base() + "/log";

    LogFollower follower(logDirectory + "/HoardscanDebug.log");
    const pid_t scan = installation.start();
    ASSERT_TRUE(follower.waitFor("Processing \"" + installation.tree() + "/", scan)) << installation.log();
    std::string removedIn;
    {
        Stopped held(scan);
        removedIn = positionOf(scan, installation.tree());
        fs::remove_all(logDirectory);
    }
    // The walk goes on without a log; the directory comes back before it ends.
    const bool movedOn = eventually([&] { return positionOf(scan, installation.tree()) != removedIn || hasEnded(scan); });
    const bool stillRunning = !hasEnded(scan);
    if (stillRunning) {
        Stopped held(scan);
        fs::create_directory(logDirectory);
    }
    ASSERT_EQ(installation.wait(scan), 0) << installation.output();
    ASSERT_TRUE(movedOn && stillRunning) << "the scan ended before the log directory came back";

    EXPECT_EQ(filesCounted(installation.dataFile()), 1200);
    // A new log from the moment the directory was back, to the end.
    const std::string log = installation.log();
    EXPECT_NE(log.find("Opened log file"), std::string::npos) << log;
    EXPECT_EQ(installation.logCount("Hoardscan has ended."), 1u) << log;
    EXPECT_EQ(installation.logCount("Getting available drives"), 0u) << log;
}

TEST(ScanFaults, AFinishedNameThatIsTakenLeavesTheFileUnderItsUnfinishedName) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.file("b/c.doc", 20, 400, 400);
    installation.settings["inactive-log"] = {"Bool", "true"};
    const std::string results = installation.base() + "/results/";
    // A directory that is not empty holds the ".data" name: no rename can replace it.
    const int code = installation.run({}, [&] {
        const std::string taken = results + "Hoardscan-" + std::to_string(ResultFiles::dayStamp(DateTime())) + "-" +
                                  std::to_string(::getpid()) + ".data";
        if (::mkdir(taken.c_str(), 0755) != 0 || ::mkdir((taken + "/inside").c_str(), 0755) != 0) ::_exit(96);
    });
    ASSERT_EQ(code, 3) << installation.log();

    const std::string unfinished = installation.resultFile("results", "Hoardscan", ".make");
    EXPECT_EQ(installation.logCount("The finished result file " + unfinished + " could not be renamed to " +
                                    installation.dataFile() + "; it keeps its unfinished name."),
              1u)
        << installation.log();
    EXPECT_TRUE(fs::is_directory(installation.dataFile() + "/inside"));
    EXPECT_EQ(filesCounted(unfinished), 2);
    // The inactive-file table's own rename is not affected.
    EXPECT_EQ(ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows().size(), 1u);
}

}  // namespace
}  // namespace Quilna::EndToEnd
