// A fault that strikes while the program runs: the program is held still (SIGSTOP) at the
// moment the fault matters, the world is changed, and it goes on. (The tree changing under the
// walk in every other way: the walk's own tests.)
#include <gtest/gtest.h>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

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
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "4"};
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
    EXPECT_EQ(filesCounted(installation.dataFile()),
              4000 + before + 1);  // the bottom of the chain, the z's before it, b/g.txt
}

}  // namespace
}  // namespace Quilna::EndToEnd
