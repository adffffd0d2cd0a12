// The collector is killed while a scan forwards its log records to it: the scan goes on and
// ends normally with a whole account record file and every record in its own log, and what the
// collector wrote before it died is the start of the program's own record lines, each whole.
#include <gtest/gtest.h>

#include "CollectorProcess.h"

namespace Quilna::EndToEnd {
namespace {

TEST(CollectorStops, AKilledCollectorKeepsWhatItWroteAndTheScanGoesOn) {
    ScanInstallation installation;
    // Every file gives a warning record: the account placeholder reaches deeper than any path,
    // and every repeat of the warning is logged.
    const int files = 3000;
    for (int f = 0; f < files; ++f) installation.file("d" + std::to_string(f % 30) + "/f" + std::to_string(f) + ".txt", 1);
    installation.accountsRules = "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" +
                                 installation.tree() + "/*\naccount=%99%\n}\n}\n}\n}\n}\n";
    installation.settings["log.repeated-messages"] = {"Integer", "0"};
    installation.writeInstallation();
    const std::string output = installation.base() + "/collected.log";
    CollectorProcess collector({CollectorProcess::program(), "-o", output, "-m", HOARDSCAN_EXAMPLE_INSTALLATION},
                               installation.base() + "/collector.err", "",
                               {{"QUILNA_RUNTIME_DIR", installation.base() + "/runtime"}});
    ASSERT_TRUE(collector.ready()) << collector.errors();
    const auto warnings = [](const std::string& text) { return countOf(text, "Account placeholder number 99"); };

    const pid_t scan = installation.start();
    const bool heard = eventually([&] {
        return warnings(TestSupport::TestDirectory::readFile(output)) >= files / 10 || hasEnded(scan);
    }, 120s);
    ::kill(collector.pid(), SIGKILL);
    EXPECT_EQ(collector.wait(), -1);
    ASSERT_TRUE(heard) << collector.errors();
    const std::string kept = TestSupport::TestDirectory::readFile(output);
    ASSERT_EQ(installation.wait(scan), 0) << installation.log();
    EXPECT_EQ(filesCounted(installation.dataFile()), files);
    EXPECT_EQ(warnings(installation.log()), static_cast<size_t>(files));

    // The collector's lines: the start of the program's own record lines, each whole.
    std::vector<std::string> local;
    for (const std::string& line : logLines(installation.log()))
        if (!line.starts_with("debug-") && writerOf(line) == scan) local.push_back(line);
    const std::vector<std::string> received = CollectorProcess::collectedLines(kept);
    EXPECT_TRUE(kept.ends_with("\r\n"));
    ASSERT_GE(received.size(), static_cast<size_t>(files / 10));
    ASSERT_LE(received.size(), local.size());
    for (size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i], local[i]) << "line " << i;
    EXPECT_GE(local.size() - received.size(), static_cast<size_t>(files / 2)) << "the collector died too late";
}

}  // namespace
}  // namespace Quilna::EndToEnd
