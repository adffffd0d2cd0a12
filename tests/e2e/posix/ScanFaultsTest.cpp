// Faults that strike while the program runs: the tree changing under the walk. The program is
// held still (SIGSTOP) at the moment a fault matters, the world is changed, and it goes on.
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

}  // namespace
}  // namespace Quilna::EndToEnd
