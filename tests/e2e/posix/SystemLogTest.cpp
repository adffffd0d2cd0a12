// A scan's log records reach the system log: the program runs in a mount namespace of its own
// whose /dev/log is a datagram socket of the test.
#include <gtest/gtest.h>

#include <algorithm>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// Runs the scan with /dev/log bound to the test's datagram socket (an overlay keeps the rest of
// /dev); what arrives is kept, a text per datagram. The exit code (97 when the namespace cannot
// be set up) and the process id.
std::pair<int, pid_t> scanLoggingTo(ScanInstallation& installation, int socket, const std::string& socketPath,
                                    std::vector<std::string>& received) {
    const std::string script = "S='" + installation.base() +
                               "/dev-layers'; mkdir -p \"$S\" && mount -t tmpfs tmpfs \"$S\" && "
                               "mkdir \"$S/upper\" \"$S/work\" && mount -t overlay overlay -o "
                               "\"lowerdir=/dev,upperdir=$S/upper,workdir=$S/work\" "
                               "/dev && rm -f /dev/log && touch /dev/log && mount --bind '" +
                               socketPath + "' /dev/log || exit 97; exec \"$@\"";
    installation.writeInstallation();
    const pid_t scan = installation.start({"unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh"});
    // Taken as it comes: a sender whose datagrams find the queue full waits.
    auto drain = [&] {
        char buffer[8192];
        for (ssize_t got; (got = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            received.emplace_back(buffer, static_cast<size_t>(got));
    };
    eventually([&] { return drain(), hasEnded(scan); }, 120s);
    const int code = installation.wait(scan);
    drain();
    return {code, scan};
}

TEST(SystemLog, AScansRecordsReachTheSystemLogUnlessTheConfigurationTurnsItOff) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    installation.file("a.txt", 10);
    const std::string socketPath = installation.base() + "/syslog.socket";
    const int socket = boundSocket(socketPath);
    ASSERT_GE(socket, 0) << socketPath;
    std::vector<std::string> received;

    installation.systemLog = true;
    const auto [code, pid] = scanLoggingTo(installation, socket, socketPath, received);
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 0) << installation.log();
    // Facility daemon (3), severity notice (5), then the time; tagged with the program's name
    // and process id; the text from the installation's catalogue.
    const std::string started =
        " hoardscan[" + std::to_string(pid) + "]: (17.17.07) Hoardscan is taking stock of the file systems.";
    EXPECT_TRUE(std::any_of(received.begin(), received.end(), [&](const std::string& message) {
        return message.starts_with("<29>") && message.ends_with(started);
    })) << ::testing::PrintToString(received);

    received.clear();
    installation.systemLog = false;
    ASSERT_EQ(scanLoggingTo(installation, socket, socketPath, received).first, 0) << installation.log();
    EXPECT_TRUE(received.empty()) << ::testing::PrintToString(received);
    ::close(socket);
}

}  // namespace
}  // namespace Quilna::EndToEnd
