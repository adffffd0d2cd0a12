// The collector stops while a scan forwards its log records to it: the scan goes on and ends
// normally with a whole account record file, the records that could no longer be forwarded
// cost it no more than a run without any collector, and what the collector received before it
// stopped is in its output, each line whole and as the program's own log has it.
#include <gtest/gtest.h>

#include "CollectorProcess.h"

namespace Quilna::EndToEnd {
namespace {

constexpr int directories = 30, perDirectory = 100, files = directories * perDirectory;

// The real collector, receiving in the installation's runtime directory and writing with the
// example installation's message catalogue, as the program's own log does.
class Collector : public CollectorProcess {
public:
    explicit Collector(const ScanInstallation& installation)
        : CollectorProcess({program(), "-o", installation.base() + "/collected.log", "-m", HOARDSCAN_EXAMPLE_INSTALLATION},
                           installation.base() + "/collector.err", "",
                           {{"QUILNA_RUNTIME_DIR", installation.base() + "/runtime"}}),
          output_(installation.base() + "/collected.log") {}

    std::string output() const { return TestSupport::TestDirectory::readFile(output_); }

private:
    std::string output_;
};

// Every file of the tree gives a warning record: the account placeholder reaches deeper than
// any path, and every repeat of the warning is logged.
void installWarningPerFile(ScanInstallation& installation) {
    installation.settings["log.repeated-messages"] = {"Integer", "0"};
    for (int d = 0; d < directories; ++d)
        for (int f = 0; f < perDirectory; ++f)
            installation.file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", static_cast<size_t>(f));
    installation.accountsRules = "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" +
                                 installation.tree() + "/*\naccount=%99%\n}\n}\n}\n}\n}\n";
    installation.writeInstallation();
}

bool isRecordLine(const std::string& line) {
    for (const char* label : {"NOTICE ", "WARNING ", "ERROR ", "CRITICAL ", "FATAL "})
        if (line.rfind(label, 0) == 0) return true;
    return false;
}

// The log record lines (not debug lines) one process wrote to the program's log.
std::vector<std::string> recordLinesOf(const ScanInstallation& installation, pid_t process) {
    std::vector<std::string> records;
    for (const std::string& line : logLines(installation.log()))
        if (isRecordLine(line) && writerOf(line) == process) records.push_back(line);
    return records;
}

size_t placeholderWarnings(const std::vector<std::string>& lines) {
    size_t count = 0;
    for (const std::string& line : lines) count += line.find("Account placeholder number 99") != std::string::npos;
    return count;
}

using Clock = std::chrono::steady_clock;

// A whole run without a collector: every forward fails from the start. Its time bounds the
// rest of a run whose collector stops.
Clock::duration runWithoutCollector(ScanInstallation& installation) {
    const auto started = Clock::now();
    const pid_t scan = installation.start();
    EXPECT_EQ(installation.wait(scan), 0) << installation.log();
    const Clock::duration took = Clock::now() - started;
    EXPECT_EQ(placeholderWarnings(recordLinesOf(installation, scan)), static_cast<size_t>(files));
    return took;
}

// What a run whose collector stopped part-way must show: exit code 0 within the time bound, a
// whole data file, and every record in the program's own log.
void expectScanFinishedAfterTheStop(ScanInstallation& installation, pid_t scan, Clock::time_point stopped,
                                    Clock::duration alone) {
    ASSERT_EQ(installation.wait(scan), 0) << installation.log();
    const Clock::duration rest = Clock::now() - stopped;
    EXPECT_LE(rest, 2 * alone + std::chrono::seconds(5))
        << "forwarding failures stalled the scan: a whole run alone took "
        << std::chrono::duration_cast<std::chrono::milliseconds>(alone).count() << " ms";
    EXPECT_EQ(filesCounted(installation.dataFile()), files);
    EXPECT_TRUE(namesEndingIn(installation.base() + "/results", ".make").empty());
    EXPECT_EQ(placeholderWarnings(recordLinesOf(installation, scan)), static_cast<size_t>(files));
    EXPECT_EQ(installation.logCount("Hoardscan has ended."), 2u);
}

// The collector's output is the start of the program's own record lines, each whole, at least
// the given number of them; many records came after the stop.
void expectOutputIsTheStartOfTheLog(const ScanInstallation& installation, const Collector& collector, pid_t scan,
                                    size_t receivedAtLeast) {
    const std::vector<std::string> local = recordLinesOf(installation, scan);
    const std::string output = collector.output();
    const std::vector<std::string> received = CollectorProcess::collectedLines(output);
    EXPECT_EQ(output.size() >= 2 ? output.substr(output.size() - 2) : "", "\r\n");
    ASSERT_GE(received.size(), receivedAtLeast) << collector.errors();
    ASSERT_LE(received.size(), local.size());
    for (size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i], local[i]) << "line " << i;
    EXPECT_GE(local.size() - received.size(), static_cast<size_t>(files / 2)) << "the collector stopped too late";
}

// Waits until the collector has written a tenth of the warnings, or the scan ended.
bool heardATenth(const Collector& collector, pid_t scan) {
    return eventually([&] {
        return placeholderWarnings(logLines(collector.output())) >= static_cast<size_t>(files / 10) || hasEnded(scan);
    }, 60s);
}

TEST(CollectorStops, AKilledCollectorKeepsWhatItWroteAndTheScanGoesOn) {
    ScanInstallation installation;
    installWarningPerFile(installation);
    const Clock::duration alone = runWithoutCollector(installation);

    Collector collector(installation);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    const pid_t scan = installation.start();
    const bool heard = heardATenth(collector, scan);
    ::kill(collector.pid(), SIGKILL);
    EXPECT_EQ(collector.wait(), -1);
    const Clock::time_point stopped = Clock::now();
    ASSERT_TRUE(heard) << collector.errors();
    const std::string kept = collector.output();

    expectScanFinishedAfterTheStop(installation, scan, stopped, alone);
    expectOutputIsTheStartOfTheLog(installation, collector, scan, files / 10);
    EXPECT_EQ(collector.output(), kept);
}

TEST(CollectorStops, ACollectorToldToStopWritesWhatWasAlreadySentToItAndTheScanGoesOn) {
    ScanInstallation installation;
    installWarningPerFile(installation);
    const Clock::duration alone = runWithoutCollector(installation);

    Collector collector(installation);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    const pid_t scan = installation.start();
    ASSERT_TRUE(heardATenth(collector, scan)) << collector.errors();

    // Records sent while the collector does not read wait in its mailslot: at least two more
    // whole ones when the program has logged three more.
    size_t written = 0;
    Clock::time_point stopped;
    {
        Stopped collectorHeld(collector.pid());
        written = logLines(collector.output()).size();
        eventually([&] { return recordLinesOf(installation, scan).size() >= written + 3 || hasEnded(scan); }, 30s);
        Stopped scanHeld(scan);
        ASSERT_GE(recordLinesOf(installation, scan).size(), written + 3) << "the scan ended too soon";
        ::kill(collector.pid(), SIGTERM);
        stopped = Clock::now();
    }
    EXPECT_EQ(collector.wait(), 0) << collector.errors();
    EXPECT_FALSE(fs::exists(installation.base() + "/runtime/mailslot/Quilna_Core"));

    expectScanFinishedAfterTheStop(installation, scan, stopped, alone);
    expectOutputIsTheStartOfTheLog(installation, collector, scan, written + 2);
}

TEST(CollectorStops, ACollectorThatHangsCostsTheScanOneWaitNotOnePerRecord) {
    ScanInstallation installation;
    installWarningPerFile(installation);
    const Clock::duration alone = runWithoutCollector(installation);

    Collector collector(installation);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    const pid_t scan = installation.start();
    ASSERT_TRUE(heardATenth(collector, scan)) << collector.errors();
    size_t written = 0;
    {
        // Alive but reading nothing until the scan has ended.
        Stopped collectorHeld(collector.pid());
        written = logLines(collector.output()).size();
        expectScanFinishedAfterTheStop(installation, scan, Clock::now(), alone);
        ::kill(collector.pid(), SIGTERM);
    }
    EXPECT_EQ(collector.wait(), 0) << collector.errors();
    // What waited in its mailslot when it hung is written; what found no room is lost.
    expectOutputIsTheStartOfTheLog(installation, collector, scan, written);
}

}  // namespace
}  // namespace Quilna::EndToEnd
