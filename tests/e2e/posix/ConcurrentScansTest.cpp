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

// The log agent's own lines, which belong to no record.
bool isAgentLine(const std::string& line, const std::string& logPath) {
    return line.empty() || line == "Quilna VERSION(6.3.0.0) REVISION(0)" ||
           line.rfind("Opened log file \"" + logPath + "\". Time: ", 0) == 0 ||
           line.rfind("Closing log file \"" + logPath + "\". Time: ", 0) == 0;
}

// How often the writer changes from one line to the next: 1 when the runs did not overlap.
size_t writerChanges(const std::string& log) {
    size_t changes = 0;
    std::string last;
    for (const std::string& line : logLines(log)) {
        std::smatch parts;
        if (!std::regex_match(line, parts, logLine)) continue;
        if (!last.empty() && parts[3].str() != last) ++changes;
        last = parts[3].str();
    }
    return changes;
}

// Lines on what the walk leaves out beside the installation: the temporary directory's other
// entries come and go with whatever else runs on the machine.
bool isExclusionLine(const std::string& text) {
    return text.find("This directory and all it's subdirectories are excluded: ") != std::string::npos;
}

// The texts of each process's lines, in order, its own process id written as "<pid>", without
// exclusion lines; a line that is neither a whole log line nor one of the agent's is kept
// under process 0.
std::map<pid_t, std::vector<std::string>> textsByProcess(const std::string& log, const std::string& logPath) {
    std::map<pid_t, std::vector<std::string>> texts;
    for (const std::string& line : logLines(log)) {
        std::smatch parts;
        if (std::regex_match(line, parts, logLine)) {
            const pid_t process = static_cast<pid_t>(std::stol(parts[3].str()));
            std::string text = parts[4].str();
            const std::string id = parts[3].str();
            for (size_t at = text.find(id); at != std::string::npos; at = text.find(id, at + 5))
                text.replace(at, id.size(), "<pid>");
            if (!isExclusionLine(text)) texts[process].push_back(parts[1].str() + " " + text);
        } else if (!isAgentLine(line, logPath)) {
            texts[0].push_back(line);
        }
    }
    return texts;
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

    // Alone first: the lines one scan writes.
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const std::map<pid_t, std::vector<std::string>> alone = textsByProcess(installation.log(), logPath);
    ASSERT_EQ(alone.size(), 1u) << ::testing::PrintToString(alone.begin()->second);
    const std::vector<std::string>& expected = alone.begin()->second;
    ASSERT_GT(expected.size(), static_cast<size_t>(directories * perDirectory));
    fs::remove(logPath);

    const pid_t first = installation.start({}, {}, "first.txt");
    const pid_t second = installation.start({}, {}, "second.txt");
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

    // Every line of each, whole and in its order; nothing else.
    EXPECT_GT(writerChanges(installation.log()), 2u) << "the scans did not run at the same time";
    const std::map<pid_t, std::vector<std::string>> together = textsByProcess(installation.log(), logPath);
    EXPECT_EQ(together.count(0), 0u) << "broken lines: " << ::testing::PrintToString(together.at(0));
    for (pid_t process : {first, second}) {
        SCOPED_TRACE("process " + std::to_string(process));
        ASSERT_EQ(together.count(process), 1u);
        const std::vector<std::string>& texts = together.at(process);
        EXPECT_EQ(texts.size(), expected.size());
        EXPECT_TRUE(texts == expected) << "first difference at line "
                                       << std::mismatch(texts.begin(), texts.end(), expected.begin(), expected.end())
                                                  .first - texts.begin();
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
