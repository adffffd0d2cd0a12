// The real hoardscan-collector receives what a logging chain forwards; hostile datagrams cannot
// forge its lines.
#include <gtest/gtest.h>

#include "ScanInstallation.h"
#include "ipc/IPCEnvelope.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LogRecord.h"
#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"
#include "support/EnvironmentScope.h"

namespace Quilna::EndToEnd {
namespace {

using TestSupport::TestDirectory;

// Debug records stay local; a record that names a thread of another process is marked. Output
// that cannot be written costs lines, not the collector.
TEST(Collector, RecordsReachItJunkIsSkippedAndNoRecordForgesALine) {
    TestSupport::LogStateScope state;
    setDebugLevel(5);
    setSeverityFilter(0);
    TestDirectory directory;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", directory.child("runtime")};
    const std::string outputPath = directory.child("collected.log");
    auto start = [&](std::vector<std::string> words, const std::string& name, const std::string& output = "") {
        words.insert(words.begin(), CollectorProcess::program());
        return std::make_unique<CollectorProcess>(words, directory.child("runtime"), directory.child(name), output);
    };
    TestSupport::CapturedLog chain{
        makeSmart<LogMessengerIPC>(SmartPointer<LoggerAgent>(makeSmart<TestSupport::MemoryAgent>()))};
    LoggerUnit unit{chain.centre, 17};
    fs::create_directories(directory.child("LogMessages"));
    directory.write("LogMessages/storage.mess",
                    "// messages of the storage module\r\n5: Disk %s is full (%i percent).\r\n");
    const auto collector = start({"-o", outputPath, "-m", directory.child("LogMessages")}, "first");
    ASSERT_TRUE(collector->ready()) << collector->errors();
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> others{
        {{"-o", outputPath}, 1, "cannot receive on mailslot Quilna_Core: "},
        {{"--help"}, 0, "Usage: hoardscan-collector [-o FILE]"},
        {{"-x"}, 2, "hoardscan-collector: unknown argument \"-x\"\nUsage: "},
        {{"-n"}, 2, "hoardscan-collector: option -n needs a value\nUsage: "},
        {{"-o", directory.child("none/collected.log")}, 1, "cannot open " + directory.child("none/collected.log")},
    };
    for (const auto& [arguments, exitCode, said] : others) {
        const auto other = start(arguments, "other");
        EXPECT_EQ(other->wait(), exitCode) << said;
        EXPECT_TRUE(holds(other->errors(), said));
    }

    MailSlot sender(IPCMode::LocalSender, LogMessengerIPC::collectorMailslot);
    sender.send("Quilna\x1BLOGMSG\x1B\x1Bnot a record\x1B");
    for (int i = 0; i < 10; ++i) sender.send("hello junk");  // ten complaints an interval are shown
    LogRecord borrowed;
    borrowed.kind = LogRecord::Log;
    borrowed.messageId = 8;
    borrowed.text = (ParamStream() << "borrowed thread").text();
    borrowed.thread = static_cast<uint32_t>(collector->id());
    sender.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(borrowed), ""}.build());
    EXPECT_TRUE(unit.warning(5, ParamStream() << "/data" << 97));
    EXPECT_TRUE(unit.debug(1, "stays local"));
    EXPECT_TRUE(unit.warning(7, ParamStream() << "after the junk\r\nFATAL 01.01.2030 forged\t\x07\x7f"));
    EXPECT_EQ(collector->stop(), 0);  // at once: what was sent before the stop is written all the same
    const auto output = [&] { return TestDirectory::readFile(outputPath); };

    const std::string host = EndToEnd::host() + " ";
    const std::vector<std::string> lines = StringUtils::split(output(), "\r\n");
    ASSERT_EQ(lines.size(), 4u) << output();  // three, each ending in CR LF
    const std::vector<std::pair<std::string, std::string>> expected = {
        {host + "[sent by process " + std::to_string(::getpid()) + " of user " + std::to_string(::geteuid()) +
             ", which has no thread " + std::to_string(collector->id()) + "] ",
         "borrowed thread"},
        {host + "WARNING ", "Disk /data is full (97 percent)."},
        {host + "WARNING ", "after the junk\\x0d\\x0aFATAL 01.01.2030 forged\\x09\\x07\\x7f"},
    };
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(lines[i].starts_with(expected[i].first) && lines[i].ends_with(expected[i].second)) << lines[i];
    const std::string errors = collector->errors();
    EXPECT_TRUE(holds(errors, "skipped a message of 11 bytes (not an envelope): \"hello junk.\""));
    EXPECT_TRUE(holds(errors, "(not a log record)"));
    EXPECT_TRUE(holds(errors, "hoardscan-collector: 1 more complaints like these were not shown"));
    EXPECT_FALSE(std::regex_search(errors, std::regex("dropped|lost"))) << errors;

    // Another mailslot, and a full disk: said once, lines lost and counted; SIGINT ends it cleanly.
    const auto full = start({"-n", "Test_Slot"}, "full.err", "/dev/full");
    ASSERT_TRUE(full->ready()) << full->errors();
    MailSlot toFull(IPCMode::LocalSender, "Test_Slot");
    for (int i = 0; i < 3; ++i)
        toFull.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(borrowed), ""}.build());
    EXPECT_TRUE(eventually([&] { return full->errors().find("cannot write to") != std::string::npos; }));
    EXPECT_EQ(full->stop(SIGINT), 0);
    const std::string fullErrors = full->errors();
    EXPECT_EQ(countOf(fullErrors, "cannot write to "), 1u) << fullErrors;
    EXPECT_TRUE(holds(fullErrors,
                      "cannot write to standard output: No space left on device; lines are lost until it "
                      "can be written again"));
    EXPECT_TRUE(holds(fullErrors, "3 lines were lost; standard output could not be written again before the end"));
}

}  // namespace
}  // namespace Quilna::EndToEnd
