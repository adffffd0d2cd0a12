// Parameters, templates, records and log lines.
#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "logger/LogCommons.h"
#include "text/ParamStream.h"

namespace Quilna {
namespace {

const std::string S = std::string(1, kParameterSeparator);
const std::string F = std::string(1, kFieldSeparator);
// A directive without a parameter (escaped: the plain text would read as a trigraph).
const std::string Q = "<\?\?\?>";

TEST(ParamStreamEncoding, TypeCharacterValueAndSeparator) {
    ParamStream params;
    params << 42 << "abc" << std::string() << std::string("x" + S) << -7L << 3000000000UL << int64_t{-5}
           << uint64_t{18446744073709551615ULL} << 0.5 << 2u;
    EXPECT_EQ(params.text(), "n42" + S + "sabc" + S + "s" + S + "sx" + S + "n-7" + S + "n3000000000" + S + "n-5" + S +
                                 "n18446744073709551615" + S + "n0.5" + S + "n2" + S);
}

TEST(TemplateExpansion, DirectivesTakeParametersInTurnAndWrongTypesShowBetweenBackslashes) {
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
        {"%p", "pvalue" + S, "value"},
        // An empty piece between separators is a parameter without a type.
        {"[%s][%s]", "sa" + S + S + "sb" + S, "[a][\\\\]"}};
    for (const auto& [format, parameters, expected] : rows)
        EXPECT_EQ(LogCommons::expandParameters(format, parameters), expected) << format;
}

TEST(RecordText, FieldsInOrderReadBackAndMissingOnesReadAsZero) {
    LogRecord log;
    log.kind = LogRecord::Log;
    log.application = 17;
    log.module = 5;
    log.time = DateTime(1365142028);
    log.severity = 2;
    log.messageId = 7;
    log.text = "sabc" + S;
    log.thread = 4000000000u;
    const std::string text = LogCommons::serializeRecord(log);
    EXPECT_EQ(text, "Quilna" + F + "LOG" + F + "17" + F + "5" + F + "1365142028" + F + "2" + F + "sabc" + S + F +
                        "4000000000" + F + "7" + F);
    LogRecord back;
    ASSERT_TRUE(LogCommons::parseRecord(text, back));
    EXPECT_EQ(LogCommons::serializeRecord(back), text);

    LogRecord debug;
    debug.kind = LogRecord::Debug;
    debug.application = 1;
    debug.module = 19;
    debug.debugLevel = 3;
    debug.text = "hello";
    debug.thread = 12;
    EXPECT_EQ(LogCommons::serializeRecord(debug),
              "Quilna" + F + "DEBUG" + F + "1" + F + "19" + F + "0" + F + "3" + F + "hello" + F + "12" + F);
    ASSERT_TRUE(LogCommons::parseRecord(LogCommons::serializeRecord(debug), back));
    EXPECT_EQ(back.debugLevel, 3);
    EXPECT_EQ(back.messageId, LogRecord::NoMessage);

    // Fields missing at the end, or not numeric, read as 0 and empty.
    ASSERT_TRUE(LogCommons::parseRecord("Quilna" + F + "LOG" + F + "17" + F + "x5" + F, back));
    EXPECT_EQ(back.application, 17);
    EXPECT_EQ(back.module, 0);
    EXPECT_EQ(back.text, "");
    EXPECT_FALSE(LogCommons::parseRecord("quilna" + F + "LOG" + F, back));
}

// Lines of every kind through the whole chain: LoggerChainTest. Here the label's edge cases.
TEST(LogLine, LabelsAreCutOrBlankAndNumbersKeepTheirDigits) {
    FakePlatform fake;
    fake.environment["QUILNA_TZ"] = "+00:00";
    DateTime::resetProcessZone();
    LogRecord record;
    record.kind = LogRecord::Debug;
    record.application = 17;
    record.module = 19;
    record.time = DateTime(static_cast<int32_t>(LogTest::sampleMoment));
    record.thread = 1234;
    record.debugLevel = 12345;  // "debug-12345" is cut to 8 characters
    record.text = "x";
    const std::string time = "2013-04-05T06:07:08 ";
    EXPECT_EQ(LogCommons::formatLine(record, false), "debug-12 " + time + "(17.19)    1234: x");
    record.kind = LogRecord::Log;
    record.severity = 9;  // no name: the label is blank
    record.messageId = 123;
    record.text.clear();
    EXPECT_EQ(LogCommons::formatLine(record, false), "         " + time + "(17.19.123) 1234: (Message not found.)");
    DateTime::resetProcessZone();
}

}  // namespace
}  // namespace Quilna
