// The whole chain, unit to agent, writing into memory at a known time and zone.
#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LoggerUnit.h"

namespace Quilna {
namespace {

class LoggerChainTest : public ::testing::Test {
protected:
    LoggerChainTest() {
        fake.environment["QUILNA_TZ"] = "+00:00";
        fake.clock = LogTest::sampleMoment;
        DateTime::resetProcessZone();
        setDebugLevel(5);
        setSeverityFilter(0);
        setCatalogue(nullptr);
    }
    ~LoggerChainTest() override { DateTime::resetProcessZone(); }

    std::string line(const std::string& label, const std::string& block, const std::string& text) const {
        return label + " 2013-04-05T06:07:08 " + block + " " + std::to_string(platform().threadId()) + ": " + text;
    }
    const std::vector<std::string>& lines() const { return log.lines(); }

    FakePlatform fake;
    TestSupport::LogStateScope settings;
    TestSupport::CapturedLog log;
};

TEST_F(LoggerChainTest, DebugLevelAndSeverityFilterChooseTheLinesAndTheAnswerComesBack) {
    {
        LoggerUnit unit(log.centre, 17);
        setDebugLevel(2);
        EXPECT_TRUE(unit.debug(3, "too detailed"));
        EXPECT_TRUE(unit.debug(2, "Loaded %i messages for module \"%s\".", ParamStream() << 40 << "storage"));
        setSeverityFilter(2);
        EXPECT_TRUE(unit.notice(1));
        EXPECT_TRUE(unit.warning(2, ParamStream() << "x"));
        EXPECT_TRUE(unit.error(30, ParamStream() << "C:\\data" << 42));
        EXPECT_TRUE(unit.critical(4, ParamStream()));
        EXPECT_TRUE(unit.fatal(5));
        setSeverityFilter(5);
        EXPECT_TRUE(unit.fatal(6, ParamStream() << 1));
        setDebugLevel(1);
    }
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           line("debug-1 ", "(17.17)   ", "LoggerUnit: Created logger for the Storage module."),
                           line("debug-2 ", "(17.17)   ", "Loaded 40 messages for module \"storage\"."),
                           line("ERROR   ", "(17.17.30)", "(Message not found.) Parameters: C:\\data  42"),
                           line("CRITICAL", "(17.17.04)", "(Message not found.)"),
                           line("FATAL   ", "(17.17.05)", "(Message not found.)"),
                           line("debug-1 ", "(17.17)   ", "LoggerUnit: Destroyed logger for the Storage module.")}));
    EXPECT_TRUE(LoggerUnit::isDebugOn(1));
    EXPECT_FALSE(LoggerUnit::isDebugOn(2));
    // Values out of range leave the setting in force.
    for (int32_t level : {6, -1}) setDebugLevel(level);
    EXPECT_EQ(debugLevel(), 1);
    setSeverityFilter(7);
    EXPECT_EQ(severityFilter(), 5);

    // The agent's answer comes back to the caller.
    setSeverityFilter(0);
    log.agent()->answer = false;
    LoggerUnit unit(log.centre, 19);
    EXPECT_FALSE(unit.notice(9));
    EXPECT_FALSE(unit.debug(1, "refused"));
    // So is the collector's: a log record it does not get counts as not written, though the local
    // log has it (what the collector makes of the records: the collector's tests).
    log.agent()->answer = true;
    TestSupport::TestDirectory runtime;
    fake.environment["QUILNA_RUNTIME_DIR"] = runtime.text();
    const std::string name = "Collector-" + std::to_string(platform().processId());
    TestSupport::CapturedLog forwarding{makeSmart<LogMessengerIPC>(SmartPointer<LoggerAgent>(log.agent()), name)};
    LoggerUnit forwarded(forwarding.centre, 17);
    log.clear();
    EXPECT_FALSE(forwarded.warning(5, ParamStream()));
    MailSlot collector(IPCMode::Receiver, name);
    EXPECT_TRUE(forwarded.warning(6, ParamStream()));
    EXPECT_EQ(lines().size(), 2u);
}

// A warning met at each of 100,000 files: the log takes a few, and one line counts the rest.
TEST_F(LoggerChainTest, RepeatedWarningsAndErrorsAreCountedBeyondTheirLimit) {
    setDebugLevel(0);
    LoggerUnit unit(log.centre, 17);
    unit.limitRepeats(1);
    for (int file = 0; file < 100000; ++file) unit.warning(19, ParamStream() << file);
    for (int i = 0; i < 3; ++i) {
        unit.error(18, ParamStream() << i);
        unit.notice(7);
        unit.critical(17, ParamStream() << i);
    }
    EXPECT_EQ(lines().size(), 1u + 1u + 3u + 3u);
    unit.reportRepeats(40);
    ASSERT_EQ(lines().size(), 10u);
    EXPECT_EQ(lines()[8], line("WARNING ", "(17.17.40)", "(Message not found.) Parameters: 18  2  1"));
    EXPECT_EQ(lines()[9], line("WARNING ", "(17.17.40)", "(Message not found.) Parameters: 19  99999  1"));
    // The counts start afresh.
    unit.warning(19, ParamStream() << "again");
    unit.reportRepeats(40);
    EXPECT_EQ(lines().size(), 11u);
}

TEST_F(LoggerChainTest, CatalogueTemplatesFillLogRecordsWhichAlsoReachTheSystemLog) {
    TestSupport::TestDirectory dir;
    std::filesystem::create_directories(dir.child("LogMessages"));
    dir.write("LogMessages/storage.mess", "12: Disk %s is 100%% full, %i files.\n");
    LogCommons messages;
    ASSERT_TRUE(messages.loadMessages(dir.text() + "/", "all").status);
    setCatalogue(&messages);
    setDebugLevel(1);
    setSystemLog(true);
    LoggerUnit unit(log.centre, 17);
    log.clear();
    EXPECT_TRUE(unit.warning(12, ParamStream() << "/srv" << 99));
    EXPECT_TRUE(unit.notice(13, ParamStream() << "line\nbreak"));
    // Debug texts are never looked up, even when their number would match. A name may hold
    // any byte, the records' own field separator too: the line shows it whole.
    EXPECT_TRUE(unit.debug(1, "%s", ParamStream() << "plain\x1Cmore"));
    EXPECT_TRUE(unit.fatal(5));
    ASSERT_EQ(lines().size(), 4u);
    EXPECT_EQ(lines()[0], line("WARNING ", "(17.17.12)", "Disk /srv is 100% full, 99 files."));
    EXPECT_EQ(lines()[1], line("NOTICE  ", "(17.17.13)", "(Message not found.) Parameters: line\\x0abreak"));
    EXPECT_EQ(lines()[2], line("debug-1 ", "(17.17)   ", "plain\\x1cmore"));
    EXPECT_EQ(fake.systemLogged,
              (std::vector<std::pair<SystemLogLevel, std::string>>{
                  {SystemLogLevel::Warning, "(17.17.12) Disk /srv is 100% full, 99 files."},
                  {SystemLogLevel::Notice, "(17.17.13) (Message not found.) Parameters: line\\x0abreak"},
                  {SystemLogLevel::Fatal, "(17.17.05) (Message not found.)"}}));
}

}  // namespace
}  // namespace Quilna
