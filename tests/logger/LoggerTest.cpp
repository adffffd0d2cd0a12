#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "LogTestSupport.h"
#include "config/ConfReader.h"
#include "config/Resources.h"
#include "ipc/MailSlot.h"
#include "logger/ConfigurationLog.h"
#include "logger/LogCommons.h"
#include "logger/LoggerCentre.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LoggerAgentFile.h"
#include "logger/LoggerUnit.h"
#include "logger/LoggingConfiguration.h"
#include "system/Monopoly.h"
#include "text/ParamStream.h"
#include "text/StringUtils.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

const std::string S = std::string(1, kParameterSeparator);
const std::string F = std::string(1, kFieldSeparator);
// A directive without a parameter (escaped: the plain text would read as a trigraph).
const std::string Q = "<\?\?\?>";

std::string find(const LogCommons& catalogue, int32_t module, int32_t id) {
    std::string text;
    return catalogue.findMessage(module, id, text) ? text : "<none>";
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The logging settings are process-wide: the fixture sets a known time and zone and restores them.
class LoggerTest : public ::testing::Test, protected LogTest::AgentScope {
protected:
    LoggerTest() {
        fake.environment["QUILNA_TZ"] = "+00:00";
        fake.clock = LogTest::kHalfPastTen;  // the pauses between rename attempts pass at once
        DateTime::resetProcessZone();        // the other settings start at their defaults: debug level 5, no filter
        fs::create_directories(dir.child("LogMessages"));
    }
    ~LoggerTest() override { DateTime::resetProcessZone(); }

    std::string line(const std::string& label, const std::string& block, const std::string& text) const {
        return label + " 2013-04-05T10:30:00 " + block + " " + std::to_string(platform().threadId()) + ": " + text;
    }
    const std::vector<std::string>& lines() const { return log.lines(); }
    std::string logFile(const std::string& name = "a.log") const { return dir.child(name); }
    std::string read(const std::string& name = "a.log") const { return dir.read(name); }
    std::string resource(const std::string& name) {
        std::string value = "<missing>";
        readResource(fake, fake, name, value);
        return value;
    }
    // The names of the rotated copies of a.log, in order (the tests' counters have as many digits).
    std::vector<std::string> rotated() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (std::regex_match(entry.path().filename().string(), std::regex("a_\\d{8}T\\d{6}_\\d+\\.log")))
                names.push_back(entry.path().filename().string());
        return sorted(names);
    }

    void apply(const std::string& text) {
        setup.configuration = makeSmart<ConfReader>(fake, makeSmart<ConfigurationLog>(fake, log.centre));
        ASSERT_TRUE(setup.configuration->buildTreeFromText(text, "logging.conf"));
        applyLogConfiguration(fake, setup);
    }
    // A directory as the set-up keeps it: lower case where paths ignore case.
    static std::string kept(const std::string& directory) {
        std::string text = directory + platform().pathSyntax().separator;
        if (platform().pathSyntax().caseInsensitive) StringUtils::toLower(text);
        return text;
    }
    // A path inside a quoted configuration value, where a backslash escapes the next character.
    static std::string quoted(const std::string& path) {
        return std::regex_replace(path, std::regex(R"(\\)"), R"(\\)");
    }
    static std::string logBlock(const std::string& entries) { return "log () = '' { " + entries + " }"; }

    TestSupport::CapturedLog log;
    LoggingSetup setup;
};

