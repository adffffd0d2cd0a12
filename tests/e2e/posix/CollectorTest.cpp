// The real hoardscan-collector receives what a logging chain forwards; hostile datagrams cannot
// forge its lines, and a flood cannot exhaust it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>

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
    // A second collector cannot take the name.
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
    const auto output = [&] { return TestDirectory::readFile(outputPath); };
    ASSERT_TRUE(eventually([&] { return output().find("after the junk") != std::string::npos; }))
        << collector->errors();
    EXPECT_EQ(collector->stop(), 0);

    const std::string host = EndToEnd::host() + " ";
    const std::vector<std::string> lines = logLines(output());
    ASSERT_EQ(lines.size(), 3u) << output();
    EXPECT_EQ(lines[0].rfind(host + "[sent by process " + std::to_string(::getpid()) + " of user " +
                                 std::to_string(::geteuid()) + ", which has no thread " +
                                 std::to_string(collector->id()) + "] ",
                             0),
              0u)
        << lines[0];
    EXPECT_TRUE(holds(lines[0], "borrowed thread"));
    EXPECT_TRUE(lines[1].starts_with(host + "WARNING ") && lines[1].ends_with("Disk /data is full (97 percent)."))
        << lines[1];
    EXPECT_TRUE(lines[2].starts_with(host + "WARNING ")) << lines[2];
    EXPECT_TRUE(holds(lines[2], "after the junk\\x0d\\x0aFATAL 01.01.2030 forged\\x09\\x07\\x7f"));
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

// Two senders flood the collector with records and with messages that are none: its memory stays
// small, every record is written or counted as dropped, and its complaints are few and counted.
constexpr int recordsPerSender = 2000, badPerSender = 500;

// The number of records the mailslot took goes to the file.
int flood(const std::string& countFile, int sender) {
    MailSlot slot(IPCMode::LocalSender, "Quilna_Core");
    LogRecord record;
    record.kind = LogRecord::Log;
    int sent = 0;
    for (int i = 0; i < recordsPerSender + badPerSender; ++i) {
        record.text =
            "sender " + std::to_string(sender) + " record " + std::to_string(i) + " " + std::string(2000, 'r');
        try {
            slot.send(i % 5 == 4
                          ? "not a record " + std::to_string(i)
                          : IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(record), ""}.build());
            sent += i % 5 != 4;
        } catch (const std::exception&) {
        }
    }
    std::ofstream(countFile) << sent;
    return 0;
}

uint64_t sumOf(const std::string& text, const std::regex& pattern) {
    uint64_t sum = 0;
    for (std::sregex_iterator at(text.begin(), text.end(), pattern), end; at != end; ++at) sum += std::stoull((*at)[1]);
    return sum;
}

TEST(CollectorFlood, MemoryStaysBoundedAndNoRecordIsLostSilently) {
    TestDirectory directory;
    const std::string runtime = directory.child("runtime");
    fs::create_directory(runtime);
    // A sanitizer reserves more address space than any limit.
    const rlim_t limit = memoryIsMeasured ? rlim_t{256} << 20 : RLIM_INFINITY;
    CollectorProcess collector({CollectorProcess::program(), "-o", directory.child("collected.log")}, runtime,
                               directory.child("collector.err"), "", limit);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", runtime};
    TestSupport::ChildProcess first([&] { return flood(directory.child("sent0"), 0); });
    TestSupport::ChildProcess second([&] { return flood(directory.child("sent1"), 1); });
    ASSERT_EQ(first.wait(), 0);
    ASSERT_EQ(second.wait(), 0);
    EXPECT_EQ(collector.stop(), 0) << collector.errors();

    const uint64_t sent = std::stoull(directory.read("sent0")) + std::stoull(directory.read("sent1"));
    const std::vector<std::string> written = logLines(directory.read("collected.log"));
    const std::string errors = collector.errors();
    const uint64_t dropped = sumOf(errors, std::regex("(\\d+) records? (?:was|were) dropped"));
    EXPECT_EQ(written.size() + dropped, sent) << errors;
    EXPECT_GT(written.size(), 0u);

    const uint64_t shown = countOf(errors, "skipped a message of");
    const uint64_t heldBack = sumOf(errors, std::regex("(\\d+) more complaints like these were not shown"));
    EXPECT_EQ(shown + heldBack, 2u * badPerSender) << errors;
    EXPECT_LE(shown, 10u * (countOf(errors, "more complaints like these") + 1));

    if (memoryIsMeasured) {
        EXPECT_LE(largestMemoryMiB(collector.usage()), 128.0);
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
