// The real program on generated trees: names of every script, sparse files, links and mounts in a
// mount namespace of its own, trees far deeper than the longest path, a tree changed under the walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

// Bytes on disk are what du counts: allocated blocks, links not followed. Neither bind mounts nor
// symbolic links lead the walk round in circles; records reach syslog.
TEST(ScanResults, EveryNameIsCountedOnceWithTheBytesOnDiskThatDuCountsAndRecordsReachTheSystemLog) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ScanInstallation installation;
    std::set<std::string> inactive;
    for (const auto& [path, size] : UnicodeTree::files()) {
        installation.file(path, size, 400, 400);
        inactive.insert(path);
        inactive.insert("sub/loop/" + path);
    }
    installation.file("empty.txt", 0);
    const auto sparse = [&](const std::string& name, uintmax_t size, std::vector<std::streamoff> written) {
        for (std::ofstream file(installation.path(name), std::ios::binary); std::streamoff at : written)
            file.seekp(at) << std::string(1 << 20, 's');
        fs::resize_file(installation.path(name), size);
    };
    sparse("gigabyte-hole.img", uintmax_t{1} << 30, {std::streamoff{512} << 20});
    sparse("two-parts.img", uintmax_t{64} << 20, {0, std::streamoff{40} << 20});
    fs::create_symlink("empty.txt", installation.path("short-link"));
    fs::create_symlink(std::string(200, 'x'), installation.path("long-link"));
    for (const char* directory : {"sub/loop", "ram", "proc"}) fs::create_directories(installation.path(directory));
    fs::create_directory_symlink("..", installation.path("sub/up"));
    installation.settings["hoardscan.filetype"] = {"Integer", "3"};  // the file name in every record
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "3"};
    installation.settings["log.syslog"] = {"Bool", "true"};
    installation.accountsRules = UnicodeTree::accountsRules(installation.tree(), '/');
    SystemLogSocket systemLog(installation.at("syslog.socket"));
    ASSERT_TRUE(systemLog.bound());
    // A RAM disk in the tree, a pseudo file system, the tree bound onto its own subdirectory.
    const std::string mounts = R"(T="$HOARDSCAN_TREE"; mount -t tmpfs tmpfs "$T/ram" && echo ram > "$T/ram/r.txt" &&
mount -t proc proc "$T/proc" && mount --bind "$T" "$T/sub/loop" && )";
    installation.writeInstallation();
    const pid_t scan = installation.start(systemLog.wrapper(mounts));
    const std::vector<std::string>& received = systemLog.receiveUntil([&] { return installation.ended(scan); });
    const int code = installation.wait(scan);
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 0) << installation.log();

    // The mounts are gone here; each was walked once, as a drive of its own without the mounts below.
    std::map<std::string, std::pair<double, double>> counted, expected = {{"ram/r.txt", {1, 0}}};
    const size_t below = installation.tree().size() + 1;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(installation.tree())) {
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || S_ISDIR(status.st_mode)) continue;
        const std::string path = entry.path().string().substr(below);
        expected[path] = expected["sub/loop/" + path] = {1, static_cast<double>(status.st_blocks) * 512};
    }
    for (const AccountRecord& record : installation.records()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        counted[path].first += record.values.files;
        if (path != "ram/r.txt") counted[path].second += record.values.bytesOnDisk;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.starts_with(UnicodeTree::accountedDirectory + "/");
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory : "other") << path;
    }
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(installation.inactiveListed(below), inactive);
    const std::string ofItsOwn = "\" is walked as a file system of its own.";
    EXPECT_TRUE(installation.logged(
        {"Mount point \"" + installation.tree() + "/ram" + ofItsOwn,
         "Mount point \"" + installation.tree() + "/sub/loop" + ofItsOwn,
         "Mount point \"" + installation.tree() + "/proc\" is not entered: it is no file system this run walks."}));
    // Facility daemon (3), severity notice (5); the program's name and process id; the catalogue's text.
    const std::string started =
        " hoardscan[" + std::to_string(scan) + "]: (17.17.07) Hoardscan is taking stock of the file systems.";
    EXPECT_TRUE(std::any_of(received.begin(), received.end(), [&](const std::string& message) {
        return message.starts_with("<29>") && message.ends_with(started);
    })) << ::testing::PrintToString(received);
}

