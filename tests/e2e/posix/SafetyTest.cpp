// The program on a machine it shares with other users: it never writes through a link, and it
// refuses places that another user controls, saying why, without making anything there.
#include <gtest/gtest.h>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

std::vector<std::string> resultNames(const ScanInstallation& installation) {
    return {installation.resultFile("results", "Hoardscan", ".make"),
            installation.resultFile("side", "HoardscanInactive", ".csv.make"),
            installation.resultFile("side", "Hoardscan-hot", ".log"),
            installation.resultFile("side", "HoardscanExtension", ".log")};
}

// The log rotated at the start of the run, into a name the registry's values fix.
void rotateTheLogAtStart(ScanInstallation& installation) {
    const std::string log = installation.at("log/HoardscanDebug.log");
    std::ofstream(log, std::ios::binary) << "an earlier run's line\r\n";
    fs::permissions(log, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);  // as it makes it
    installation.resources["LogFileRotationScheme"] = "init";
    installation.resources["HoardscanLogOpened"] = "20130101T120000";
    installation.resources["HoardscanLogCounter"] = "7";
    installation.writeInstallation();
}
constexpr const char* rotatedLog = "/log/HoardscanDebug_20130101T120000_7.log";

unsigned modeOf(const fs::path& path) { return static_cast<unsigned>(fs::symlink_status(path).permissions()); }

// Whatever the umask. No open waits for a writer at a FIFO, and a refused lock costs no wait at
// each log line (before, about 2 s each).
TEST(Safety, WhatTheProgramMakesIsItsOwnAndLinksAndFifosAtItsNamesAreRefusedAtOnce) {
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "links" : "FIFOs");
        ScanInstallation installation;
        installation.file("a.doc", 10, 400, 400);
        installation.file("b.unknown", 20, 1, 1);  // hot, and of no known type
        installation.fileTypesRules = "default=plainfile\ndocuments\n{\ndoc\n}\n";
        installation.settings["hoardscan.filetype"] = {"Integer", "1"};
        installation.writeEveryResultFile("hot", 0);
        rotateTheLogAtStart(installation);
        const std::string base = installation.base(), runtime = base + "/runtime", victim = base + "/victim";
        fs::remove(runtime);
        const mode_t before = ::umask(0);
        CollectorProcess umasked({CollectorProcess::program(), "-o", base + "/log/collected.log"}, runtime,
                                 base + "/collector.err");
        ::umask(before);
        ASSERT_TRUE(umasked.ready()) << umasked.errors();
        ASSERT_EQ(installation.wait(installation.start({}, [] { ::umask(0); })), 0) << installation.log();
        ASSERT_EQ(umasked.stop(), 0);
        // The result files and logs, 0640; what the runtime directory holds, 0700 and 0600.
        size_t made = 0;
        for (const std::string place : {"results", "side", "log", "runtime"})
            for (const auto& entry : fs::recursive_directory_iterator(base + "/" + place)) {
                const unsigned expected = place != "runtime" ? 0640 : entry.is_directory() ? 0700 : 0600;
                EXPECT_EQ(modeOf(entry.path()), expected) << entry.path();
                ++made;
            }
        // Four result files, the log, its rotated name, the collector's output; two locks, a guard, their directories.
        EXPECT_EQ(made, 12u);
        EXPECT_EQ(modeOf(runtime), ::geteuid() == 0 ? 0755u : 0700u);
        // Waits show as voluntary context switches.
        const long plainWaits = installation.usage.ru_nvcsw;

        std::ofstream(victim) << "precious";
        const auto plant = [&](const std::string& path) {
            ::unlink(path.c_str());
            return link ? ::symlink(victim.c_str(), path.c_str()) == 0 : ::mkfifo(path.c_str(), 0600) == 0;
        };
        const std::string refused =
            link ? "\" is a symbolic link, which is never followed for writing" : "\" is not a regular file";

        // Result files, the log's rotated name, the mailslot's guard while a collector listens, its lock.
        rotateTheLogAtStart(installation);
        fs::create_directories(runtime + "/mailslot");
        for (const std::string& name :
             {base + rotatedLog, runtime + "/locks/Quilna_MailSlot", runtime + "/mailslot/Quilna_Core.lock"})
            ASSERT_TRUE(plant(name)) << name;
        CollectorProcess collector({CollectorProcess::program(), "-o", base + "/collected.log"}, runtime,
                                   base + "/collector.err");
        ASSERT_TRUE(collector.ready()) << collector.errors();
        // In the new process, as the program after exec will name its files.
        const auto plantResultNames = [&] {
            installation.processId = static_cast<uint64_t>(::getpid());
            installation.dayStamp = ResultFiles::dayStamp(DateTime());
            for (const std::string& name : resultNames(installation))
                if (!plant(name)) ::_exit(96);
        };
        EXPECT_EQ(installation.wait(installation.start({}, plantResultNames)), 3) << installation.log();
        EXPECT_EQ(collector.stop(), 0) << collector.errors();
        for (const std::string& name : resultNames(installation))
            EXPECT_TRUE(holds(installation.log(),
                              "The result file " + name + " is not written, for safety: \"" + name + refused));
        // The log could not be rotated into the planted name: it goes on, the earlier lines kept.
        EXPECT_EQ(installation.log().rfind("an earlier run's line\r\n", 0), 0u) << installation.log();
        EXPECT_EQ(installation.logCount("Log file rotation error."), 1u);
        EXPECT_LE(installation.usage.ru_nvcsw, plainWaits + 500);

        // The log's lock, the resources file, the log itself: the run goes on and says why.
        const std::string log = base + "/log/HoardscanDebug.log";
        for (const char* name : {"LogFileRotationScheme", "HoardscanLogOpened", "HoardscanLogCounter"})
            installation.resources.erase(name);
        for (const std::string& place : {runtime + "/locks/HoardscanDebug.log", installation.resourcesFile(), log}) {
            fs::remove(log);  // a new log stores when it was opened
            ASSERT_TRUE(plant(place));
            EXPECT_EQ(installation.wait(installation.start()), 0) << installation.output();
            const std::string said = installation.output() + (place == log ? "" : installation.log());
            EXPECT_TRUE(holds(said, "\"" + place + refused));
            EXPECT_LE(installation.usage.ru_nvcsw, plainWaits + 500) << place;
            fs::remove(place);
            installation.writeInstallation();
        }

        const std::string output = base + "/collected.out";
        ASSERT_TRUE(plant(output));
        CollectorProcess refusing({CollectorProcess::program(), "-o", output}, runtime, base + "/refusing.err");
        EXPECT_EQ(refusing.wait(), 1);
        EXPECT_TRUE(holds(refusing.errors(), "cannot open " + output + " for appending: \"" + output + refused));
        EXPECT_EQ(TestSupport::TestDirectory::readFile(victim), "precious");
    }
}

