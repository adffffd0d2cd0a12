// Trees 4,000 and 16,000 directories deep, far beyond the longest path the system takes whole:
// the scan counts every file, writes each full path whole, and a directory costs it the same at
// any depth (four times the levels take about four times the processor time, not sixteen).
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// A chain of directories "d" with a cold file at depth 1, 101, 201, ... and at the bottom, made
// through descriptors, one level below the other: the deeper paths are too long for the system
// to take. Walked: every file counted in the records and listed whole in the inactive-file
// table; the processor time the walk took.
double scanChain(int depth) {
    ScanInstallation installation;
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    std::set<std::string> expected;
    std::string path = installation.tree() + "/";
    const struct timespec old[2] = {{::time(nullptr) - 400 * day, 0}, {::time(nullptr) - 400 * day, 0}};
    int at = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= depth && at >= 0; ++level) {
        path += "d/";
        const int below = ::mkdirat(at, "d", 0755) == 0 ? ::openat(at, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        ::close(at);
        at = below;
        if (at < 0 || (level % 100 != 1 && level != depth)) continue;
        const int file = ::openat(at, "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_EQ(::write(file, "q", 1), 1);
        ::futimens(file, old);
        ::close(file);
        expected.insert(path + "f.txt");
    }
    EXPECT_GE(at, 0);
    ::close(at);

    EXPECT_EQ(installation.run(), 0) << installation.log() << installation.output();
    EXPECT_EQ(filesCounted(installation.dataFile()), static_cast<double>(expected.size()));
    std::set<std::string> listed;
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        listed.insert(row.directory + row.name);
    EXPECT_EQ(listed, expected);
    // The removal of the test directory goes by paths, which the chain outgrows.
    EXPECT_EQ(std::system(("rm -rf '" + installation.tree() + "/d'").c_str()), 0);
    return processorSeconds(installation.usage);
}

TEST(ScanDeepTree, EveryLevelIsWalkedWholeAndCostsTheSameAtAnyDepth) {
    const double shallower = scanChain(4000);
    const double deeper = scanChain(16000);
    // Asking for each directory's path from the root up, or matching rules against whole paths,
    // grows with the square of the depth: sixteen times the time.
    EXPECT_LT(deeper, 8 * std::max(shallower, 0.05))
        << shallower << " s for 4,000 levels, " << deeper << " s for 16,000";
}

}  // namespace
}  // namespace Quilna::EndToEnd
