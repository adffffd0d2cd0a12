#include <gtest/gtest.h>

#include "logger/LogCommons.h"
#include "logger/ParamStream.h"
#include "LogTestSupport.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

const std::string S = std::string(1, kParameterSeparator);
const std::string F = std::string(1, kFieldSeparator);
// A directive without a parameter (escaped: the plain text would read as a trigraph).
const std::string Q = "<\?\?\?>";

TEST(LogTables, SeverityNamesAreExactAndCaseSensitive) {
    EXPECT_EQ(LogCommons::severityFromName("NOTICE"), 0);
    EXPECT_EQ(LogCommons::severityFromName("CRITICAL"), 3);
    EXPECT_EQ(LogCommons::severityFromName("FATAL"), 4);
    EXPECT_EQ(LogCommons::severityFromName("NONE"), 5);
    EXPECT_EQ(LogCommons::severityFromName("NOTHING"), 5);
    EXPECT_EQ(LogCommons::severityFromName("warning"), 6);
    EXPECT_EQ(LogCommons::severityFromName(" ERROR"), 6);
    EXPECT_EQ(LogCommons::severityName(1), "WARNING");
    EXPECT_EQ(LogCommons::severityName(5), "");
    EXPECT_EQ(LogCommons::severityName(-1), "");
}

TEST(LogTables, ModulesAndApplicationsByNumberAndKey) {
    EXPECT_EQ(LogCommons::moduleName(17), "Storage");
    EXPECT_EQ(LogCommons::moduleName(19), "Hoardscan");
    EXPECT_EQ(LogCommons::moduleName(11), "<<Unknown>>");
    EXPECT_EQ(LogCommons::moduleName(58), "<<Unknown>>");
    EXPECT_NE(LogCommons::moduleName(57), "<<Unknown>>");
    EXPECT_EQ(LogCommons::moduleFromKey("HoardScan"), 19);
    EXPECT_EQ(LogCommons::moduleFromKey("log"), 2);
    EXPECT_EQ(LogCommons::moduleFromKey("LOGGER"), 2);
    EXPECT_EQ(LogCommons::moduleFromKey("notes"), 64);
    EXPECT_EQ(LogCommons::moduleFromKey(""), 64);
    // Every module with a row is found again by its key.
    for (int32_t module = 0; module <= 57; ++module) {
        if (module == 11) continue;
        EXPECT_EQ(LogCommons::moduleFromKey(LogCommons::moduleName(module)), module) << module;
    }
    EXPECT_EQ(LogCommons::applicationName(17), "Hoardscan");
    EXPECT_EQ(LogCommons::applicationName(1), "Core");
    EXPECT_NE(LogCommons::applicationName(49), "<<Unknown>>");
    EXPECT_EQ(LogCommons::applicationName(0), "<<Unknown>>");
    EXPECT_EQ(LogCommons::applicationName(50), "<<Unknown>>");
}

TEST(ParamStreamEncoding, TypeCharacterValueAndSeparator) {
    ParamStream params;
    params << 42 << "abc";
    EXPECT_EQ(params.text(), "n42" + S + "sabc" + S);

    ParamStream more;
    more << std::string() << std::string("x" + S) << -7L << 3000000000UL << int64_t{-5} << uint64_t{18446744073709551615ULL}
         << 0.5 << 2u;
    EXPECT_EQ(more.text(), "s" + S + "sx" + S + "n-7" + S + "n3000000000" + S + "n-5" + S + "n18446744073709551615" + S +
                               "n0.5" + S + "n2" + S);

    ParamStream copy(more);
    copy << "tail";
    EXPECT_EQ(copy.text(), more.text() + "stail" + S);
}

TEST(TemplateExpansion, DirectivesTakeParametersInTurn) {
    const std::string text = (ParamStream() << "C:\\data").text();
    EXPECT_EQ(LogCommons::expandParameters("Disk %s is full.", text), "Disk C:\\data is full.");
    EXPECT_EQ(LogCommons::expandParameters("%s and %s", text), "C:\\data and " + Q);
    EXPECT_EQ(LogCommons::expandParameters("ends in %", text), "ends in " + Q);
    EXPECT_EQ(LogCommons::expandParameters("100%% of %s", text), "100% of C:\\data");
    EXPECT_EQ(LogCommons::expandParameters("%s then %%", text), "C:\\data then " + Q);
    EXPECT_EQ(LogCommons::expandParameters("no directives", ""), "no directives");
    EXPECT_EQ(LogCommons::expandParameters("%s", ""), Q);
}