// What du reports for a tree, less its directories: du counts a multiply-linked file once.
std::pair<double, double> duFilesAndBytesOnDisk(const std::string& tree) {
    const auto du = [&](const std::string& option) {
        std::unique_ptr<FILE, int (*)(FILE*)> output(::popen(("du -s " + option + " '" + tree + "'").c_str(), "r"),
                                                     ::pclose);
        double value = -1;
        if (output && std::fscanf(output.get(), "%lf", &value) != 1) value = -1;
        return value;
    };
    double files = du("--inodes"), bytesOnDisk = du("--block-size=1");
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) continue;
        files -= 1;
        bytesOnDisk -= static_cast<double>(status.st_blocks) * 512;
    }
    struct stat root {};
    ::lstat(tree.c_str(), &root);
    return {files - 1, bytesOnDisk - static_cast<double>(root.st_blocks) * 512};
}

// A library with 13 links over several directories, a pair in one directory, a file whose other
// link lies outside the tree: each is charged once, at the first link met, so the totals are
// du's; a cold one takes one inactive row, not one per link.
TEST(ScanResults, AFileWithSeveralHardLinksIsChargedOnceAndTheTotalsAreDus) {
    ScanInstallation installation;
    installation.file("lib/driver.so", 335000, 400, 400);
    for (int link = 1; link < 13; ++link) {
        const std::string directory = (link % 3 ? "lib/d" : "other/e") + std::to_string(link % 4);
        fs::create_directories(installation.path(directory));
        fs::create_hard_link(installation.path("lib/driver.so"),
                             installation.path(directory + "/driver.so." + std::to_string(link)));
    }
    installation.file("pair/one.txt", 5000);
    fs::create_hard_link(installation.path("pair/one.txt"), installation.path("pair/two.txt"));
    std::ofstream(installation.base() + "/outside.dat") << std::string(9000, 'o');
    fs::create_directory(installation.path("in"));
    fs::create_hard_link(installation.base() + "/outside.dat", installation.path("in/outside.dat"));
    for (int single = 0; single < 5; ++single) installation.file("single/" + std::to_string(single), 1000 * single);
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();

    double files = 0, bytes = 0, bytesOnDisk = 0;
    for (const AccountRecord& record : installation.records()) {
        files += record.values.files;
        bytes += record.values.bytes;
        bytesOnDisk += record.values.bytesOnDisk;
    }
    const auto [duFiles, duBytesOnDisk] = duFilesAndBytesOnDisk(installation.tree());
    EXPECT_EQ(files, 8);  // driver.so, the pair, outside.dat, five single files
    EXPECT_EQ(files, duFiles);
    EXPECT_EQ(bytesOnDisk, duBytesOnDisk);
    EXPECT_EQ(bytes, 335000 + 5000 + 9000 + 10000);
    const std::set<std::string> cold = installation.inactiveListed(installation.tree().size() + 1);
    EXPECT_EQ(cold.size(), 1u) << ::testing::PrintToString(cold);
    EXPECT_TRUE(cold.empty() || cold.begin()->find("driver.so") != std::string::npos);
}

using Sums = std::array<int64_t, 3>;  // files, bytes, bytes on disk
// A directory relative to the tree ("" for the tree), an account, a user, an access temperature.
using Split = std::tuple<std::string, std::string, std::string, std::string>;

