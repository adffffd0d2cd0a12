// The real program on generated trees: names of every script, sparse files and links and mounts
// inside the tree in a mount namespace of its own, and trees far deeper than the longest path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

// Bytes on disk are what du counts: allocated blocks, links not followed. Neither bind mounts nor
// symbolic links lead the walk round in circles; records reach syslog.
TEST(ScanResults, EveryNameIsCountedOnceWithTheBytesOnDiskThatDuCountsAndRecordsReachTheSystemLog) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    std::set<std::string> inactive;
    for (const UnicodeTree::File& file : UnicodeTree::files()) {
        installation.file(file.path, file.size, 400, 400);
        inactive.insert(file.path);
        inactive.insert("sub/loop/" + file.path);
    }
    installation.file("empty.txt", 0);
    auto sparse = [&](const std::string& name, off_t size, std::vector<off_t> written) {
        const int fd = ::open(installation.path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string block(1 << 20, 's');
        for (off_t at : written)
            EXPECT_EQ(::pwrite(fd, block.data(), block.size(), at), static_cast<ssize_t>(block.size()));
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    };
    sparse("gigabyte-hole.img", off_t{1} << 30, {off_t{512} << 20});
    sparse("two-parts.img", off_t{64} << 20, {0, off_t{40} << 20});
    fs::create_symlink("empty.txt", installation.path("short-link"));
    fs::create_symlink(std::string(200, 'x'), installation.path("long-link"));
    fs::create_directories(installation.path("sub/loop"));
    fs::create_directories(installation.path("ram"));
    fs::create_directory_symlink("..", installation.path("sub/up"));
    installation.settings["hoardscan.filetype"] = {"Integer", "3"};  // the file name in every record
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "3"};
    installation.settings["log.syslog"] = {"Bool", "true"};
    installation.accountsRules = UnicodeTree::accountsRules(installation.tree(), '/');
    const std::string socketPath = installation.at("syslog.socket");
    const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << socketPath;
    // A RAM disk in the tree, the tree bound onto its own subdirectory, /dev/log bound to the socket ($0).
    const std::string script = R"(T="$HOARDSCAN_TREE"; S="$T/../dev-layers"; mount -t tmpfs tmpfs "$T/ram" &&
echo ram > "$T/ram/r.txt" && mount --bind "$T" "$T/sub/loop" && mkdir -p "$S" && mount -t tmpfs tmpfs "$S" &&
mkdir "$S/upper" "$S/work" && mount -t overlay overlay -o "lowerdir=/dev,upperdir=$S/upper,workdir=$S/work" /dev &&
rm -f /dev/log && touch /dev/log && mount --bind "$0" /dev/log || exit 97; exec "$@")";
    installation.writeInstallation();
    const pid_t scan =
        installation.start({"unshare", "--mount", "--propagation", "private", "sh", "-c", script, socketPath});
    // Taken as it comes: a sender whose datagrams find the queue full waits.
    std::vector<std::string> received;
    auto drain = [&] {
        char buffer[8192];
        for (ssize_t got; (got = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            received.emplace_back(buffer, static_cast<size_t>(got));
    };
    eventually([&] { return drain(), installation.ended(scan); }, 120s);
    const int code = installation.wait(scan);
    drain();
    ::close(socket);
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 0) << installation.log();

    // du sees no mounts; each mount is walked once, as a drive of its own without the mounts below.
    std::map<std::string, double> du, counted, onDisk, expected = {{"ram/r.txt", 1}}, expectedOnDisk;
    FILE* pipe = ::popen(("cd '" + installation.tree() + "' && find . ! -type d -exec du -B1 {} +").c_str(), "r");
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        const std::string text(line);
        du[text.substr(text.find('\t') + 3, text.size() - text.find('\t') - 4)] = std::stod(text);
    }
    if (pipe) ::pclose(pipe);
    ASSERT_EQ(du.size(), inactive.size() / 2 + 6);
    for (const auto& [path, bytes] : du) {
        expected[path] = expected["sub/loop/" + path] = 1;
        expectedOnDisk[path] = expectedOnDisk["sub/loop/" + path] = bytes;
    }
    const size_t below = installation.tree().size() + 1;
    for (const AccountRecord& record : installation.records()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        counted[path] += record.values.files;
        if (path != "ram/r.txt") onDisk[path] += record.values.bytesOnDisk;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.starts_with(UnicodeTree::accountedDirectory + "/");
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory : "other") << path;
    }
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(onDisk, expectedOnDisk);
    std::set<std::string> listed;
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        listed.insert(row.directory.substr(below) + row.name);
    EXPECT_EQ(listed, inactive);
    for (const char* mount : {"/ram", "/sub/loop"})
        EXPECT_EQ(installation.logCount("Mount point \"" + installation.tree() + mount +
                                        "\" is walked as a file system of its own."),
                  1u)
            << installation.log();
    // Facility daemon (3), severity notice (5); the program's name and process id; the catalogue's text.
    const std::string started =
        " hoardscan[" + std::to_string(scan) + "]: (17.17.07) Hoardscan is taking stock of the file systems.";
    EXPECT_TRUE(std::any_of(received.begin(), received.end(), [&](const std::string& message) {
        return message.starts_with("<29>") && message.ends_with(started);
    })) << ::testing::PrintToString(received);
}