TEST(TemplateExpansion, WrongTypesShowBetweenBackslashes) {
    const std::string text = (ParamStream() << 42 << 7 << "abc" << 1.5 << "x").text();
    // %i and %f expect numbers, %d and %p types that streams never make, %q nothing at all.
    EXPECT_EQ(LogCommons::expandParameters("%i|%d|%s|%f|%q", text), "42|\\7\\|abc|1.5|\\x\\");
    EXPECT_EQ(LogCommons::expandParameters("%s", (ParamStream() << 42).text()), "\\42\\");
    EXPECT_EQ(LogCommons::expandParameters("%p", "pvalue" + S), "value");
    // An empty piece between separators is a parameter without a type.
    EXPECT_EQ(LogCommons::expandParameters("[%s][%s]", "sa" + S + S + "sb" + S), "[a][\\\\]");
}

TEST(RecordText, SerialisedFieldsInOrder) {
    LogRecord log;
    log.kind = LogRecord::Log;
    log.application = 17;
    log.module = 5;
    log.time = DateTime(1365142028);
    log.severity = 2;
    log.messageId = 7;
    log.text = "sabc" + S;
    log.thread = 4000000000u;
    EXPECT_EQ(LogCommons::serializeRecord(log),
              "Quilna" + F + "LOG" + F + "17" + F + "5" + F + "1365142028" + F + "2" + F + "sabc" + S + F + "4000000000" +
                  F + "7" + F);

    LogRecord debug;
    debug.kind = LogRecord::Debug;
    debug.application = 1;
    debug.module = 19;
    debug.debugLevel = 3;
    debug.text = "hello";
    debug.thread = 12;
    EXPECT_EQ(LogCommons::serializeRecord(debug), "Quilna" + F + "DEBUG" + F + "1" + F + "19" + F + "0" + F + "3" + F +
                                                      "hello" + F + "12" + F);

    LogRecord back;
    ASSERT_TRUE(LogCommons::parseRecord(LogCommons::serializeRecord(log), back));
    EXPECT_EQ(back.kind, LogRecord::Log);
    EXPECT_EQ(back.application, 17);
    EXPECT_EQ(back.module, 5);
    EXPECT_EQ(back.time.value(), 1365142028);
    EXPECT_EQ(back.severity, 2);
    EXPECT_EQ(back.messageId, 7);
    EXPECT_EQ(back.text, log.text);
    EXPECT_EQ(back.thread, 4000000000u);

    ASSERT_TRUE(LogCommons::parseRecord(LogCommons::serializeRecord(debug), back));
    EXPECT_EQ(back.kind, LogRecord::Debug);
    EXPECT_EQ(back.debugLevel, 3);
    EXPECT_EQ(back.messageId, LogRecord::NoMessage);
    EXPECT_EQ(back.text, "hello");
}

TEST(RecordText, BadTextsAreRejectedOrReadAsZero) {
    LogRecord record;
    EXPECT_FALSE(LogCommons::parseRecord("Other" + F + "LOG" + F, record));
    EXPECT_FALSE(LogCommons::parseRecord("Quilna" + F + "INFO" + F, record));
    EXPECT_FALSE(LogCommons::parseRecord("", record));
    EXPECT_FALSE(LogCommons::parseRecord("quilna" + F + "LOG" + F, record));

    // Fields missing at the end, or not numeric, read as 0 and empty.
    ASSERT_TRUE(LogCommons::parseRecord("Quilna" + F + "LOG" + F + "17" + F + "x5" + F, record));
    EXPECT_EQ(record.application, 17);
    EXPECT_EQ(record.module, 0);
    EXPECT_EQ(record.time.value(), 0);
    EXPECT_EQ(record.severity, 0);
    EXPECT_EQ(record.text, "");
    EXPECT_EQ(record.thread, 0u);
    EXPECT_EQ(record.messageId, 0);
    ASSERT_TRUE(LogCommons::parseRecord("Quilna" + F + "DEBUG", record));
    EXPECT_EQ(record.kind, LogRecord::Debug);
    EXPECT_EQ(record.messageId, LogRecord::NoMessage);
}

