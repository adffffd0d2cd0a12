// A scan killed at any moment never leaves a finished name on a partial file: ".data" and
// ".csv" appear only after the content is on the disk, and a killed run leaves at most its
// ".make" files. The next run completes as if nothing had happened.
#include <gtest/gtest.h>

#include <random>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// Files per key of an account record file.
std::map<std::string, double> filesPerKey(const std::string& data) {
    std::map<std::string, double> files;
    for (const auto& [key, values] : ResultFileReader(data).accountTotals()) files[key] = values.files;
    return files;
}

TEST(KilledScan, AScanKilledAtRandomMomentsNeverLeavesAPartialFinishedFile) {
    ScanInstallation installation;
    // A log line per file, and many flushes.
    for (int d = 0; d < 60; ++d)
        for (int f = 0; f < 100; ++f)
            installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".t" + std::to_string(f % 7),
                              static_cast<size_t>(f * 13), (d * 100 + f) % 500, f);
    for (const auto& [name, setting] : std::map<std::string, Setting>{{"log.debug-level", {"Integer", "4"}},
                                                                      {"buffer", {"Integer", "20"}},
                                                                      {"inactive-log", {"Bool", "true"}},
                                                                      {"temperature-log", {"Bool", "true"}},
                                                                      {"temperature-monitor", {"String", "cold"}},
                                                                      {"temperature-monitor-size", {"Integer", "0"}},
                                                                      {"extension", {"Bool", "true"}}})
        installation.settings["hoardscan." + name] = setting;

    // A whole run: what every finished file must hold, and how many log lines a run writes.
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const std::map<std::string, double> whole = filesPerKey(installation.dataFile());
    const size_t rows =
        ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows().size();
    ASSERT_EQ(filesCounted(installation.dataFile()), 6000);
    ASSERT_GT(rows, 0u);
    const auto expectFinishedFilesWhole = [&] {
        for (const std::string& data : namesEndingIn(installation.at("results"), ".data"))
            EXPECT_EQ(filesPerKey(data), whole) << data;
        for (const std::string& table : namesEndingIn(installation.at("side"), ".csv"))
            EXPECT_EQ(ResultFileReader(table).inactiveRows().size(), rows) << table;
    };
    const std::string logPath = installation.at("log/HoardscanDebug.log");
    const size_t lines = logLines(installation.log()).size();

    // Each run is killed once its log has a random number of lines.
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const int runs = 12;
    int killed = 0;
    for (int run = 0; run < runs; ++run) {
        fs::remove(logPath);
        LogFollower follower(logPath);
        const size_t killAt = std::uniform_int_distribution<size_t>(0, lines - 1)(random);
        size_t seen = 0;
        const pid_t scan = installation.start();
        eventually([&] { return (seen += follower.newLines().size()) >= killAt || hasEnded(scan); }, 120s);
        ::kill(scan, SIGKILL);
        killed += installation.wait(scan) == -1;
        expectFinishedFilesWhole();
    }
    // Most runs must have died part-way, or nothing was tested.
    EXPECT_GE(killed, runs / 2);
    EXPECT_FALSE(namesEndingIn(installation.at("results"), ".make").empty());

    // The next run completes normally, with everything.
    ASSERT_EQ(installation.run(), 0) << installation.output();
    EXPECT_EQ(filesCounted(installation.dataFile()), 6000);
    expectFinishedFilesWhole();
}

}  // namespace
}  // namespace Quilna::EndToEnd
