#include <gtest/gtest.h>

#include "common/FileException.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "LogTestSupport.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

// An agent whose log file cannot be opened.
class ThrowingAgent : public LoggerAgent {
public:
    std::string location() const override { return "nowhere"; }
    bool write(const std::string&) override { QUILNA_THROW(FileException, FL_CANNOT_OPEN, "log.txt"); }
};

// The whole chain, unit to agent, writing into memory at a known time and zone.
class LoggerChainTest : public ::testing::Test {
protected:
    LoggerChainTest() {
        fake.environment["QUILNA_TZ"] = "+00:00";
        fake.clock = LogTest::sampleMoment;
        DateTime::resetProcessZone();
        agent = makeSmart<LogTest::CaptureAgent>();
        messenger = makeSmart<LogMessenger>(SmartPointer<LoggerAgent>(agent));
        centre = makeSmart<LoggerCentre>(17, messenger);
        setDebugLevel(5);
        setSeverityFilter(0);
        setCatalogue(nullptr);
    }
    ~LoggerChainTest() override { DateTime::resetProcessZone(); }

    std::string prefix(const std::string& label, const std::string& block) const {
        return label + " 2013-04-05T06:07:08 " + block + " " + std::to_string(platform().threadId()) + ": ";
    }

    FakePlatform fake;
    LogTest::LogSettingsScope settings;
    SmartPointer<LogTest::CaptureAgent> agent;
    SmartPointer<LogMessenger> messenger;
    SmartPointer<LoggerCentre> centre;
};

TEST_F(LoggerChainTest, UnitGreetsAndSaysFarewellAtLevelOne) {
    {
        LoggerUnit unit(centre, 17);
        ASSERT_EQ(agent->lines.size(), 1u);
        EXPECT_EQ(agent->lines[0], prefix("debug-1 ", "(17.17)   ") + "LoggerUnit: Created logger for the Storage module.");
    }
    ASSERT_EQ(agent->lines.size(), 2u);
    EXPECT_EQ(agent->lines[1], prefix("debug-1 ", "(17.17)   ") + "LoggerUnit: Destroyed logger for the Storage module.");

    agent->lines.clear();
    setDebugLevel(0);
    { LoggerUnit quiet(centre, 19); }
    EXPECT_TRUE(agent->lines.empty());
}

TEST_F(LoggerChainTest, DebugLevelFiltersDebugLines) {
    LoggerUnit unit(centre, 19);
    agent->lines.clear();
    setDebugLevel(2);
    EXPECT_TRUE(unit.debug(3, "too detailed"));
    EXPECT_TRUE(unit.debug(2, "Loaded %i messages for module \"%s\".", ParamStream() << 40 << "storage"));
    ASSERT_EQ(agent->lines.size(), 1u);
    EXPECT_EQ(agent->lines[0], prefix("debug-2 ", "(17.19)   ") + "Loaded 40 messages for module \"storage\".");
    EXPECT_TRUE(LoggerUnit::isDebugOn(2));
    EXPECT_FALSE(LoggerUnit::isDebugOn(3));

    setDebugLevel(0);
    EXPECT_TRUE(unit.debug(1, "nothing"));
    EXPECT_EQ(agent->lines.size(), 1u);

    // Levels outside 0 to 5 leave the level in force.
    setDebugLevel(6);
    EXPECT_EQ(debugLevel(), 0);
    setDebugLevel(-1);
    EXPECT_EQ(debugLevel(), 0);
    setSeverityFilter(7);
    EXPECT_EQ(severityFilter(), 0);
}

TEST_F(LoggerChainTest, SeverityFilterAndMessagesWithoutTemplate) {
    LoggerUnit unit(centre, 17);
    agent->lines.clear();
    setSeverityFilter(2);
    EXPECT_TRUE(unit.notice(1));
    EXPECT_TRUE(unit.warning(2, ParamStream() << "x"));
    EXPECT_TRUE(agent->lines.empty());
    EXPECT_TRUE(unit.error(30, ParamStream() << "C:\\data" << 42));
    EXPECT_TRUE(unit.critical(4, ParamStream()));
    EXPECT_TRUE(unit.fatal(5));
    ASSERT_EQ(agent->lines.size(), 3u);
    EXPECT_EQ(agent->lines[0], prefix("ERROR   ", "(17.17.30)") + "(Message not found.) Parameters: C:\\data  42");
    EXPECT_EQ(agent->lines[1], prefix("CRITICAL", "(17.17.04)") + "(Message not found.)");
    EXPECT_EQ(agent->lines[2], prefix("FATAL   ", "(17.17.05)") + "(Message not found.)");

    setSeverityFilter(5);
    EXPECT_TRUE(unit.fatal(6, ParamStream() << 1));
    EXPECT_EQ(agent->lines.size(), 3u);

    // The agent's answer comes back to the caller.
    setSeverityFilter(0);
    agent->answer = false;
    EXPECT_FALSE(unit.notice(9));
    EXPECT_FALSE(unit.debug(1, "refused"));
}

// A warning met at each of 100,000 files: the log takes a few, and one line counts the rest.
TEST_F(LoggerChainTest, RepeatedWarningsAndErrorsAreCountedBeyondTheirLimit) {
    LoggerUnit unit(centre, 17);
    unit.limitRepeats(3);
    agent->lines.clear();
    for (int file = 0; file < 100000; ++file) unit.warning(19, ParamStream() << file);
    for (int i = 0; i < 5; ++i) {
        unit.error(18, ParamStream() << i);
        unit.notice(7);
        unit.critical(17, ParamStream() << i);
    }
    unit.warning(2, ParamStream() << "once");
    EXPECT_EQ(agent->lines.size(), 3u + 3u + 5u + 5u + 1u);
    unit.reportRepeats(40);
    ASSERT_EQ(agent->lines.size(), 19u);
    EXPECT_EQ(agent->lines[17], prefix("WARNING ", "(17.17.40)") + "(Message not found.) Parameters: 18  2  3");
    EXPECT_EQ(agent->lines[18], prefix("WARNING ", "(17.17.40)") + "(Message not found.) Parameters: 19  99997  3");
    // The counts start afresh.
    unit.warning(19, ParamStream() << "again");
    unit.reportRepeats(40);
    EXPECT_EQ(agent->lines.size(), 20u);
}

