// A scan killed at any moment never leaves a finished name on a partial file: ".data" and
// ".csv" appear only after the content is on the disk, and a killed run leaves at most its
// ".make" files. The next run completes as if nothing had happened.
#include <gtest/gtest.h>

#include <random>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

struct Reference {
    std::map<std::string, AccountValues> totals;
    size_t inactiveRows = 0;
};

// Every finished file in the result directories is whole: it parses to its end and holds
// exactly what a complete run finds. Returns the number of unfinished files seen.
size_t expectFinishedFilesWhole(const ScanInstallation& installation, const Reference& reference) {
    for (const std::string& data : namesEndingIn(installation.base() + "/results", ".data")) {
        SCOPED_TRACE(data);
        std::map<std::string, AccountValues> totals;
        EXPECT_NO_THROW(totals = ResultFileReader(data).accountTotals());
        EXPECT_EQ(totals.size(), reference.totals.size());
        for (const auto& [key, values] : reference.totals) {
            const auto found = totals.find(key);
            if (found == totals.end()) {
                ADD_FAILURE() << "missing record " << key;
                continue;
            }
            EXPECT_EQ(found->second.files, values.files) << key;
            EXPECT_EQ(found->second.bytes, values.bytes) << key;
        }
    }
    for (const std::string& table : namesEndingIn(installation.base() + "/side", ".csv")) {
        SCOPED_TRACE(table);
        size_t rows = 0;
        EXPECT_NO_THROW(rows = ResultFileReader(table).inactiveRows().size());
        EXPECT_EQ(rows, reference.inactiveRows);
    }
    return namesEndingIn(installation.base() + "/results", ".make").size() +
           namesEndingIn(installation.base() + "/side", ".make").size();
}

TEST(KilledScan, AScanKilledAtRandomMomentsNeverLeavesAPartialFinishedFile) {
    ScanInstallation installation;
    // Big enough for a scan of about a second: a log line per file, and many flushes.
    const int directories = 100, perDirectory = 120, files = directories * perDirectory;
    for (int d = 0; d < directories; ++d)
        for (int f = 0; f < perDirectory; ++f)
            installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".t" + std::to_string(f % 7),
                              static_cast<size_t>(f * 13), (d * 100 + f) % 500, f);
    installation.settings["log.debug-level"] = {"Integer", "4"};
    installation.settings["buffer"] = {"Integer", "20"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    installation.settings["temperature-log"] = {"Bool", "true"};
    installation.settings["temperature-monitor"] = {"String", "cold"};
    installation.settings["temperature-monitor-size"] = {"Integer", "0"};
    installation.settings["extension"] = {"Bool", "true"};

    // A whole run: what every finished file must hold, and how many debug lines a run writes.
    installation.settings["log.rotation.scheme"] = {"String", "none"};
    LogFollower follower(installation.base() + "/log/HoardscanDebug.log");
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const size_t linesPerRun = follower.newLines().size();
    Reference reference;
    reference.totals = ResultFileReader(installation.dataFile()).accountTotals();
    reference.inactiveRows = ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows().size();
    ASSERT_EQ(filesCounted(installation.dataFile()), files);
    ASSERT_GT(reference.inactiveRows, 0u);
    ASSERT_GT(linesPerRun, static_cast<size_t>(files));

    // Each run is killed once it has written a random number of its lines: a moment of its
    // work, however fast or slow the machine is.
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> moment(0, linesPerRun - 1);
    const int runs = 16;
    int killed = 0;
    size_t unfinished = 0;
    for (int run = 0; run < runs; ++run) {
        const size_t killAt = moment(random);
        const pid_t scan = installation.start();
        size_t written = 0;
        eventually([&] {
            written += follower.newLines().size();
            return written >= killAt || hasEnded(scan);
        }, 120s);
        ::kill(scan, SIGKILL);
        if (installation.wait(scan) == -1) ++killed;
        follower.newLines();
        unfinished += expectFinishedFilesWhole(installation, reference);
    }
    // Most runs must have died part-way, or nothing was tested.
    EXPECT_GE(killed, runs / 2);
    EXPECT_GT(unfinished, 0u);

    // The next run completes normally, with everything.
    ASSERT_EQ(installation.run(), 0) << installation.output();
    EXPECT_EQ(filesCounted(installation.dataFile()), files);
    expectFinishedFilesWhole(installation, reference);
    EXPECT_GE(installation.logCount("Hoardscan has ended."), static_cast<size_t>(2 + runs - killed));
}

}  // namespace
}  // namespace Quilna::EndToEnd