// Each directory's whole subtree by account, owner and access temperature, from the test's own
// walk: the account is the first name below the tree, the user the owner's name after machine
// ("\\HOST\"), the temperature the band of the last access; a
// multiply-linked file counts once, the ".tmp" files the rules exclude not at all. Only the
// subtrees that take at least threshold bytes on disk, with all their splits.
std::map<Split, Sums> subtreeSums(const std::string& tree, int64_t threshold, const std::string& machine) {
    std::map<Split, Sums> sums;
    std::map<std::string, int64_t> onDisk;
    std::set<std::pair<dev_t, ino_t>> met;
    const time_t now = ::time(nullptr);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || S_ISDIR(status.st_mode) ||
            entry.path().extension() == ".tmp" || !met.insert({status.st_dev, status.st_ino}).second)
            continue;
        const fs::path relative = fs::relative(entry.path(), tree);
        const double days = static_cast<double>(now - status.st_atime) / 86400;
        const std::string temperature = days <= 7 ? "hot" : days <= 30 ? "warm" : days <= 365 ? "cold" : "frozen";
        const Sums file{1, status.st_size, status.st_blocks * 512};
        const struct passwd* owner = ::getpwuid(status.st_uid);
        const std::string user = machine + (owner ? owner->pw_name : std::to_string(status.st_uid));
        for (fs::path directory = relative.parent_path();; directory = directory.parent_path()) {
            Sums& sum = sums[{directory.string(), relative.begin()->string(), user, temperature}];
            for (size_t i = 0; i < file.size(); ++i) sum[i] += file[i];
            onDisk[directory.string()] += file[2];
            if (directory.empty()) break;
        }
    }
    std::erase_if(sums, [&](const auto& split) { return onDisk[std::get<0>(split.first)] < threshold; });
    return sums;
}

// Off unless asked for. Then per directory its whole subtree's sums by account, owner and access
// temperature, written as the walk leaves it (after everything below it): nested subtrees, two
// accounts, owners and temperatures under one directory, every split of a subtree that reaches the size
// though each split alone does not, a smaller subtree absent; a file with two links counted once
// and a file the rules exclude not at all, as in the account records.
TEST(ScanResults, DirectoryTotalsAreEverySubtreesSumsByAccountUserAndTemperatureFromTheSizeOn) {
    ScanInstallation installation;
    constexpr size_t kib = 1024;
    installation.file("alpha/big.bin", 1500 * kib, 1);
    installation.file("alpha/old.txt", 3 * kib, 400);
    installation.file("alpha/deep/old.bin", 700 * kib, 400);
    fs::create_hard_link(installation.path("alpha/deep/old.bin"), installation.path("alpha/deep/again.bin"));
    installation.file("alpha/deep/deeper/new.bin", 1100 * kib, 2);
    installation.file("alpha/small/tiny.txt", 10 * kib, 1);
    installation.file("beta/b.bin", 1200 * kib, 100);
    installation.file("beta/scratch.tmp", 2000 * kib, 1);
    installation.file("beta/mixed/hot.bin", 600 * kib, 1);
    installation.file("beta/mixed/cold.bin", 600 * kib, 100);
    ASSERT_EQ(::chown(installation.path("beta/mixed/cold.bin").c_str(), nobody(), nobodyGroup()), 0);
    const std::string tree = installation.tree();
    installation.extraRules = "*:*:" + tree + "/beta/*.tmp exclude\n";
    const std::string firstBelow = std::to_string(std::count(tree.begin(), tree.end(), '/') + 2);
    installation.accountsRules = "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" + tree +
                                 "/*\naccount=%" + firstBelow + "%\n}\n}\n}\n}\n}\n";
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();
    for (const fs::directory_entry& entry : fs::directory_iterator(installation.at("side")))
        EXPECT_FALSE(entry.path().filename().string().starts_with("HoardscanTotals")) << entry.path();

    installation.settings["hoardscan.directory-totals"] = {"Bool", "true"};
    installation.settings["hoardscan.directory-totals-size"] = {"Integer", "1"};
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();
    std::map<Split, Sums> written;
    std::vector<std::string> order;
    for (const DirectoryTotalRow& row :
         ResultFileReader(platform(), platform(), installation.resultFile("side", "HoardscanTotals", ".txt"))
             .directoryTotals()) {
        std::string directory = row.directory;
        if (!directory.ends_with('/')) directory.push_back('/');
        if (!directory.starts_with(tree + "/")) continue;  // the way down to the tree
        directory = directory.substr(tree.size() + 1);
        if (!directory.empty()) directory.pop_back();
        EXPECT_TRUE(written
                        .emplace(Split{directory, row.account, row.user, row.temperature},
                                 Sums{row.files, row.bytes, row.bytesOnDisk})
                        .second)
            << directory;
        order.push_back(directory);
    }
    const std::string someOwner = installation.records().at(0).key[KeyField::User];
    const std::string machine = someOwner.substr(0, someOwner.rfind('\\') + 1);
    const std::map<Split, Sums> expected = subtreeSums(tree, 1 << 20, machine);
    const std::string root = machine + ::getpwuid(0)->pw_name, other = machine + ::getpwuid(nobody())->pw_name;
    EXPECT_TRUE(expected.contains({"beta/mixed", "beta", other, "cold"}) &&
                expected.contains({"beta/mixed", "beta", root, "hot"}) &&
                expected.contains({"", "alpha", root, "frozen"}) &&
                !expected.contains({"alpha/small", "alpha", root, "hot"}));
    EXPECT_EQ(written, expected);
    for (size_t i = 0; i < order.size(); ++i)
        for (size_t j = i + 1; j < order.size(); ++j)
            EXPECT_FALSE(order[j].starts_with(order[i].empty() ? "" : order[i] + "/") && order[j] != order[i])
                << order[j] << " after " << order[i];
}