// A chain of directories "d", a cold file at depth 1, 101, ... and at the
// bottom, a hot one elsewhere: only the bottom, with 1 MiB more, reaches the hot log's size.
std::pair<double, double> scanChain(int depth) {
    ScanInstallation installation;
    installation.writeEveryResultFile("hot", 1);
    std::set<std::string> expected;
    std::string path = installation.tree() + "/";
    const fs::path start = fs::current_path();
    fs::current_path(path);  // the deeper paths are too long for the system: each level is entered
    const auto add = [&](const std::string& name, size_t size, int64_t daysAgo) {
        std::ofstream(name) << std::string(size, 'q');
        ScanInstallation::age(name, daysAgo, 0);
    };
    for (int level = 1; level <= depth; ++level) {
        path += "d/";
        fs::create_directory("d");
        fs::current_path("d");
        const bool cold = level % 100 == 1 || level == depth;
        add(cold ? "f.txt" : "h.txt", 1, cold ? 400 : 1);
        if (cold) expected.insert(path + "f.txt");
    }
    add("big.dat", 1 << 20, 1);
    fs::current_path(start);

    EXPECT_EQ(installation.run(), 0) << installation.log() << installation.output();
    EXPECT_EQ(filesCounted(installation.dataFile()), depth + 1.0);
    std::set<std::string> listed;
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        listed.insert(row.directory + row.name);
    EXPECT_EQ(listed, expected);
    const auto rows = ResultFileReader(installation.resultFile("side", "Hoardscan-hot", ".log")).temperatureRows();
    EXPECT_EQ(rows.size() == 1 ? rows[0].directory : std::to_string(rows.size()) + " rows", path);
    // The removal of the test directory goes by paths, which the chain outgrows.
    EXPECT_EQ(std::system(("rm -rf '" + installation.tree() + "/d'").c_str()), 0);
    return {processorSeconds(installation.usage), static_cast<double>(installation.usage.ru_maxrss) / 1024.0};
}

// Four times the levels cost about four times the processor time, not sixteen, and little memory.
TEST(ScanDeepTree, EveryLevelIsWalkedWholeAndCostsTheSameAtAnyDepth) {
    const auto [shallower, shallowerMiB] = scanChain(4000);
    const auto [deeper, deeperMiB] = scanChain(16000);
    EXPECT_LT(deeper, 8 * std::max(shallower, 0.05))
        << shallower << " s for 4,000 levels, " << deeper << " s for 16,000";
#if !defined(HOARDSCAN_SANITIZED)  // shadow memory and quarantine, not the program's own
    EXPECT_LT(deeperMiB - shallowerMiB, 12000 / 1024.0)
        << shallowerMiB << " MiB for 4,000 levels, " << deeperMiB << " MiB for 16,000";
#endif
}

}  // namespace
}  // namespace Quilna::EndToEnd
