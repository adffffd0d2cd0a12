// Trees 4,000 and 16,000 directories deep, far beyond the longest path the system takes whole:
// the scan counts every file, writes each full path whole, and a directory costs it the same at
// any depth (four times the levels take about four times the processor time, not sixteen, and
// well under 1 KiB of memory more per level).
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// A file of size bytes in a directory, last read so many days ago.
void addFile(int directory, const char* name, size_t size, int64_t daysAgo) {
    const int file = ::openat(directory, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    EXPECT_EQ(::write(file, std::string(size, 'q').data(), size), static_cast<ssize_t>(size));
    const struct timespec read[2] = {{::time(nullptr) - daysAgo * day - 3600, 0}, {0, UTIME_OMIT}};
    ::futimens(file, read);
    ::close(file);
}

// A chain of directories "d" with a cold file at depth 1, 101, 201, ... and at the bottom and a
// hot one at every other level (the monitored temperature: a temperature row per directory, of
// which only the bottom one, with 1 MiB more, reaches the log's size), made through descriptors,
// one level below the other: the deeper paths are too long for the system to take. Walked: every
// file counted in the records, listed whole in the inactive-file table and the temperature log;
// the processor time and memory the walk took.
std::pair<double, double> scanChain(int depth) {
    ScanInstallation installation;
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.settings["hoardscan.temperature-log"] = {"Bool", "true"};
    installation.settings["hoardscan.temperature-monitor"] = {"String", "hot"};
    installation.settings["hoardscan.temperature-monitor-size"] = {"Integer", "1"};
    std::set<std::string> expected;
    std::string path = installation.tree() + "/";
    int at = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= depth && at >= 0; ++level) {
        path += "d/";
        const int below = ::mkdirat(at, "d", 0755) == 0 ? ::openat(at, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        ::close(at);
        at = below;
        if (at < 0) continue;
        if (level % 100 != 1 && level != depth) {
            addFile(at, "h.txt", 1, 1);
            continue;
        }
        addFile(at, "f.txt", 1, 400);
        expected.insert(path + "f.txt");
    }
    addFile(at, "big.dat", 1 << 20, 1);
    EXPECT_GE(at, 0);
    ::close(at);

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
    return {processorSeconds(installation.usage), largestMemoryMiB(installation.usage)};
}

TEST(ScanDeepTree, EveryLevelIsWalkedWholeAndCostsTheSameAtAnyDepth) {
    const auto [shallower, shallowerMiB] = scanChain(4000);
    const auto [deeper, deeperMiB] = scanChain(16000);
    // Asking for each directory's path from the root up, matching rules against whole paths, or
    // looking a directory's row up by its path per file grows with the square of the depth:
    // sixteen times the time.
    EXPECT_LT(deeper, 8 * std::max(shallower, 0.05))
        << shallower << " s for 4,000 levels, " << deeper << " s for 16,000";
    // Temperature rows that kept their paths held a thousand of them (tens of MiB).
    if (memoryIsMeasured) {
        EXPECT_LT(deeperMiB - shallowerMiB, 12000 / 1024.0)
            << shallowerMiB << " MiB for 4,000 levels, " << deeperMiB << " MiB for 16,000";
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