constexpr size_t longestPath = 4095;  // PATH_MAX less its NUL

// Directory and name as the inactive-file table writes them: a path longer than the system can
// name keeps the beginning of its directory, marked.
std::string rowNaming(const std::string& directory, const std::string& name) {
    if (directory.size() + name.size() <= longestPath) return directory + name;
    return directory.substr(0, longestPath - name.size() - 3) + "..." + name;
}

std::multiset<std::string> rowsListed(const ScanInstallation& installation) {
    std::multiset<std::string> listed;
    for (const InactiveRow& row :
         ResultFileReader(platform(), platform(), installation.resultFile("side", "HoardscanInactive", ".csv"))
             .inactiveRows())
        listed.insert(row.directory + row.name);
    return listed;
}

// A chain of directories "d", a cold file at depth 1, 101, ... and at the
// bottom, a hot one elsewhere: only the bottom, with 1 MiB more, reaches the hot log's size.
std::pair<double, double> scanChain(int depth) {
    ScanInstallation installation;
    installation.writeEveryResultFile("hot", 1);
    std::multiset<std::string> expected;
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
        if (cold) expected.insert(rowNaming(path, "f.txt"));
    }
    add("big.dat", 1 << 20, 1);
    fs::current_path(start);

    EXPECT_EQ(installation.run(), 0) << installation.log() << installation.output();
    EXPECT_EQ(filesCounted(installation.dataFile()), depth + 1.0);
    EXPECT_EQ(rowsListed(installation), expected);
    const auto rows = ResultFileReader(platform(), platform(), installation.resultFile("side", "Hoardscan-hot", ".log"))
                          .temperatureRows();
    EXPECT_EQ(rows.size() == 1 ? rows[0].directory : std::to_string(rows.size()) + " rows", path);
    // Every level the system can name has its subtree's files; those deeper are only in these.
    std::map<std::string, int64_t> subtreeFiles;
    for (const DirectoryTotalRow& row :
         ResultFileReader(platform(), platform(), installation.resultFile("side", "HoardscanTotals", ".txt"))
             .directoryTotals())
        subtreeFiles[row.directory] += row.files;
    const std::string tree = installation.tree() + "/";
    size_t levels = 0;
    for (const auto& [directory, files] : subtreeFiles) {
        if (!directory.starts_with(tree) || directory == tree) continue;
        EXPECT_EQ(files, depth + 2 - static_cast<int64_t>(directory.size() - tree.size()) / 2) << directory.size();
        levels += 1;
    }
    EXPECT_EQ(levels, (longestPath - tree.size()) / 2);
    EXPECT_EQ(subtreeFiles[tree], depth + 1);
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

