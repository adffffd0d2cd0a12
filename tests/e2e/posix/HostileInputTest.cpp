// Another process holds the lock of the resources file: the run waits a bounded time, says who
// holds the lock, and a SIGTERM ends the wait. (The limits on values that references make grow,
// and on warnings repeated at every file: the configuration's, the logger's and the run's tests.)
#include <gtest/gtest.h>

#include <sys/file.h>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

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

    // A stop request ends the wait at once.
    fs::remove(installation.at("log/HoardscanDebug.log"));
    const pid_t scan = installation.start();
    ASSERT_TRUE(eventually([&] { return fs::exists(installation.at("log/HoardscanDebug.log")) || hasEnded(scan); }));
    ::kill(scan, SIGTERM);
    installation.wait(scan);
    EXPECT_EQ(installation.logCount("a stop was requested while waiting for its lock") + installation.logCount(holder),
              1u)
        << installation.log();
    ::close(held);
}

}  // namespace
}  // namespace Quilna::EndToEnd
