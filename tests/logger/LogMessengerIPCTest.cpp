#include <gtest/gtest.h>

#include "common/FileException.h"
#include "common/IPCEnvelope.h"
#include "common/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::CapturedLog;
using TestSupport::MemoryAgent;

// A program's logging chain with a forwarding messenger, in a private runtime directory.
class LogMessengerIPCTest : public ::testing::Test {
protected:
    LogMessengerIPCTest() {
        setDebugLevel(5);
        setSeverityFilter(0);
    }

    // What the collector would receive: the envelopes, parsed.
    std::vector<IPCEnvelope> received(MailSlot& collector) {
        std::vector<std::string> messages;
        collector.receiveWhole(messages);
        std::vector<IPCEnvelope> envelopes;
        for (const std::string& message : messages) {
            EXPECT_EQ(message.back(), '\0');
            IPCEnvelope envelope;
            EXPECT_TRUE(IPCEnvelope::parse(message, envelope));
            envelopes.push_back(envelope);
        }
        return envelopes;
    }

    TestSupport::LogStateScope state;
    TestSupport::TestDirectory runtime;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", runtime.text()};
    // Mailslot names are machine-wide on Windows: each test program uses its own.
    const std::string slot = "Quilna_Core-" + std::to_string(platform().processId());
    SmartPointer<MemoryAgent> agent = makeSmart<MemoryAgent>();
    CapturedLog log{makeSmart<LogMessengerIPC>(SmartPointer<LoggerAgent>(agent), slot)};
};

TEST_F(LogMessengerIPCTest, ALogRecordGoesToTheLogAndToTheCollector) {
    MailSlot collector(IPCMode::Receiver, slot);
    LoggerUnit unit(log.centre, 17);
    agent->lines.clear();
    EXPECT_TRUE(unit.warning(5, ParamStream() << "C:\\data" << 42));
    ASSERT_EQ(agent->lines.size(), 1u);
    EXPECT_EQ(agent->lines[0].substr(0, 9), "WARNING  ");

    const auto envelopes = received(collector);
    ASSERT_EQ(envelopes.size(), 1u);
    EXPECT_EQ(envelopes[0].type, "LOGMSG");
    EXPECT_EQ(envelopes[0].second, "");
    LogRecord record;
    ASSERT_TRUE(LogCommons::parseRecord(envelopes[0].payload, record));
    EXPECT_EQ(record.kind, LogRecord::Log);
    EXPECT_EQ(record.application, 17);
    EXPECT_EQ(record.module, 17);
    EXPECT_EQ(record.severity, 1);
    EXPECT_EQ(record.messageId, 5);
    EXPECT_EQ(record.text, (ParamStream() << "C:\\data" << 42).text());
    EXPECT_EQ(LogCommons::formatLine(record, false), agent->lines[0]);
}

TEST_F(LogMessengerIPCTest, DebugRecordsStayLocal) {
    MailSlot collector(IPCMode::Receiver, slot);
    LoggerUnit unit(log.centre, 17);  // its greeting is a debug record too
    EXPECT_TRUE(unit.debug(1, "Loading log messages..."));
    EXPECT_EQ(agent->lines.size(), 2u);
    EXPECT_TRUE(received(collector).empty());
    EXPECT_TRUE(LogMessengerIPC::isDebugRecord("Quilna\x1C" "DEBUG\x1C"));
    EXPECT_FALSE(LogMessengerIPC::isDebugRecord("Quilna\x1CLOG\x1C" "17\x1C"));
}

TEST_F(LogMessengerIPCTest, WithoutACollectorTheLocalLineIsWrittenAndSendAnswersFalse) {
    LoggerUnit unit(log.centre, 17);
    agent->lines.clear();
    EXPECT_FALSE(unit.error(3));
    EXPECT_FALSE(unit.notice(4));
    EXPECT_EQ(agent->lines.size(), 2u);

    MailSlot collector(IPCMode::Receiver, slot);  // starts late
    EXPECT_TRUE(unit.notice(5));
    EXPECT_EQ(received(collector).size(), 1u);
}

TEST_F(LogMessengerIPCTest, PayloadsTravelUnescaped) {
    MailSlot collector(IPCMode::Receiver, slot);
    SmartPointer<LogMessenger> messenger = log.centre->messenger();
    const std::string record = "Quilna\x1CLOG\x1C" "17\x1C" "17\x1C" "0\x1C" "1\x1Cs\x1B" "in\x1B\x1A\x1C" "1\x1C" "5\x1C";
    EXPECT_TRUE(messenger->send(record));
    const auto envelopes = received(collector);
    ASSERT_EQ(envelopes.size(), 1u);
    EXPECT_EQ(envelopes[0].payload, record);
}

// A log file that cannot be written: the record still reaches the collector.
class FailingAgent : public LoggerAgent {
public:
    std::string location() const override { return "nowhere"; }
    bool write(const std::string&) override { QUILNA_THROW(FileException, 1, "full"); }
};

TEST_F(LogMessengerIPCTest, ARecordTheLocalLogRefusesIsStillForwarded) {
    MailSlot collector(IPCMode::Receiver, slot);
    CapturedLog broken{makeSmart<LogMessengerIPC>(SmartPointer<LoggerAgent>(makeSmart<FailingAgent>()), slot)};
    LoggerUnit unit(broken.centre, 17);
    EXPECT_FALSE(unit.critical(9, ParamStream() << "disk"));
    EXPECT_EQ(received(collector).size(), 1u);
}

}  // namespace
}  // namespace Quilna
