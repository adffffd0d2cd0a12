#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "RulesTestSupport.h"
#include "config/ConfReader.h"
#include "hoardscan/ScanSettings.h"
#include "logger/ConfigurationLog.h"

namespace Quilna {
namespace {

using Texts = std::vector<std::string>;
using Entries = std::map<std::string, std::pair<std::string, std::string>>;  // key: (type, value)

// A complete configuration, read whole; then one setting at a time made unusable: reported by
// its key (and value), with the debug line that says what is missing.
TEST(ScanSettings, ReadIntoOneValueOrReportedByKey) {
    TestSupport::TestDirectory dir;
    const std::string base = RulesTest::quotedPath(dir.text());
    for (const char* name : {"fs.rules", "accounts.rules", "types.rules", "t.rules"}) dir.write(name, "");
    const Entries complete{
        {"extension", {"Bool", "true"}},
        {"inactive-log", {"Bool", "false"}},
        {"temperature-log", {"Bool", "true"}},
        {"temperature-monitor", {"String", "frozen"}},
        {"temperature-monitor-size", {"Integer", "2"}},
        {"working-dir", {"DirName", base + "/work/"}},
        {"temp-dir", {"DirName", base + "/side"}},
        {"filesystems", {"FileName", base + "/fs.rules"}},
        {"hoardscan", {"FileName", base + "/accounts.rules"}},
        {"filetype", {"Integer", "1"}},
        {"filename", {"FileName", base + "/types.rules"}},
        {"temperatures", {"FileName", base + "/t.rules"}},
        {"read-ahead", {"Integer", "3"}},
        {"filesystems-in-parallel", {"Integer", "1"}},
    };
    RulesTest::TestLog log{1};
    ConfReader reader{makeSmart<ConfigurationLog>(log.centre())};
    const auto read = [&](const std::function<void(Entries&)>& change) {
        auto settings = complete;
        change(settings);
        std::string text = "hoardscan () = '' {";
        for (const auto& [key, value] : settings)
            text += " " + key + " (" + value.first + ") = '" + value.second + "' {}";
        EXPECT_TRUE(reader.buildTreeFromText(text + " }", "test.conf"));
        log.clear();
        return readSettings(reader, log.unit());
    };

    const std::optional<ScanSettings> settings = read([](Entries&) {});
    ASSERT_TRUE(settings);
    // Made, and ending in a separator.
    EXPECT_TRUE(std::filesystem::equivalent(settings->workingDirectory + ".", dir.child("work")));
    EXPECT_TRUE(std::filesystem::equivalent(settings->tempDirectory + ".", dir.child("side")));
    EXPECT_EQ(settings->temperaturesFile, dir.child("t.rules"));
    EXPECT_EQ(settings->temperatureMonitorSize, 2 * 1048576);
    EXPECT_EQ(settings->readAhead, 3u);
    EXPECT_EQ(settings->bufferSize, 1000);
    EXPECT_EQ(settings->filesystemsInParallel, 1);
    EXPECT_EQ(settings->userDirectories, (Texts{"documents and settings"}));

    const std::string missing = dir.child("missing.txt");
    const struct {
        std::string key, type, value;  // value "": the key is left out
        int id;
        std::string parameters, debugLine;
    } cases[] = {
        {"temperatures", "", "", 2, "hoardscan.temperatures", "No temperatures file configured."},
        {"temperatures", "FileName", RulesTest::quotedPath(missing), 3, "hoardscan.temperatures|" + missing,
         "Temperaturs file \"" + missing + "\" does not exist."},
        {"temperatures", "FileName", base + "/sub/", 34,
         "hoardscan.temperatures|" + dir.text() +
             "/sub/|a file name without * or ? that does not end in a separator expected",
         ""},
        {"filename", "", "", 2, "hoardscan.filename", "No filename extension mapping file configured."},
        {"filename", "FileName", RulesTest::quotedPath(missing), 3, "hoardscan.filename|" + missing,
         "Filename extension mapping file \"" + missing + "\" does not exist."},
        {"temp-dir", "DirName", base + "/fs.rules/x", 3, "hoardscan.temp-dir|" + dir.text() + "/fs.rules/x/",
         "Temp directory \"" + dir.text() + "/fs.rules/x/\" does not exist."},
        {"read-ahead", "Integer", "17", 34,
         "hoardscan.read-ahead|17|a number of helper threads from 0 (none) to 16 expected", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + " " + c.value);
        EXPECT_FALSE(read([&](Entries& changed) {
            if (c.value.empty()) changed.erase(c.key);
            else changed[c.key] = {c.type, c.value};
        }));
        EXPECT_EQ(log.messages("FATAL", c.id), (Texts{c.parameters}));
        EXPECT_EQ(c.debugLine.empty() ? "" : log.debugTexts().back(), c.debugLine);
    }
}

}  // namespace
}  // namespace Quilna