// Another user's chain of directories with names of 250 bytes, a cold file of theirs at every
// level. Root's table grew with the square of the levels (2,000 levels 502 MB); now every row
// past the longest path is cut, and the table stops at its limit and says so.
TEST(ScanDeepTree, AnotherUsersDeepChainOfLongNamesWritesATableBoundedInBytes) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a second user to own the chain";
    constexpr int depth = 2000;
    ScanInstallation installation;
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    const std::string level(250, 'n');
    std::string path = installation.tree() + "/";
    std::multiset<std::string> expected;
    const fs::path start = fs::current_path();
    fs::current_path(path);
    for (int at = 1; at <= depth; ++at) {
        path += level + "/";
        const std::string name = "cold" + std::to_string(at);
        fs::create_directory(level);
        fs::current_path(level);
        std::ofstream(name) << 'q';
        ScanInstallation::age(name, 400, 400);
        for (const std::string& made : {std::string("."), name})
            ASSERT_EQ(::lchown(made.c_str(), nobody(), nobodyGroup()), 0) << std::strerror(errno);
        expected.insert(rowNaming(path, name));
    }
    fs::current_path(start);
    const auto cut = std::count_if(expected.begin(), expected.end(),
                                   [](const std::string& row) { return row.find("...") != std::string::npos; });
    const std::string cutLine = std::to_string(cut) + " rows of the inactive-file table " + installation.base();

    // By default every row is written, none longer than the longest path and its fields.
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();
    EXPECT_EQ(rowsListed(installation), expected);
    const std::string written = installation.resultFile("side", "HoardscanInactive", ".csv");
    std::ifstream lines(written);
    size_t longest = 0;
    for (std::string row; std::getline(lines, row);) longest = std::max(longest, row.size());
    EXPECT_LT(longest, longestPath + 64);
    EXPECT_LT(fs::file_size(written), depth * (longestPath + 64));
    EXPECT_TRUE(installation.logged({cutLine}));
    EXPECT_EQ(installation.logCount("reached its limit"), 0u);

    // The limit at 1 MiB: the rows up to it are written, the rest counted, the table finished.
    installation.settings["hoardscan.inactive-log-limit"] = {"Integer", "1"};
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();
    const std::string bounded = installation.resultFile("side", "HoardscanInactive", ".csv");
    const size_t rows = rowsListed(installation).size();
    EXPECT_LE(fs::file_size(bounded), 1u << 20);
    EXPECT_GT(fs::file_size(bounded), (1u << 20) - longestPath - 64);
    EXPECT_TRUE(installation.logged({"reached its limit of 1 MiB (hoardscan.inactive-log-limit) after " +
                                     std::to_string(rows) + " rows: " + std::to_string(depth - rows) +
                                     " more cold or frozen files were counted but not written."}));
    EXPECT_EQ(std::system(("rm -rf '" + installation.tree() + "/" + level + "'").c_str()), 0);
}

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
    EXPECT_TRUE(installation.logged(
        {"The walk could not return to " + installation.path("a") + "/,", "1 could not be walked to their end"}));
    EXPECT_TRUE(holds(installation.output(), "1 directories could not be walked to their end"));
    EXPECT_EQ(filesCounted(installation.dataFile()),
              4000 + before + 1);  // the bottom of the chain, the z's before it, b/g.txt
}

}  // namespace
}  // namespace Quilna::EndToEnd
