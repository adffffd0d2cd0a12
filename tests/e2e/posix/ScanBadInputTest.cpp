// A result directory that cannot be written does not stop the scan (names, unreadable and
// vanishing directories: the walk's own tests).
#include <gtest/gtest.h>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// A result directory that cannot be written costs one attempt and one line per flush, not per
// record, and the memory of one buffer; the run says so with exit code 3 and on standard error.
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
    EXPECT_TRUE(installation.names("side").empty());
    // The account record file has a directory of its own and is complete.
    EXPECT_EQ(filesCounted(installation.dataFile()), 100);
    EXPECT_EQ(installation.output(),
              "hoardscan: The scan ran, but these result files could not be written or finished: HoardscanInactive "
              "(could not be created). The log: " +
                  installation.base() + "/log/HoardscanDebug.log\n");
    EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code 3 after"), 1u);
    EXPECT_EQ(installation.logCount("100 files of 1000 bytes"), 1u) << installation.log();
    EXPECT_EQ(installation.logCount("1 of 2 result files finished"), 1u);
}

}  // namespace
}  // namespace Quilna::EndToEnd
