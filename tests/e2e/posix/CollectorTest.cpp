// The mailslot channel end to end: the real hoardscan-collector receives what a program's
// logging chain forwards, and hostile datagrams cannot forge its lines.
#include <gtest/gtest.h>

#include <unistd.h>

#include "CollectorProcess.h"
#include "ipc/IPCEnvelope.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LogRecord.h"
#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"

namespace Quilna::EndToEnd {
namespace {

using TestSupport::TestDirectory;

// Log records reach it in its catalogue's words, debug records do not; junk is skipped and
// reported, control bytes are escaped so that no record ends its line, and a record that names
// a thread of another process is marked. Its command line is answered or refused, and output
// that cannot be written costs lines, not the collector.
TEST(Collector, RecordsReachItJunkIsSkippedAndNoRecordForgesALine) {
    TestSupport::LogStateScope state;
    setDebugLevel(5);
    setSeverityFilter(0);
    TestDirectory directory;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", directory.child("runtime")};
    const std::string outputPath = directory.child("collected.log");
    auto start = [&](const std::vector<std::string>& arguments, const std::string& name,
                     const std::string& output = "") {
        std::vector<std::string> words{CollectorProcess::program()};
        words.insert(words.end(), arguments.begin(), arguments.end());
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
    // A second collector cannot take the name; the command line is answered or refused.
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
        EXPECT_NE(other->errors().find(said), std::string::npos) << other->errors();
    }

    MailSlot sender(IPCMode::LocalSender, LogMessengerIPC::collectorMailslot);
    sender.send("hello junk");
    sender.send("Quilna\x1BLOGMSG\x1B\x1Bnot a record\x1B");
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
    EXPECT_NE(lines[0].find("borrowed thread"), std::string::npos);
    EXPECT_TRUE(lines[1].starts_with(host + "WARNING ") && lines[1].ends_with("Disk /data is full (97 percent)."))
        << lines[1];
    EXPECT_TRUE(lines[2].starts_with(host + "WARNING ")) << lines[2];
    EXPECT_NE(lines[2].find("after the junk\\x0d\\x0aFATAL 01.01.2030 forged\\x09\\x07\\x7f"), std::string::npos);
    const std::string errors = collector->errors();
    EXPECT_NE(errors.find("skipped a message of 11 bytes (not an envelope): \"hello junk.\""), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("(not a log record)"), std::string::npos) << errors;

    // Another mailslot, and standard output that cannot be written (a full disk): said once,
    // lines are lost and counted.
    const auto full = start({"-n", "Test_Slot"}, "full.err", "/dev/full");
    ASSERT_TRUE(full->ready()) << full->errors();
    MailSlot toFull(IPCMode::LocalSender, "Test_Slot");
    for (int i = 0; i < 3; ++i)
        toFull.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(borrowed), ""}.build());
    EXPECT_TRUE(eventually([&] { return full->errors().find("cannot write to") != std::string::npos; }));
    EXPECT_EQ(full->stop(), 0);
    EXPECT_EQ(countOf(full->errors(), "cannot write to "), 1u) << full->errors();
    EXPECT_NE(full->errors().find("cannot write to standard output: No space left on device; lines are lost until it "
                                  "can be written again"),
              std::string::npos)
        << full->errors();
    EXPECT_NE(full->errors().find("3 lines were lost; standard output could not be written again before the end"),
              std::string::npos)
        << full->errors();
}

}  // namespace
}  // namespace Quilna::EndToEnd
