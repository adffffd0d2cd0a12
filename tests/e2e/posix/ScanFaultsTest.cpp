// Faults that strike a run: the program goes on, counts what it could and says what it lost.
#include <gtest/gtest.h>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

// Held still 300 levels below a directory whose handle it has let go while that is renamed.
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
    ASSERT_TRUE(
        eventually([&] { return installation.logCount("Processing \"" + installation.path(chain) + "/\"") > 0; }));
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

}  // namespace
}  // namespace Quilna::EndToEnd
