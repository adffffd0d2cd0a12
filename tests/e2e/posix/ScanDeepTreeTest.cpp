// Trees 4,000 and 16,000 directories deep, far beyond the longest path the system takes whole:
// the scan counts every file, writes each full path whole, and a directory costs it the same at
// any depth (four times the levels take about four times the processor time, not sixteen).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

constexpr int filesEvery = 100;  // a file at depth 1, 101, 201, ... and one at the bottom

// Made through descriptors, one level below the other: no path of the chain is ever spelled
// out, since the deeper ones are too long for the system to take.
class DeepChain {
public:
    DeepChain(const std::string& top, int depth) : top_(top) {
        int at = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const struct timespec old[2] = {{::time(nullptr) - 400 * day, 0}, {::time(nullptr) - 400 * day, 0}};
        for (int level = 1; level <= depth && at >= 0; ++level) {
            if (::mkdirat(at, "d", 0755) != 0) break;
            const int below = ::openat(at, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(at);
            at = below;
            if (at >= 0 && (level % filesEvery == 1 || level == depth)) {
                const int file = ::openat(at, "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (file < 0) break;
                const std::string content(static_cast<size_t>(level), 'q');
                made_ += ::write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size());
                bytes_ += level;
                ::futimens(file, old);  // cold enough for the inactive-file table
                ::close(file);
            }
        }
        if (at >= 0) ::close(at);
    }
    ~DeepChain() {
        // The removal of the test directory goes by paths, which the chain outgrows.
        const std::string command = "rm -rf '" + top_ + "/d'";
        if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
    }
    int files() const { return made_; }
    int64_t bytes() const { return bytes_; }

private:
    std::string top_;
    int made_ = 0;
    int64_t bytes_ = 0;
};

// One chain walked: every file counted, every path whole; the processor time it took.
double scanChain(int depth) {
    ScanInstallation installation;
    DeepChain chain(installation.tree(), depth);
    EXPECT_EQ(chain.files(), depth / filesEvery + 1);
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};

    EXPECT_EQ(installation.run(), 0) << installation.log() << installation.output();

    AccountValues total;
    for (const auto& [key, values] : ResultFileReader(installation.dataFile()).accountTotals()) total += values;
    EXPECT_EQ(total.files, chain.files());
    EXPECT_EQ(total.bytes, static_cast<double>(chain.bytes()));
    EXPECT_EQ(installation.logCount("could not return"), 0u) << installation.log();

    std::string expected = installation.tree() + "/";
    std::set<std::string> expectedDirectories;
    for (int level = 1; level <= depth; ++level) {
        expected += "d/";
        if (level % filesEvery == 1 || level == depth) expectedDirectories.insert(expected);
    }
    std::set<std::string> directories;
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows()) {
        EXPECT_EQ(row.name, "f.txt");
        directories.insert(row.directory);
    }
    EXPECT_EQ(directories, expectedDirectories);
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