TEST(Safety, PlacesThatAnotherUserControlsAreRefusedAndNothingIsMadeInThem) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a second user to own the places";
    // Below the installation: whether nobody owns it (else everyone may write it), what would be made.
    const std::vector<std::tuple<std::string, bool, std::string, std::string>> places = {
        {"runtime", true, "runtime/locks", "\" belongs to user"},
        {"runtime", false, "runtime/locks", "\" may be written by every user"},
        {"results", true, "", "\" belongs to user"},
        {"side", false, "", "\" may be written by every user"},
        {"outer", true, "outer/inner", "\" belongs to user"},  // on the way to the working directory
    };
    for (const auto& [directory, theirs, made, refusal] : places) {
        SCOPED_TRACE(directory + refusal);
        ScanInstallation installation;
        installation.file("a.txt", 10);
        const std::string hostile = installation.base() + "/" + directory;
        fs::create_directories(hostile);
        if (!theirs) fs::permissions(hostile, fs::perms::all);
        else ASSERT_EQ(::chown(hostile.c_str(), nobody(), nobodyGroup()), 0);
        if (directory == "outer") installation.settings["hoardscan.working-dir"] = {"DirName", hostile + "/inner"};
        const auto listing = [&] {
            std::vector<std::string> names;
            for (const auto& entry : fs::recursive_directory_iterator(hostile)) names.push_back(entry.path().string());
            return names;
        };
        const std::vector<std::string> before = listing();

        EXPECT_EQ(installation.run(), 1) << installation.log() << installation.output();
        EXPECT_TRUE(holds(installation.output() + installation.log(), "\"" + hostile + refusal));
        EXPECT_TRUE(made.empty() || !fs::exists(installation.base() + "/" + made));
        if (directory == "runtime") {
            CollectorProcess collector({CollectorProcess::program()}, hostile, installation.at("collector.err"));
            EXPECT_EQ(collector.wait(), 1);
            EXPECT_TRUE(holds(collector.errors(), "the runtime directory \"" + hostile +
                                                      "\" cannot be used: the directory \"" + hostile + refusal));
        }
        EXPECT_EQ(listing(), before);
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
