// Two scans at once on one installation: both finish, each writes its own result files (its
// process id is in their names), and the one log file that both write holds every line of each,
// whole.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

// A log line of the program: label, time, application and module, thread, text.
const std::regex logLine(R"(^(debug-[1-5]|NOTICE|WARNING|ERROR|CRITICAL|FATAL) +\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d )"
                         R"(\(17\.\d\d(\.\d\d)?\) +(\d+): (.*)$)");

// Whole log lines per process, in the order written; a line that is neither a whole log line
// nor one of the log agent's own is kept under process 0.
std::map<pid_t, std::vector<std::string>> linesByProcess(const std::string& log, const std::string& logPath,
                                                         std::vector<pid_t>& writers) {
    std::map<pid_t, std::vector<std::string>> lines;
    for (const std::string& line : logLines(log)) {
        std::smatch parts;
        if (std::regex_match(line, parts, logLine)) {
            const pid_t process = static_cast<pid_t>(std::stol(parts[3].str()));
            lines[process].push_back(parts[4].str());
            if (writers.empty() || writers.back() != process) writers.push_back(process);
        } else if (!line.empty() && line != "Quilna VERSION(6.3.0.0) REVISION(0)" &&
                   !line.starts_with("Opened log file \"" + logPath + "\". Time: ") &&
                   !line.starts_with("Closing log file \"" + logPath + "\". Time: ")) {
            lines[0].push_back(line);
        }
    }
    return lines;
}

TEST(ConcurrentScans, TwoScansOfOneInstallationBothFinishAndLoseNoLogLine) {
    ScanInstallation installation;
    const int directories = 30, perDirectory = 50;
    for (int d = 0; d < directories; ++d)
        for (int f = 0; f < perDirectory; ++f)
            installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", static_cast<size_t>(f),
                              f * 10, f * 10);
    installation.settings["log.debug-level"] = {"Integer", "4"};  // a line per file
    installation.settings["inactive-log"] = {"Bool", "true"};
    installation.settings["buffer"] = {"Integer", "100"};
    const std::string logPath = installation.base() + "/log/HoardscanDebug.log";
    installation.writeInstallation();

    // Each waits for the other in turn, so that their lines must interleave: the first stopped
    // after a file, the second run up to a file, then the first goes on while the second waits.
    LogFollower follower(logPath);
    auto fileLineOf = [&](pid_t scan) {
        return eventually([&] {
            for (const std::string& line : follower.newLines())
                if (writerOf(line) == scan && line.find("Processing file") != std::string::npos) return true;
            return hasEnded(scan);
        }) && !hasEnded(scan);
    };
    const pid_t first = installation.start({}, {}, "first.txt");
    ASSERT_TRUE(fileLineOf(first)) << installation.log();
    auto firstHeld = std::make_unique<Stopped>(first, true);
    const pid_t second = installation.start({}, {}, "second.txt");
    {
        ASSERT_TRUE(fileLineOf(second)) << installation.log();
        Stopped secondHeld(second, true);
        firstHeld.reset();
        ASSERT_TRUE(fileLineOf(first)) << installation.log();
    }
    ASSERT_EQ(installation.wait(first), 0) << installation.log();
    const std::string firstData = installation.dataFile();
    const std::string firstTable = installation.resultFile("side", "HoardscanInactive", ".csv");
    ASSERT_EQ(installation.wait(second), 0) << installation.log();
    const std::string secondData = installation.dataFile();
    const std::string secondTable = installation.resultFile("side", "HoardscanInactive", ".csv");

    // Each its own complete files.
    ASSERT_NE(firstData, secondData);
    for (const std::string& data : {firstData, secondData}) {
        ASSERT_TRUE(fs::exists(data)) << data;
        EXPECT_EQ(filesCounted(data), directories * perDirectory) << data;
    }
    EXPECT_EQ(ResultFileReader(firstData).accountTotals().size(), ResultFileReader(secondData).accountTotals().size());
    EXPECT_EQ(ResultFileReader(firstTable).inactiveRows().size(), ResultFileReader(secondTable).inactiveRows().size());
    EXPECT_TRUE(namesEndingIn(installation.base() + "/results", ".make").empty());

    // Every line of each, whole, a line per file; nothing else.
    std::vector<pid_t> writers;
    const std::map<pid_t, std::vector<std::string>> together = linesByProcess(installation.log(), logPath, writers);
    EXPECT_GE(writers.size(), 4u) << "the scans did not run at the same time";
    EXPECT_EQ(together.count(0), 0u) << "broken lines: " << ::testing::PrintToString(together.at(0));
    for (pid_t process : {first, second}) {
        const std::vector<std::string>& lines = together.at(process);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& text) {
                      return text.starts_with("   Processing file \"");
                  }),
                  directories * perDirectory)
            << process;
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& text) { return text.find("Hoardscan has ended.") != std::string::npos; }),
                  1)
            << process;
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
