// Parameters, templates, records, log lines, and the message files of the catalogue (one per
// module in <configuration directory>LogMessages/).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

// Log records travel to the collector, which reads them back (the collector's tests); debug
// records keep their level, and read back without a message number.
TEST(RecordText, DebugRecordsKeepTheirLevel) {
    const LogRecord debug{.application = 1, .module = 19, .debugLevel = 3, .text = "hello", .thread = 12};
    const std::string text = LogCommons::serializeRecord(debug);
    EXPECT_EQ(text, "Quilna" + F + "DEBUG" + F + "1" + F + "19" + F + "0" + F + "3" + F + "hello" + F + "12" + F);
    LogRecord back;
    ASSERT_TRUE(LogCommons::parseRecord(text, back));
    EXPECT_EQ(back.kind, LogRecord::Debug);
    EXPECT_EQ(back.debugLevel, 3);
    EXPECT_EQ(back.messageId, LogRecord::NoMessage);
}

// Lines of every kind through the whole chain: LoggerChainTest. Here the label's edge cases.
TEST(LogLine, LabelsAreCutOrBlankAndNumbersKeepTheirDigits) {
    FakePlatform fake;
    fake.environment["QUILNA_TZ"] = "+00:00";
    DateTime::resetProcessZone();
    // "debug-12345" is cut to 8 characters.
    LogRecord record{.application = 17, .module = 19, .debugLevel = 12345, .text = "x", .thread = 1234};
    record.time = DateTime(static_cast<int32_t>(LogTest::sampleMoment));
    const std::string time = "2013-04-05T06:07:08 ";
    EXPECT_EQ(LogCommons::formatLine(record, false), "debug-12 " + time + "(17.19)    1234: x");
    record.kind = LogRecord::Log;
    record.severity = 9;  // no name: the label is blank
    record.messageId = 123;
    record.text.clear();
    EXPECT_EQ(LogCommons::formatLine(record, false), "         " + time + "(17.19.123) 1234: (Message not found.)");
    DateTime::resetProcessZone();
}

std::string find(const LogCommons& catalogue, int32_t module, int32_t id) {
    std::string text;
    return catalogue.findMessage(module, id, text) ? text : "<none>";
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(LogCatalogue, FilterAndModuleKeysChooseTheFiles) {
    TestSupport::TestDirectory dir;
    std::filesystem::create_directories(dir.child("LogMessages/hoardscan.mess"));  // a directory is no message file
    for (const char* name : {"storage.mess", "configuration.mess", "core.mess", "time.mess", "notes.mess"})
        dir.write("LogMessages/" + std::string(name), "1: from " + std::string(name) + "\n");
    dir.write("LogMessages/readme.txt", "1: not a message file\n");

    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(dir.text() + "/", "storage,configuration");
    EXPECT_TRUE(result.status);
    EXPECT_EQ(sorted(result.loaded), (std::vector<std::string>{"configuration", "storage"}));
    EXPECT_EQ(sorted(result.rejected), (std::vector<std::string>{"core", "notes", "time"}));
    EXPECT_EQ(find(catalogue, 17, 1), "from storage.mess");
    EXPECT_EQ(find(catalogue, 1, 1), "from configuration.mess");
    EXPECT_EQ(find(catalogue, 0, 1), "<none>");

    LogCommons everything;
    const LoadResult all = everything.loadMessages(dir.text() + "/", "all");
    EXPECT_EQ(sorted(all.rejected), (std::vector<std::string>{"notes"}));
    EXPECT_EQ(all.loaded.size(), 4u);

    LogCommons none;
    const LoadResult missing = none.loadMessages(dir.child("nowhere") + "/", "all");
    EXPECT_TRUE(missing.status);
    EXPECT_TRUE(missing.loaded.empty());
    EXPECT_EQ(none.messageCount(), 0u);
}

TEST(LogCatalogue, MessageLinesAndTheirOddities) {
    TestSupport::TestDirectory dir;
    std::string text =
        "// a comment: 5: not a message\r\n\r\n  12 :  Disk %s is full.  \r\n007: seven: with a colon\r\n42\r\n"
        "   \r\n // a blank first: a message numbered 0\r\n12: a later duplicate\r\n"
        "13: an old editor's line: caf\xe9 \x80\r\nx9: no number\r\n";
    // Counts include the keys already present.
    for (int i = 0; i < 40; ++i) text += std::to_string(100 + i % 30) + ": message " + std::to_string(i) + "\n";
    std::filesystem::create_directories(dir.child("LogMessages"));
    dir.write("LogMessages/storage.mess", text);
    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(dir.text() + "/", "all");
    ASSERT_EQ(result.loaded, std::vector<std::string>{"storage"});
    EXPECT_EQ(result.counts, std::vector<int32_t>{47});
    EXPECT_EQ(catalogue.messageCount(), 35u);
    const std::vector<std::pair<int32_t, std::string>> messages{
        {12, "Disk %s is full."},
        {7, "seven: with a colon"},
        {42, ""},
        {0, "a message numbered 0"},
        {13, "an old editor's line: caf\xc3\xa9 \xe2\x82\xac"},  // Windows-1252 read as such
        {5, "<none>"},
        {9, "<none>"},
        {105, "message 5"}};
    for (const auto& [id, expected] : messages) EXPECT_EQ(find(catalogue, 17, id), expected) << id;
}

}  // namespace
}  // namespace Quilna