// Log lines are formatted in a fixed zone so that the time text is known.
class LogLineTest : public ::testing::Test {
protected:
    LogLineTest() {
        fake.environment["QUILNA_TZ"] = "+00:00";
        DateTime::resetProcessZone();
    }
    ~LogLineTest() override { DateTime::resetProcessZone(); }

    static LogRecord record(uint8_t kind) {
        LogRecord r;
        r.kind = kind;
        r.application = 17;
        r.module = 17;
        r.time = DateTime(static_cast<int32_t>(LogTest::sampleMoment));
        r.thread = 1234;
        return r;
    }

    FakePlatform fake;
};

TEST_F(LogLineTest, DebugAndLogLinesByteForByte) {
    LogRecord debug = record(LogRecord::Debug);
    debug.debugLevel = 1;
    debug.text = "Loading log messages...";
    EXPECT_EQ(LogCommons::formatLine(debug, false),
              "debug-1  2013-04-05T06:07:08 (17.17)    1234: Loading log messages...");

    LogRecord warning = record(LogRecord::Log);
    warning.severity = 1;
    warning.messageId = 5;
    warning.text = (ParamStream() << "C:\\data" << 42).text();
    EXPECT_EQ(LogCommons::formatLine(warning, false),
              "WARNING  2013-04-05T06:07:08 (17.17.05) 1234: (Message not found.) Parameters: C:\\data  42");

    LogRecord found = warning;
    found.text = "Disk C:\\data is full.";
    EXPECT_EQ(LogCommons::formatLine(found, true), "WARNING  2013-04-05T06:07:08 (17.17.05) 1234: Disk C:\\data is full.");

    LogRecord bare = record(LogRecord::Log);
    bare.severity = 3;
    bare.module = 5;
    bare.messageId = 7;
    EXPECT_EQ(LogCommons::formatLine(bare, false), "CRITICAL 2013-04-05T06:07:08 (17.05.07) 1234: (Message not found.)");
    bare.module = 19;
    bare.messageId = 123;
    bare.severity = 9;  // no name: the label is blank
    EXPECT_EQ(LogCommons::formatLine(bare, false), "         2013-04-05T06:07:08 (17.19.123) 1234: (Message not found.)");

    LogRecord longLabel = record(LogRecord::Debug);
    longLabel.debugLevel = 12345;  // "debug-12345" is cut to 8 characters
    longLabel.text = "x";
    EXPECT_EQ(LogCommons::formatLine(longLabel, false), "debug-12 2013-04-05T06:07:08 (17.17)    1234: x");

    // A name with line ends and a terminal escape cannot forge a record: one record, one line.
    const std::string forged = "dir\r\nFATAL    2013-04-05T06:07:08 (17.17.01) 1: forged\x1b[2J\x7f";
    const std::string shown = "dir\\x0d\\x0aFATAL    2013-04-05T06:07:08 (17.17.01) 1: forged\\x1b[2J\\x7f";
    debug.text = "Processing \"" + forged + "\"...";
    EXPECT_EQ(LogCommons::formatLine(debug, false),
              "debug-1  2013-04-05T06:07:08 (17.17)    1234: Processing \"" + shown + "\"...");
    // Raw parameters: 0x1B there separates them.
    warning.text = (ParamStream() << "dir\r\nFATAL\x07").text();
    EXPECT_EQ(LogCommons::formatLine(warning, false),
              "WARNING  2013-04-05T06:07:08 (17.17.05) 1234: (Message not found.) Parameters: dir\\x0d\\x0aFATAL\\x07");
    found.text = "Disk " + forged;
    EXPECT_EQ(LogCommons::formatLine(found, true), "WARNING  2013-04-05T06:07:08 (17.17.05) 1234: Disk " + shown);
}

}  // namespace
}  // namespace Quilna
