// The program in a mount namespace of its own: the walk stays on its file system and never
// loops, and its records reach the system log, here a datagram socket of the test.
#include <gtest/gtest.h>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// Mounts inside the tree are walked once, as drives of their own, and neither bind mounts nor
// symbolic links lead the walk round in circles.
TEST(ScanBoundaries, MountsInsideTheTreeAreWalkedOnceAndRecordsReachTheSystemLog) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.file("sub/b.txt", 20);
    fs::create_directories(installation.path("sub/loop"));
    fs::create_directories(installation.path("ram"));
    fs::create_directory_symlink("..", installation.path("sub/up"));
    installation.settings["hoardscan.filetype"] = {"Integer", "3"};
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "3"};
    installation.settings["log.syslog"] = {"Bool", "true"};
    const std::string socketPath = installation.at("syslog.socket");
    const int socket = boundSocket(socketPath);
    ASSERT_GE(socket, 0) << socketPath;
    // A RAM disk inside the tree with a file on it, the tree bound onto one of its own
    // subdirectories, and /dev/log bound to the test's socket (an overlay keeps the rest of /dev).
    const std::string script =
        "T=\"$HOARDSCAN_TREE\"; S=\"$T/../dev-layers\"; mount -t tmpfs tmpfs \"$T/ram\" && echo ram > \"$T/ram/r.txt\" "
        "&& mount --bind \"$T\" \"$T/sub/loop\" && mkdir -p \"$S\" && mount -t tmpfs tmpfs \"$S\" && mkdir "
        "\"$S/upper\" "
        "\"$S/work\" && mount -t overlay overlay -o \"lowerdir=/dev,upperdir=$S/upper,workdir=$S/work\" /dev && "
        "rm -f /dev/log && touch /dev/log && mount --bind '" +
        socketPath + "' /dev/log || exit 97; exec \"$@\"";
    installation.writeInstallation();
    const pid_t scan = installation.start({"unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh"});
    // Taken as it comes: a sender whose datagrams find the queue full waits.
    std::vector<std::string> received;
    auto drain = [&] {
        char buffer[8192];
        for (ssize_t got; (got = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            received.emplace_back(buffer, static_cast<size_t>(got));
    };
    eventually([&] { return drain(), hasEnded(scan); }, 120s);
    const int code = installation.wait(scan);
    drain();
    ::close(socket);
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 0) << installation.log();

    const std::string tree = installation.tree();
    const std::map<std::string, double> expected = {
        {tree + "/a.txt", 1},  // the tree, walked on the drive that holds it
        {tree + "/sub/b.txt", 1},
        {tree + "/sub/up", 1},              // a link, never followed
        {tree + "/ram/r.txt", 1},           // the RAM disk, walked once as its own drive
        {tree + "/sub/loop/a.txt", 1},      // the bind mount, walked once as its own drive, where
        {tree + "/sub/loop/sub/b.txt", 1},  // the mounts below the tree do not show
        {tree + "/sub/loop/sub/up", 1},
    };
    std::map<std::string, double> found;  // file type scheme 3 puts the directory into the record
    for (const AccountRecord& record : installation.records())
        found[record.key[KeyField::FileSystem] + record.key[KeyField::FileType]] += record.values.files;
    EXPECT_EQ(found, expected);
    for (const char* mount : {"/ram", "/sub/loop"})
        EXPECT_EQ(installation.logCount("Mount point \"" + tree + mount + "\" is walked as a file system of its own."),
                  1u)
            << installation.log();
    // Facility daemon (3), severity notice (5), then the time; tagged with the program's name
    // and process id; the text from the installation's catalogue.
    const std::string started =
        " hoardscan[" + std::to_string(scan) + "]: (17.17.07) Hoardscan is taking stock of the file systems.";
    EXPECT_TRUE(std::any_of(received.begin(), received.end(), [&](const std::string& message) {
        return message.starts_with("<29>") && message.ends_with(started);
    })) << ::testing::PrintToString(received);
}

}  // namespace
}  // namespace Quilna::EndToEnd