TEST_F(LoggerTest, TemplatesTakeParametersInTurnRecordsKeepTheirLevelAndLabelsAreCutOrBlank) {
    const std::string path = (ParamStream() << "C:\\data").text();
    const std::string mixed = (ParamStream() << 42 << 7 << "abc" << 1.5 << "x").text();
    const std::vector<std::tuple<std::string, std::string, std::string>> rows{
        {"Disk %s is full.", path, "Disk C:\\data is full."},
        {"%s and %s", path, "C:\\data and " + Q},
        {"ends in %", path, "ends in " + Q},
        {"100%% of %s", path, "100% of C:\\data"},
        {"%s then %%", path, "C:\\data then " + Q},
        {"no directives", "", "no directives"},
        {"%s", "", Q},
        // %i and %f expect numbers, %d and %p types that streams never make, %q nothing at all.
        {"%i|%d|%s|%f|%q", mixed, "42|\\7\\|abc|1.5|\\x\\"},
        {"%s", (ParamStream() << 42).text(), "\\42\\"},
        // A streamed text is one parameter, whatever separators it holds: they come out escaped.
        {"%s|%i",
         (ParamStream() << "a\x1A"
                           "n5\x1C\x1B"
                        << 5)
             .text(),
         "a\\x1an5\\x1c\\x1b|5"},
        {"%p", "pvalue" + S, "value"},
        // An empty piece between separators is a parameter without a type.
        {"[%s][%s]", "sa" + S + S + "sb" + S, "[a][\\\\]"}};
    for (const auto& [format, parameters, expected] : rows)
        EXPECT_EQ(LogCommons::expandParameters(format, parameters), expected) << format;

    // Debug records reach the collector with their level and read back without a message number.
    const LogRecord debug{.application = 1, .module = 19, .debugLevel = 3, .text = "hello", .thread = 12};
    const std::string text = LogCommons::serializeRecord(debug);
    EXPECT_EQ(text, "Quilna" + F + "DEBUG" + F + "1" + F + "19" + F + "0" + F + "3" + F + "hello" + F + "12" + F);
    LogRecord back;
    ASSERT_TRUE(LogCommons::parseRecord(text, back));
    EXPECT_EQ(std::make_tuple(back.kind, back.debugLevel, back.messageId),
              std::make_tuple(LogRecord::Debug, 3, LogRecord::NoMessage));

    // "debug-12345" is cut to 8 characters.
    LogRecord record{.application = 17, .module = 0, .debugLevel = 12345, .text = "x", .thread = 1234};
    record.time = DateTime(static_cast<int32_t>(LogTest::kHalfPastTen));
    const std::string time = "2013-04-05T10:30:00 ";
    EXPECT_EQ(LogCommons::formatLine(record, false), "debug-12 " + time + "(17.00)    1234: x");
    record.kind = LogRecord::Log;
    record.severity = 9;  // no name: the label is blank
    record.messageId = 123;
    record.text.clear();
    EXPECT_EQ(LogCommons::formatLine(record, false), "         " + time + "(17.00.123) 1234: (Message not found.)");
}

TEST_F(LoggerTest, CatalogueFilesFilterModuleKeysAndMessageLines) {
    fs::create_directories(dir.child("LogMessages/hoardscan.mess"));  // a directory is no message file
    for (const char* name :
         {"configuration.mess", "core.mess", "log.mess", "time.mess", "notes.mess", "Module57.mess", "module58.mess"})
        dir.write("LogMessages/" + std::string(name), "1: from " + std::string(name) + "\n");
    dir.write("LogMessages/readme.txt", "1: not a message file\n");
    std::string text =
        "// a comment: 5: not a message\r\n\r\n  12 :  Disk %s is full.  \r\n007: seven: with a colon\r\n42\r\n"
        "   \r\n // a blank first: a message numbered 0\r\n12: a later duplicate\r\n"
        "13: an old editor's line: caf\xe9 \x80\r\nx9: no number\r\n";
    // Counts include the keys already present.
    for (int i = 0; i < 40; ++i) text += std::to_string(100 + i % 30) + ": message " + std::to_string(i) + "\n";
    dir.write("LogMessages/storage.mess", text);

    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(fake, dir.text() + "/", "storage,notes");
    EXPECT_EQ(std::tie(result.status, result.loaded, result.counts),
              std::make_tuple(true, std::vector<std::string>{"storage"}, std::vector<int32_t>{47}));
    EXPECT_EQ(sorted(result.rejected),
              (std::vector<std::string>{"Module57", "configuration", "core", "log", "module58", "notes", "time"}));
    EXPECT_EQ(catalogue.messageCount(), 35u);
    std::vector<std::string> found;
    for (int32_t id : {12, 7, 42, 0, 13, 5, 9, 105}) found.push_back(find(catalogue, 17, id));
    EXPECT_EQ(found, (std::vector<std::string>{"Disk %s is full.", "seven: with a colon", "", "a message numbered 0",
                                               "an old editor's line: caf\xc3\xa9 \xe2\x82\xac", "<none>", "<none>",
                                               "message 5"}));

    LogCommons everything;
    const LoadResult all = everything.loadMessages(fake, dir.text() + "/", "all");
    EXPECT_EQ(sorted(all.rejected), (std::vector<std::string>{"module58", "notes"}));  // the last generic module is 57
    EXPECT_EQ(
        std::make_tuple(all.loaded.size(), find(everything, 1, 1), find(everything, 2, 1), find(everything, 57, 1)),
        std::make_tuple(6u, "from configuration.mess", "from log.mess", "from Module57.mess"));
    const LoadResult missing = LogCommons().loadMessages(fake, dir.child("nowhere") + "/", "all");
    EXPECT_TRUE(missing.status && missing.loaded.empty());
}

