// Faults that strike a run: the program goes on, counts what it could and says what it lost.
#include <gtest/gtest.h>

#include <sys/file.h>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

// Held still (SIGSTOP) 300 levels below a directory whose handle it has let go while the chain
// moves out and the directory is renamed: the walk loses only what was left of that directory.
TEST(ScanFaults, ADirectoryMovedAwayAboveTheWalkCostsOnlyWhatWasLeftOfIt) {
    ScanInstallation installation;
    std::string chain = "a/deep";
    for (int level = 0; level < 300; ++level) chain += "/d";
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
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "4"};
    installation.writeInstallation();

    const pid_t scan = installation.start();
    ASSERT_TRUE(installation.logShows("Processing \"" + installation.path(chain) + "/\"", scan));
    ::kill(scan, SIGSTOP);
    const std::string state = "/proc/" + std::to_string(scan) + "/stat";
    ASSERT_TRUE(
        eventually([&] { return TestSupport::TestDirectory::readFile(state).find(") T ") != std::string::npos; }));
    fs::rename(installation.path("a/deep"), installation.base() + "/elsewhere/deep");
    fs::rename(installation.path("a"), installation.path("a2"));
    ::kill(scan, SIGCONT);
    ASSERT_EQ(installation.wait(scan), 4) << installation.log() << installation.output();
    EXPECT_EQ(installation.logCount("The walk could not return to " + installation.path("a") + "/,"), 1u)
        << installation.log();
    EXPECT_EQ(installation.logCount("1 could not be walked to their end"), 1u);
    EXPECT_TRUE(holds(installation.output(), "1 directories could not be walked to their end"));
    EXPECT_EQ(filesCounted(installation.dataFile()),
              4000 + before + 1);  // the bottom of the chain, the z's before it, b/g.txt
}

TEST(HostileInput, AHeldResourcesFileCostsABoundedWaitAndNamesItsHolder) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.writeInstallation();
    const std::string file = installation.resourcesFile();
    const int held = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);
    EXPECT_EQ(installation.wait(installation.start()), 0) << installation.output();
    const std::string holder = "its lock was held for more than 5 seconds by process " + std::to_string(::getpid());
    EXPECT_EQ(installation.logCount("The resource HoardscanLogOpened cannot be stored in " + file + ": " + holder), 1u)
        << installation.log();
    // Waiting is no work: a poll every 10 ms.
    EXPECT_LE(processorSeconds(installation.usage), 2.0);

    fs::remove(installation.at("log/HoardscanDebug.log"));
    const pid_t scan = installation.start();
    ASSERT_TRUE(
        eventually([&] { return fs::exists(installation.at("log/HoardscanDebug.log")) || installation.ended(scan); }));
    ::kill(scan, SIGTERM);
    installation.wait(scan);
    EXPECT_EQ(installation.logCount("a stop was requested while waiting for its lock") + installation.logCount(holder),
              1u)
        << installation.log();
    ::close(held);
}

TEST(ScanBadInput, UnwritableResultDirectoriesAreTriedOncePerFlushAndEndWithExitCodeThree) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a directory its user cannot write";
    ScanInstallation installation;
    for (int i = 0; i < 100; ++i) installation.file("f" + std::to_string(i) + ".txt", 10, 100, i);
    installation.settings["hoardscan.buffer"] = {"Integer", "10"};
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    const std::vector<std::string> asNobody = installation.giveTo(nobody(), nobodyGroup());
    ASSERT_EQ(::chown((installation.base() + "/side").c_str(), 0, 0), 0);
    ASSERT_EQ(installation.run(asNobody), 3) << installation.log();
    // 100 inactive rows: a flush at the 10th and at every 10 more, and the final one.
    const std::string table = installation.resultFile("side", "HoardscanInactive", ".csv.make");
    EXPECT_EQ(installation.logCount("CRITICAL"), 11u) << installation.log();
    EXPECT_EQ(installation.logCount("The result file " + table + " cannot be created"), 11u);
    EXPECT_TRUE(fs::is_empty(installation.at("side")));
    EXPECT_EQ(filesCounted(installation.dataFile()), 100);
    EXPECT_EQ(installation.output(),
              "hoardscan: The scan ran, but these result files could not be written or finished: HoardscanInactive "
              "(could not be created). The log: " +
                  installation.base() + "/log/HoardscanDebug.log\n");
    EXPECT_EQ(installation.logCount("1 of 2 result files finished"), 1u);
}

}  // namespace
}  // namespace Quilna::EndToEnd
