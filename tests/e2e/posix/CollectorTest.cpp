// The mailslot channel end to end: the real hoardscan-collector receives what a program's
// logging chain forwards.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "CollectorProcess.h"
#include "common/IPCEnvelope.h"
#include "common/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogRecord.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using EndToEnd::eventually;
using TestSupport::TestDirectory;

// One run of the collector, its standard output and error kept in files of their own.
class Collector : public EndToEnd::CollectorProcess {
public:
    Collector(const TestDirectory& directory, std::vector<std::string> arguments)
        : CollectorProcess(withProgram(std::move(arguments)), directory.child("collector-" + std::to_string(counter_) + ".err"),
                           directory.child("collector-" + std::to_string(counter_) + ".out")) {
        ++counter_;
    }

private:
    static std::vector<std::string> withProgram(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), program());
        return arguments;
    }
    static inline int counter_ = 0;
};

class CollectorTest : public ::testing::Test {
protected:
    CollectorTest() {
        setDebugLevel(5);
        setSeverityFilter(0);
    }

    void SetUp() override { ASSERT_TRUE(std::filesystem::exists(Collector::program())) << "build hoardscan-collector first"; }

    std::string output() const { return TestDirectory::readFile(outputPath); }
    bool outputHolds(const std::string& text) const {
        return eventually([&] { return output().find(text) != std::string::npos; });
    }

    TestSupport::LogStateScope state;
    TestDirectory directory;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", directory.child("runtime")};
    std::string outputPath = directory.child("collected.log");
    SmartPointer<TestSupport::MemoryAgent> agent = makeSmart<TestSupport::MemoryAgent>();
    TestSupport::CapturedLog chain{makeSmart<LogMessengerIPC>(SmartPointer<LoggerAgent>(agent))};
    LoggerUnit unit{chain.centre, 17};
};

TEST_F(CollectorTest, LogRecordsReachTheCollectorAndDebugRecordsDoNot) {
    Collector collector(directory, {"-o", outputPath});
    ASSERT_TRUE(collector.ready()) << collector.errors();
    agent->lines.clear();

    EXPECT_TRUE(unit.warning(5, ParamStream() << "C:\\data" << 42));
    EXPECT_TRUE(unit.debug(1, "stays local"));
    EXPECT_TRUE(unit.error(6, ParamStream() << "last"));
    ASSERT_EQ(agent->lines.size(), 3u);
    ASSERT_TRUE(outputHolds("last")) << collector.errors();
    const std::string host = Collector::host();
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(output(), host + " " + agent->lines[0] + "\r\n" + host + " " + agent->lines[2] + "\r\n");
    EXPECT_NE(agent->lines[0].find("(17.17.05)"), std::string::npos);
    EXPECT_EQ(collector.stop(), 0);
}

TEST_F(CollectorTest, WithoutACollectorTheRecordIsOnlyLocal) {
    agent->lines.clear();
    EXPECT_FALSE(unit.warning(5, ParamStream() << "unheard"));
    ASSERT_EQ(agent->lines.size(), 1u);
    EXPECT_NE(agent->lines[0].find("unheard"), std::string::npos);
}

// Hostile datagrams: junk is skipped, a record's control bytes are escaped, so that it cannot
// end its line and forge another, and a record that names a thread of another process is marked.
TEST_F(CollectorTest, JunkIsReportedAndSkippedAndNoRecordForgesALine) {
    Collector collector(directory, {"-o", outputPath});
    ASSERT_TRUE(collector.ready()) << collector.errors();
    MailSlot sender(IPCMode::LocalSender, LogMessengerIPC::collectorMailslot);
    sender.send("hello junk");
    sender.send("Quilna\x1BLOGMSG\x1B\x1Bnot a record\x1B");
    LogRecord borrowed;
    borrowed.kind = LogRecord::Log;
    borrowed.messageId = 8;
    borrowed.text = (ParamStream() << "borrowed thread").text();
    borrowed.thread = static_cast<uint32_t>(collector.pid());
    IPCEnvelope envelope;
    envelope.type = IPCEnvelope::logMessage;
    envelope.payload = LogCommons::serializeRecord(borrowed);
    sender.send(envelope.build());
    EXPECT_TRUE(unit.warning(7, ParamStream() << "after the junk\r\nFATAL 01.01.2030 forged\t\x07\x7f"));
    ASSERT_TRUE(outputHolds("after the junk"));
    EXPECT_NE(output().find("after the junk\\x0d\\x0aFATAL 01.01.2030 forged\\x09\\x07\\x7f\r\n"), std::string::npos)
        << output();
    const std::string errors = collector.errors();
    EXPECT_NE(errors.find("skipped a message of 11 bytes (not an envelope): \"hello junk.\""), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("(not a log record)"), std::string::npos) << errors;
    // The forged record is the first line, marked; the chain's own is the second, unmarked.
    const std::string mark = "[sent by process " + std::to_string(::getpid()) + " of user " +
                             std::to_string(::geteuid()) + ", which has no thread " + std::to_string(collector.pid()) + "] ";
    const std::string text = output();
    const size_t firstEnd = text.find("\r\n");
    EXPECT_EQ(text.rfind(Collector::host() + " " + mark, 0), 0u) << text;
    EXPECT_LT(text.find("borrowed thread"), firstEnd) << text;
    EXPECT_EQ(text.find("[sent by", firstEnd), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\n", firstEnd + 2), text.size() - 2) << text;  // two lines only
}

TEST_F(CollectorTest, TemplatesComeFromTheCatalogueAndTheNameStaysWithTheFirstCollector) {
    std::filesystem::create_directories(directory.child("LogMessages"));
    directory.write("LogMessages/storage.mess", "// messages of the storage module\r\n5: Disk %s is full (%i percent).\r\n");
    Collector collector(directory, {"-o", outputPath, "-m", directory.child("LogMessages")});
    ASSERT_TRUE(collector.ready()) << collector.errors();
    EXPECT_TRUE(unit.warning(5, ParamStream() << "/data" << 97));
    ASSERT_TRUE(outputHolds("Disk /data is full (97 percent).")) << collector.errors();

    Collector second(directory, {"-o", outputPath});
    EXPECT_EQ(second.wait(), 1);
    EXPECT_NE(second.errors().find("cannot receive on mailslot Quilna_Core"), std::string::npos) << second.errors();
    EXPECT_TRUE(unit.warning(5, ParamStream() << "/home" << 12));
    EXPECT_TRUE(outputHolds("Disk /home is full (12 percent)."));
}

TEST_F(CollectorTest, AnotherMailslotNameAndTheCommandLine) {
    Collector named(directory, {"-n", "Test_Slot"});
    ASSERT_TRUE(named.ready()) << named.errors();
    EXPECT_TRUE(std::filesystem::exists(directory.child("runtime/mailslot/Test_Slot")));
    EXPECT_EQ(named.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(directory.child("runtime/mailslot/Test_Slot")));

    EXPECT_EQ(Collector(directory, {"--help"}).wait(), 0);
    Collector wrong(directory, {"-x"});
    EXPECT_EQ(wrong.wait(), 2);
    EXPECT_NE(wrong.errors().find("unknown argument \"-x\""), std::string::npos);
}

}  // namespace
}  // namespace Quilna