TEST_F(LoggerTest, DebugLevelAndSeverityFilterChooseTheLinesAndTheAnswerComesBack) {
    {
        LoggerUnit unit(fake, log.centre, 17);
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
    EXPECT_TRUE(fake.systemLogged.empty()) << "the system log is off until the set-up turns it on";
    // Values out of range leave the setting in force.
    for (int32_t level : {6, -1}) setDebugLevel(level);
    setSeverityFilter(7);
    EXPECT_EQ(std::make_pair(debugLevel(), severityFilter()), std::make_pair(1, 5));

    // The agent's answer comes back to the caller.
    setSeverityFilter(0);
    log.agent()->answer = false;
    LoggerUnit unit(fake, log.centre, 19);
    EXPECT_EQ(lines().back(), line("debug-1 ", "(17.19)   ", "LoggerUnit: Created logger for the Hoardscan module."));
    EXPECT_FALSE(unit.notice(9));
    EXPECT_FALSE(unit.debug(1, "refused"));
    // So is the collector's: a record it does not get counts as not written, though the local log has it.
    log.agent()->answer = true;
    const std::string name = "Collector-" + std::to_string(platform().processId());
    TestSupport::CapturedLog forwarding{fake,
                                        makeSmart<LogMessengerIPC>(fake, SmartPointer<LoggerAgent>(log.agent()), name)};
    LoggerUnit forwarded(fake, forwarding.centre, 17);
    log.clear();
    EXPECT_FALSE(forwarded.warning(5, ParamStream()));
    MailSlot collector(fake, IPCMode::Receiver, name);
    EXPECT_TRUE(forwarded.warning(6, ParamStream()));
    EXPECT_EQ(lines().size(), 2u);
}

// A warning met at each of 100,000 files: the log takes a few, and one line counts the rest.
TEST_F(LoggerTest, RepeatedWarningsAndErrorsAreCountedBeyondTheirLimit) {
    setDebugLevel(0);
    LoggerUnit unit(fake, log.centre, 17);
    unit.limitRepeats(1);
    for (int file = 0; file < 100000; ++file) unit.warning(19, ParamStream() << file);
    for (int i = 0; i < 3; ++i) {
        unit.error(18, ParamStream() << i);
        unit.notice(7);
        unit.critical(17, ParamStream() << i);
    }
    ASSERT_EQ(lines().size(), 1u + 1u + 3u + 3u);
    unit.reportRepeats(40);
    EXPECT_EQ(
        std::vector<std::string>(lines().begin() + 8, lines().end()),
        (std::vector<std::string>{line("WARNING ", "(17.17.40)", "(Message not found.) Parameters: 18  2  1"),
                                  line("WARNING ", "(17.17.40)", "(Message not found.) Parameters: 19  99999  1")}));
    // The counts start afresh.
    unit.warning(19, ParamStream() << "again");
    unit.reportRepeats(40);
    EXPECT_EQ(lines().size(), 11u);
}

TEST_F(LoggerTest, CatalogueTemplatesFillLogRecordsWhichAlsoReachTheSystemLog) {
    dir.write("LogMessages/storage.mess", "12: Disk %s is 100%% full, %i files.\n");
    LogCommons messages;
    ASSERT_TRUE(messages.loadMessages(fake, dir.text() + "/", "all").status);
    setCatalogue(&messages);
    setDebugLevel(1);
    log.centre->messenger()->setSystemLog(true);
    LoggerUnit unit(fake, log.centre, 17);
    log.clear();
    EXPECT_TRUE(unit.warning(12, ParamStream() << "/srv" << 99));
    EXPECT_TRUE(unit.notice(13, ParamStream() << "line\nbreak"));
    // Debug texts are never looked up; a name may hold the records' own field separator.
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

TEST_F(LoggerTest, FileAgentWritesLinesBetweenOpeningHeaderAndClosingLine) {
    setAgentMessages(true);
    {
        LoggerAgentFile agent(fake);
        EXPECT_FALSE(agent.write("no file bound yet"));
        ASSERT_TRUE(agent.setLogFile(logFile()));
        EXPECT_EQ(agent.location(), "file:///" + logFile());
        EXPECT_FALSE(fs::exists(logFile())) << "created by the first line only";
        EXPECT_TRUE(agent.write("one") && agent.write("two"));
        EXPECT_EQ(resource("HoardscanLogOpened"), "20130405T103000");
    }
    EXPECT_EQ(read(), "\r\nQuilna VERSION(6.3.0.0) REVISION(0)\r\nOpened log file \"" + logFile() +
                          "\". Time: 2013-04-05T10:30:00 +00:00\r\n\r\none\r\ntwo\r\n\r\nClosing log file \"" +
                          logFile() + "\". Time: 2013-04-05T10:30:00. Reason: Quitting Logger Agent.\r\n\r\n");
}

TEST_F(LoggerTest, ASizeLimitOfZeroRotatesNothingAndOnlyTheNewestCopiesAreKept) {
    setRotationScheme(Rotation::Size);
    setRotationSize(0);
    auto agent = std::make_unique<LoggerAgentFile>(fake);
    EXPECT_EQ(rotationSize(), 0) << "an agent leaves the process's settings alone";
    agent->setLogFile(logFile());
    for (const char* line : {"one", "two", "three"}) ASSERT_TRUE(agent->write(line));
    EXPECT_TRUE(rotated().empty());
    EXPECT_EQ(read(), "one\r\ntwo\r\nthree\r\n");

    // A later process names the copy after the opening time the registry keeps (on Windows no open file is renamed).
    agent.reset();
    writeResource(fake, fake, "HoardscanLogOpened", "20130405T060708");
    agent = std::make_unique<LoggerAgentFile>(fake);
    agent->setLogFile(logFile());
    // Each line rotates the log first, as at a start.
    setRotationScheme(Rotation::Init);
    const auto rotateAndWrite = [&](const std::string& line) { return armInitRotation(), agent->write(line); };
    ASSERT_TRUE(rotateAndWrite("four"));
    EXPECT_EQ(read("a_20130405T060708_0.log"), "one\r\ntwo\r\nthree\r\n");

    // An older copy with a larger counter goes first; names that are no copies of this log stay.
    const std::vector<std::string> others = {"a_20130405T103000_x.log", "a_notes.log", "b_20130405T103000_1.log",
                                             "a_20130405T103000_1.txt", "a_2013040ST103000_1.log"};
    for (const std::string& name : others) dir.write(name, name);
    dir.write("a_20120101T000000_99.log", "last year");
    agent->setRotationKeep(3);
    for (int line = 0; line < 20; ++line) ASSERT_TRUE(rotateAndWrite("line " + std::to_string(line)));
    EXPECT_EQ(rotated(), (std::vector<std::string>{"a_20130405T103000_18.log", "a_20130405T103000_19.log",
                                                   "a_20130405T103000_20.log"}));
    EXPECT_EQ(read(rotated()[2]), "line 18\r\n");
    for (const std::string& name : others) EXPECT_EQ(read(name), name);
    setAgentMessages(true);
    agent->setRotationKeep(1);
    ASSERT_TRUE(rotateAndWrite("one kept"));
    EXPECT_EQ(rotated(), std::vector<std::string>{"a_20130405T103000_21.log"});
    EXPECT_NE(read().find("Removed the old log copy \"a_20130405T103000_18.log\" (keeping 1)."), std::string::npos);
    agent->setRotationKeep(0);
    ASSERT_TRUE(rotateAndWrite("none kept"));
    EXPECT_TRUE(rotated().empty());
}

TEST_F(LoggerTest, TimeRotationAtTheIntervalBoundaryWithConditionsTogether) {
    setAgentMessages(true);
    setRotationScheme(Rotation::Time);
    auto agent = std::make_unique<LoggerAgentFile>(fake);
    agent->setLogFile(logFile());
    // Seconds after 10:30, the interval then in force, and the copies made so far; no interval, no time rotation.
    const std::vector<std::tuple<int64_t, int32_t, size_t>> moments{
        {0, 3600, 0}, {29 * 60 + 59, 3600, 0}, {30 * 60 + 5, 3600, 1}, {89 * 60, 3600, 1}, {91 * 60, 0, 1}};
    for (const auto& [after, interval, copies] : moments) {
        setRotationInterval(TimeSpan(interval));
        *fake.clock = LogTest::kHalfPastTen + after;
        ASSERT_TRUE(agent->write("at " + std::to_string(after)));
        EXPECT_EQ(rotated().size(), copies) << after;
    }
    const std::string first = read(rotated()[0]);
    EXPECT_NE(first.find("at 1799\r\n\nRotate contidion(s): Time 2013-04-05T11:00:00 <= 2013-04-05T11:00:05\r\n"),
              std::string::npos);
    EXPECT_NE(first.find("Reason: Rotating log file."), std::string::npos);

    // Conditions that hold together are reported together, in the order Init, Time, Size.
    setRotationInterval(TimeSpan(3600));
    setRotationScheme(Rotation::Time | Rotation::Size);
    setRotationSize(1);
    *fake.clock = LogTest::kHalfPastTen + 149 * 60;  // 12:59: the new settings give the next boundary, 13:00
    ASSERT_TRUE(agent->write("12:59"));
    std::ofstream(logFile(), std::ios::binary | std::ios::app) << std::string(1048576, 'x') << "\r\n";
    *fake.clock = LogTest::kHalfPastTen + 151 * 60;
    ASSERT_TRUE(agent->write("13:01"));
    ASSERT_EQ(rotated().size(), 2u);
    EXPECT_NE(
        read(rotated()[1]).find("Rotate contidion(s): Time 2013-04-05T13:00:00 <= 2013-04-05T13:01:00 AND Size 1 >= 1"),
        std::string::npos);
    agent.reset();  // the process ends; a new one finds the log and rotates it, though no other condition holds
    setRotationScheme(Rotation::Init);
    LoggerAgentFile next(fake);
    armInitRotation();
    next.setLogFile(logFile());
    ASSERT_TRUE(next.write("13:02"));
    ASSERT_EQ(rotated().size(), 3u);
    EXPECT_NE(read(rotated()[2]).find("Rotate contidion(s): Init\r\n"), std::string::npos);
}

TEST_F(LoggerTest, FailedRotationGoesOnInTheOldFileWithALargerThreshold) {
    setAgentMessages(true);
    dir.write("a.log", std::string(1048576, 'x') + "\r\n");
    writeResource(fake, fake, "HoardscanLogOpened", "20130405T060708");
    writeResource(fake, fake, "HoardscanLogCounter", "5");
    dir.write("a_20130405T060708_5.log", "in the way");
    setRotationScheme(Rotation::Size);
    LoggerAgentFile agent(fake);
    setRotationSize(1);
    agent.setLogFile(logFile());
    ASSERT_TRUE(agent.write("after the failure"));
    ASSERT_TRUE(agent.write("no second try"));
    EXPECT_FLOAT_EQ(agent.sizeFactor(), 1.25f);
    EXPECT_EQ(read("a_20130405T060708_5.log"), "in the way");
    // The system's code for a rename onto an existing name (EEXIST, ERROR_ALREADY_EXISTS).
    dir.write("probe", "");
    SystemError error;
    ASSERT_FALSE(platform().moveFile(logFile("probe"), logFile("a_20130405T060708_5.log"), false, error));
    const std::string code = std::to_string(error.code);
    EXPECT_NE(read().find("\r\nLog file rotation error. (" + code + ")\r\n"), std::string::npos) << code;
    EXPECT_TRUE(read().ends_with("after the failure\r\nno second try\r\n"));
    EXPECT_EQ(resource("HoardscanLogCounter"), "6");
}

TEST_F(LoggerTest, AHeldGuardDropsALineAndAMissingDirectoryLosesLinesUntilItIsThere) {
    LoggerAgentFile agent(fake);
    agent.setLogFile(logFile());
    {
        Monopoly other(fake, fake, "a.log");  // another writer of a file of that name
        ASSERT_TRUE(other.enforce());
        EXPECT_FALSE(agent.write("dropped"));
    }
    EXPECT_TRUE(agent.write("last"));
    EXPECT_EQ(read(), "last\r\n");

    // The agent does not make the directory up.
    auto nowhere = makeSmart<LoggerAgentFile>(fake);
    nowhere->setLogFile(dir.child("missing/a.log"));
    LoggerUnit unit(fake,
                    makeSmart<LoggerCentre>(17, makeSmart<LogMessenger>(fake, SmartPointer<LoggerAgent>(nowhere))), 17);
    EXPECT_FALSE(unit.debug(1, "lost"));
    EXPECT_FALSE(unit.warning(5, ParamStream() << "lost"));
    fs::create_directory(dir.child("missing"));
    EXPECT_TRUE(unit.debug(1, "after"));
    EXPECT_TRUE(read("missing/a.log").ends_with(": after\r\n"));
}

TEST_F(LoggerTest, RotationWordsAndLogKeysSetTheirValuesAndAConfigurationWithoutThemResetsTheDefaults) {
    setup.messenger = log.centre->messenger();
    // Rotation words are comma separated without blanks; init is armed when added.
    const std::vector<std::tuple<uint32_t, std::string, uint32_t, bool>> cases{
        {Rotation::Size, "Time,SIZE", Rotation::Time | Rotation::Size, false},
        {Rotation::Size, "Time, Size", Rotation::Time, false},
        {Rotation::Size, "init,none", 0, false},
        {Rotation::Size, "none,init", Rotation::Init, true},
        {Rotation::Size, " init,time ", Rotation::Init | Rotation::Time, true},  // the whole value is trimmed
        {Rotation::Init, "init,size", Rotation::Init | Rotation::Size, false},
        {Rotation::Size, "weekly", 0, false}};
    for (const auto& [before, words, expected, armed] : cases) {
        setRotationScheme(before);
        clearInitRotation();
        apply(logBlock("rotation () = '' { scheme (String) = '" + words + "' {} }"));
        EXPECT_EQ(std::make_pair(rotationScheme(), initRotationPending()), std::make_pair(expected, armed)) << words;
    }
    setRotationScheme(Rotation::Size);
    apply(logBlock(""));
    EXPECT_EQ(rotationScheme(), Rotation::Size);  // no scheme key: unchanged

    apply(
        logBlock("time (String) = ' zulu ' {} syslog (Bool) = 'false' {}\n"
                 "rotation () = '' { time (TimeSpan) = 'P1DT2H' {} size (Integer) = '5' {} }\n"
                 "global () = '' { severity (String) = 'ERROR' {} debug-level (Integer) = '3' {} }"));
    // Time mode, rotation interval and size, severity filter, debug level, system log.
    const auto settings = [&] {
        return std::make_tuple(timeMode(), rotationInterval().value(), rotationSize(), severityFilter(), debugLevel(),
                               setup.messenger->systemLog());
    };
    EXPECT_EQ(settings(), std::make_tuple(TimeMode::Zulu, 26 * 3600, 5, Severity::Error, 3, false));

    // Unknown words and numbers out of range leave the values in force; severities in any case.
    apply(
        logBlock("time (String) = 'Zulu' {}\n"
                 "global () = '' { severity (String) = 'WARN' {} debug-level (Integer) = '7' {} }"));
    EXPECT_EQ(settings(), std::make_tuple(TimeMode::Default, 0, 0, Severity::Error, 3, true));
    apply(logBlock("global () = '' { severity (String) = 'Nothing' {} }"));
    EXPECT_EQ(severityFilter(), Severity::None);
    apply("other () = '' {}");
    EXPECT_EQ(settings(), std::make_tuple(TimeMode::Local, 0, 0, 0, 0, true));
}

TEST_F(LoggerTest, SetUpFromTheResourcesThenMovedByTheConfiguration) {
    for (const char* name : {"startup", "configured"}) fs::create_directories(dir.child(name));
    ASSERT_EQ(writeResource(fake, fake, "StartupLogDir", dir.child("startup")), 0);
    ASSERT_EQ(writeResource(fake, fake, "StartupDebugLevel", "3"), 0);
    ASSERT_EQ(writeResource(fake, fake, "LogFileRotationScheme", "size,init"), 0);
    setApplicationName("");
    setRotationSize(0);
    setup.fileName = "HoardscanDebug.log";
    setup.application = 17;
    setup.module = 17;
    ASSERT_TRUE(setupLogging(fake, setup));
    ASSERT_TRUE(setup.messenger);
    EXPECT_EQ(std::make_tuple(logApplicationName(), setup.directory, debugLevel(), rotationScheme(), rotationSize(),
                              setup.messenger->systemLog()),
              std::make_tuple("Hoardscan", kept(dir.child("startup")), 3, Rotation::Size | Rotation::Init, 10, true));
    EXPECT_NE(dynamic_cast<LogMessengerIPC*>(setup.messenger.get()), nullptr);
    setup.unit->debug(1, "before the configuration");

    const SmartPointer<LoggerUnit> unit = setup.unit;
    setup.configuration = makeSmart<ConfReader>(fake, makeSmart<ConfigurationLog>(fake, setup.centre));
    ASSERT_TRUE(setup.configuration->buildTreeFromText(
        "Quilna () = '' { directories () = '' { log (DirName) = '" + quoted(dir.child("configured")) + "' {} } }\n" +
            logBlock("global () = '' { debug-level (Integer) = '2' {} } rotation () = '' { keep (Integer) = '2' {} }"),
        "hoardscan.conf"));
    ASSERT_TRUE(setupLogging(fake, setup));  // a second call only applies the configuration
    EXPECT_TRUE(setup.unit == unit);
    EXPECT_EQ(std::make_tuple(setup.directory, debugLevel(),
                              dynamic_cast<const LoggerAgentFile&>(*setup.messenger->agent()).rotationKeep()),
              std::make_tuple(kept(dir.child("configured")), 2, 2));
    setup.unit->debug(1, "after the configuration");
    const std::string before = dir.read("startup/HoardscanDebug.log");
    EXPECT_TRUE(before.find(": before the configuration") != std::string::npos &&
                before.find("after the") == std::string::npos)
        << before;
    EXPECT_TRUE(dir.read("configured/HoardscanDebug.log").ends_with(": after the configuration\r\n"));
    // A log directory that does not exist leaves the log where it is.
    apply("Quilna () = '' { directories () = '' { log (DirName) = '" + quoted(dir.child("absent")) + "' {} } }");
    EXPECT_EQ(setup.directory, kept(dir.child("configured")));
    setup.configuration.reset();
    setup.unit.reset();

    // Directories are lower-cased only where paths ignore case.
    setDebugLevel(0);  // nothing is written: these directories need not exist
    for (const auto& [syntax, directory, kept] :
         {std::tuple{PathSyntax{}, "/var/Log//Hoardscan", "/var/Log/Hoardscan/"},
          std::tuple{FakePlatform::windowsSyntax(), "C:/Quilna//Logs", "c:\\quilna\\logs\\"}}) {
        fake.syntax = syntax;
        LoggingSetup other;
        other.directory = directory;
        ASSERT_TRUE(setupLogging(fake, other));
        EXPECT_EQ(other.directory, kept);
    }
}

}  // namespace
}  // namespace Quilna
