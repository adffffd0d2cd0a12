// A scan killed at any moment never leaves a finished name on a partial file: ".data" and
// ".csv" appear only after the content is on the disk, and a killed run leaves at most its
// ".make" files. The next run completes as if nothing had happened.
#include <gtest/gtest.h>

#include <random>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

struct Reference {
    std::map<std::string, std::pair<double, double>> totals;  // files and bytes per key
    size_t inactiveRows = 0;
};

Reference readBack(const std::string& data, const std::string& table) {
    Reference found;
    for (const auto& [key, values] : ResultFileReader(data).accountTotals())
        found.totals[key] = {values.files, values.bytes};
    if (!table.empty()) found.inactiveRows = ResultFileReader(table).inactiveRows().size();
    return found;
}

// Every finished file in the result directories is whole: it parses to its end and holds
// exactly what a complete run finds. Returns the number of unfinished files seen.
size_t expectFinishedFilesWhole(const ScanInstallation& installation, const Reference& reference) {
    for (const std::string& data : namesEndingIn(installation.base() + "/results", ".data")) {
        Reference found;
        EXPECT_NO_THROW(found = readBack(data, ""));
        EXPECT_EQ(found.totals, reference.totals) << data;
    }
    for (const std::string& table : namesEndingIn(installation.base() + "/side", ".csv")) {
        size_t rows = 0;
        EXPECT_NO_THROW(rows = ResultFileReader(table).inactiveRows().size());
        EXPECT_EQ(rows, reference.inactiveRows) << table;
    }
    return namesEndingIn(installation.base() + "/results", ".make").size() +
           namesEndingIn(installation.base() + "/side", ".make").size();
}

TEST(KilledScan, AScanKilledAtRandomMomentsNeverLeavesAPartialFinishedFile) {
    ScanInstallation installation;
    // A log line per file, and many flushes.
    const int directories = 60, perDirectory = 100, files = directories * perDirectory;
    for (int d = 0; d < directories; ++d)
        for (int f = 0; f < perDirectory; ++f)
            installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".t" + std::to_string(f % 7),
                              static_cast<size_t>(f * 13), (d * 100 + f) % 500, f);
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "4"};
    installation.settings["hoardscan.buffer"] = {"Integer", "20"};
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.settings["hoardscan.temperature-log"] = {"Bool", "true"};
    installation.settings["hoardscan.temperature-monitor"] = {"String", "cold"};
    installation.settings["hoardscan.temperature-monitor-size"] = {"Integer", "0"};
    installation.settings["hoardscan.extension"] = {"Bool", "true"};

    // A whole run: what every finished file must hold, and how many log lines a run writes.
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const Reference reference =
        readBack(installation.dataFile(), installation.resultFile("side", "HoardscanInactive", ".csv"));
    ASSERT_EQ(filesCounted(installation.dataFile()), files);
    ASSERT_GT(reference.inactiveRows, 0u);
    const std::string logPath = installation.base() + "/log/HoardscanDebug.log";
    const size_t lines = logLines(installation.log()).size();

    // Each run is killed once its log has a random number of lines.
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> moment(0, lines - 1);
    const int runs = 12;
    int killed = 0;
    size_t unfinished = 0;
    for (int run = 0; run < runs; ++run) {
        fs::remove(logPath);
        LogFollower follower(logPath);
        const size_t killAt = moment(random);
        size_t seen = 0;
        const pid_t scan = installation.start();
        eventually([&] { return (seen += follower.newLines().size()) >= killAt || hasEnded(scan); }, 120s);
        ::kill(scan, SIGKILL);
        if (installation.wait(scan) == -1) ++killed;
        unfinished += expectFinishedFilesWhole(installation, reference);
    }
    // Most runs must have died part-way, or nothing was tested.
    EXPECT_GE(killed, runs / 2);
    EXPECT_GT(unfinished, 0u);

    // The next run completes normally, with everything.
    ASSERT_EQ(installation.run(), 0) << installation.output();
    EXPECT_EQ(filesCounted(installation.dataFile()), files);
    expectFinishedFilesWhole(installation, reference);
}

}  // namespace
}  // namespace Quilna::EndToEnd
