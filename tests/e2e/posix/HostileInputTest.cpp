// The program against inputs made to exhaust it: each attack ends in a run whose processor time
// and largest memory (the kernel's own account of the child) stay within a small margin of a
// plain run's, with a clear line in the log.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// A run of the same installation without the attack: the yardstick.
struct Yardstick {
    double seconds, mebibytes;
};

Yardstick plainRun(ScanInstallation& installation) {
    EXPECT_EQ(installation.run(), 0) << installation.output();
    return {processorSeconds(installation.usage), largestMemoryMiB(installation.usage)};
}

void expectWithin(const ScanInstallation& installation, const Yardstick& plain, double moreSeconds, double moreMiB) {
    EXPECT_LE(processorSeconds(installation.usage), plain.seconds + moreSeconds);
    if (memoryIsMeasured) {
        EXPECT_LE(largestMemoryMiB(installation.usage), plain.mebibytes + moreMiB);
    }
}

void smallTree(ScanInstallation& installation) {
    for (int i = 0; i < 3; ++i) installation.file("d/f" + std::to_string(i) + ".txt", 10);
}

// A 4 MB configuration with a 64,000-byte value referred to sixty times: before, 36 s and
// 2.2 GB and an exit without a message.
TEST(HostileInput, ValuesReferredToAgainAndAgainAreRefusedNamingTheirKey) {
    ScanInstallation installation;
    smallTree(installation);
    const Yardstick plain = plainRun(installation);

    installation.settings["big"] = {"String", std::string(64000, 'b')};
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += "${hoardscan.big}";
    installation.settings["user-dirs"] = {"String", sixty};
    for (int i = 0; i < 2000; ++i)
        installation.settings["pad" + std::to_string(i)] = {"String", std::string(2000, 'p')};
    EXPECT_EQ(installation.run(), 0) << installation.output();
    EXPECT_EQ(installation.logCount("Cannot expand the references in the value of hoardscan.user-dirs: its value "
                                    "grows beyond 65536 bytes with the reference ${hoardscan.big}."),
              1u)
        << installation.log();
    expectWithin(installation, plain, 5, 64);

    // Resources.reg with "A" of 64 KiB, "B" referring to it 4,000 times and the debug log named
    // by B, padded to 20 MB, on top: before, 3,752 s and 4.4 GB, and 21 s per run for 50 MB.
    const std::string file = installation.base() + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg";
    std::string text = TestSupport::TestDirectory::readFile(file);
    text.replace(text.find("\"HoardscanDebugLog\"=\"HoardscanDebug.log\""), 39, "\"HoardscanDebugLog\"=\"${B}\"");
    text += "\"A\"=\"" + std::string(65536, 'a') + "\"\r\n\"B\"=\"";
    for (int i = 0; i < 4000; ++i) text += "${A}";
    text += "\"\r\n";
    for (int i = 0; text.size() < (20u << 20); ++i)
        text += "\"Pad" + std::to_string(i) + "\"=\"" + std::string(200, 'p') + "\"\r\n";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    EXPECT_EQ(installation.wait(installation.start()), 0) << installation.output();
    // The name that could not be had is replaced by the default one: the plain run's log.
    EXPECT_EQ(installation.logCount("Hoardscan has ended."), 3u);
    expectWithin(installation, plain, 15, 192);
}

// Another process holds the lock of the resources file: the run waits a bounded time, says who
// holds the lock, and a SIGTERM ends the wait.
TEST(HostileInput, AHeldResourcesFileCostsABoundedWaitAndNamesItsHolder) {
    ScanInstallation installation;
    smallTree(installation);
    installation.writeInstallation();
    const std::string file = installation.base() + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna/Resources.reg";
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
    fs::remove(installation.base() + "/log/HoardscanDebug.log");
    const pid_t scan = installation.start();
    ASSERT_TRUE(
        eventually([&] { return fs::exists(installation.base() + "/log/HoardscanDebug.log") || hasEnded(scan); }));
    ::kill(scan, SIGTERM);
    installation.wait(scan);
    EXPECT_EQ(installation.logCount("a stop was requested while waiting for its lock") + installation.logCount(holder),
              1u)
        << installation.log();
    ::close(held);
}

// Every file gives the same warning (an account placeholder deeper than any path): 400,000
// lines before; now 100 and one line that counts the rest.
TEST(HostileInput, AWarningAtEveryFileIsLoggedAHundredTimesAndCounted) {
    ScanInstallation installation;
    for (int d = 0; d < 10; ++d)
        for (int f = 0; f < 100; ++f) installation.file("d" + std::to_string(d) + "/f" + std::to_string(f), 1);
    installation.accountsRules =
        "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" + installation.tree() +
        "/*\naccount=%18446744073709551617%\n}\n}\n}\n}\n}\n";
    EXPECT_EQ(installation.run(), 0) << installation.output();
    EXPECT_EQ(installation.logCount("Account placeholder number 18446744073709551615 goes deeper"), 100u);
    EXPECT_EQ(
        installation.logCount("Message 19 was left out of the log 900 more times in this run: only the first 100"), 1u)
        << installation.log();
    EXPECT_EQ(filesCounted(installation.dataFile()), 1000);
}

}  // namespace
}  // namespace Quilna::EndToEnd