TEST_F(LoggerChainTest, CatalogueTemplatesFillLogRecords) {
    LogTest::TempDir dir;
    std::filesystem::create_directories(dir.file("LogMessages"));
    LogTest::writeFile(dir.file("LogMessages/storage.mess"), "12: Disk %s is 100%% full, %i files.\n");
    LogCommons messages;
    ASSERT_TRUE(messages.loadMessages(dir.path() + "/", "all").status);
    setCatalogue(&messages);

    LoggerUnit unit(centre, 17);
    agent->lines.clear();
    EXPECT_TRUE(unit.warning(12, ParamStream() << "/srv" << 99));
    EXPECT_TRUE(unit.warning(13, ParamStream() << "/srv"));
    // Debug texts are never looked up, even when their number would match.
    EXPECT_TRUE(unit.debug(1, "%s", ParamStream() << "plain"));
    ASSERT_EQ(agent->lines.size(), 3u);
    EXPECT_EQ(agent->lines[0], prefix("WARNING ", "(17.17.12)") + "Disk /srv is 100% full, 99 files.");
    EXPECT_EQ(agent->lines[1], prefix("WARNING ", "(17.17.13)") + "(Message not found.) Parameters: /srv");
    EXPECT_EQ(agent->lines[2], prefix("debug-1 ", "(17.17)   ") + "plain");
}

TEST_F(LoggerChainTest, LogRecordsReachTheSystemLogWithTheirSeverityWhileItIsOn) {
    LoggerUnit unit(centre, 17);
    setSystemLog(true);
    EXPECT_TRUE(unit.notice(7));
    EXPECT_TRUE(unit.warning(12, ParamStream() << "line\nbreak"));
    EXPECT_TRUE(unit.error(30));
    EXPECT_TRUE(unit.critical(4, ParamStream()));
    EXPECT_TRUE(unit.fatal(5));
    EXPECT_TRUE(unit.debug(1, "never"));
    using Level = SystemLogLevel;
    const std::vector<std::pair<SystemLogLevel, std::string>> expected{
        {Level::Notice, "(17.17.07) (Message not found.)"},
        {Level::Warning, "(17.17.12) (Message not found.) Parameters: line\\x0abreak"},
        {Level::Error, "(17.17.30) (Message not found.)"},
        {Level::Critical, "(17.17.04) (Message not found.)"},
        {Level::Fatal, "(17.17.05) (Message not found.)"}};
    EXPECT_EQ(fake.systemLogged, expected);

    setSystemLog(false);
    EXPECT_TRUE(unit.warning(12, ParamStream() << "local only"));
    EXPECT_EQ(fake.systemLogged.size(), expected.size());
    EXPECT_NE(agent->lines.back().find("local only"), std::string::npos);
}

TEST_F(LoggerChainTest, BrokenChainsAnswerFalse) {
    LoggerUnit orphan(SmartPointer<LoggerCentre>(), 17);
    EXPECT_FALSE(orphan.debug(1, "x"));
    EXPECT_FALSE(orphan.error(1));
    setSeverityFilter(3);
    EXPECT_TRUE(orphan.error(1));  // filtered before the missing centre matters

    LoggerCentre noMessenger(17, SmartPointer<LogMessenger>());
    LogRecord record;
    EXPECT_FALSE(noMessenger.log(record));

    LogMessenger noAgent{SmartPointer<LoggerAgent>()};
    EXPECT_FALSE(noAgent.send(LogCommons::serializeRecord(record)));
    EXPECT_FALSE(messenger->send("not a record"));
    EXPECT_TRUE(agent->lines.empty());

    // A centre whose messenger was destroyed through another holder logs nothing.
    SmartPointer<LogMessenger> shared = makeSmart<LogMessenger>(SmartPointer<LoggerAgent>(agent));
    LoggerCentre centreOfDestroyed(17, shared);
    shared.destroy();
    EXPECT_FALSE(centreOfDestroyed.log(record));
}

TEST_F(LoggerChainTest, AFileErrorOfTheLogReachesNoCaller) {
    auto failing = makeSmart<LogMessenger>(SmartPointer<LoggerAgent>(makeSmart<ThrowingAgent>()));
    auto failingCentre = makeSmart<LoggerCentre>(17, failing);
    LoggerUnit unit(failingCentre, 17);  // its greeting fails quietly
    // A log that cannot be opened loses the line, never the caller.
    EXPECT_FALSE(unit.debug(1, "x"));
    EXPECT_FALSE(unit.debug(1, "%s", ParamStream() << "y"));
    EXPECT_FALSE(unit.error(3));
    EXPECT_FALSE(unit.fatal(3, ParamStream() << 1));
}

TEST_F(LoggerChainTest, UnitKeepsItsCentreAlive) {
    auto unit = std::make_unique<LoggerUnit>(centre, 17);
    centre.reset();
    messenger.reset();
    agent->lines.clear();
    EXPECT_TRUE(unit->notice(1));
    unit.reset();
    EXPECT_EQ(agent->lines.size(), 2u);  // the notice and the farewell
}

}  // namespace
}  // namespace Quilna
