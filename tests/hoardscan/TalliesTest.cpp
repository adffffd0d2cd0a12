#include <gtest/gtest.h>

#include "hoardscan/Tallies.h"

namespace Quilna {
namespace {

RecordFields sample() {
    return RecordFields{"OSLO", "PC42", "C", "sales", "\\\\PC42\\ann", "Users", "doc", "plain", "cold", "hot"};
}

TEST(Tallies, TheKeyPutsZeroBeforeEveryFieldAndReplacesColonsAndControls) {
    std::string key;
    Tallies::buildKey(sample(), key);
    EXPECT_EQ(key, "0:OSLO:0:PC42:0:C:0:sales:0:\\\\PC42\\ann:0:Users:0:doc:0:plain:0:cold:0:hot");
    RecordFields odd = sample();
    odd.site = "a:b";
    odd.fileSystem = "c:\\dir\\";
    odd.fileType = "x\ny";
    Tallies::buildKey(odd, key);
    EXPECT_EQ(key, "0:a_b:0:PC42:0:c_\\dir\\:0:sales:0:\\\\PC42\\ann:0:Users:0:x_y:0:plain:0:cold:0:hot");
    std::string field = "a:b\tc";
    Tallies::sanitizeField(field);
    EXPECT_EQ(field, "a_b_c");
}

TEST(Tallies, FilesOfOneKeyAddUpAndTheWeightFollowsTheSums) {
    Tallies tallies;
    EXPECT_FALSE(tallies.addAccountRecord("k", 1000, 4096));
    const auto& first = tallies.accountRecords().at("k");
    EXPECT_DOUBLE_EQ(first[3], 0.4196);
    tallies.addAccountRecord("k", 3, 4096);
    const auto& values = tallies.accountRecords().at("k");
    EXPECT_EQ(values[0], 2);
    EXPECT_EQ(values[1], 1003);
    EXPECT_EQ(values[2], 8192);
    EXPECT_DOUBLE_EQ(values[3], 1003 * 0.00001 + 8192 * 0.0001);
    // Sizes above 2^32 are summed without loss.
    tallies.addAccountRecord("big", 5368709121, 5368713216);
    EXPECT_EQ(tallies.accountRecords().at("big")[2], 5368713216.0);
}

TEST(Tallies, UpdatesAskForAFlushAtTheBufferSize) {
    Tallies tallies(2);
    EXPECT_FALSE(tallies.addAccountRecord("a", 1, 1));
    EXPECT_FALSE(tallies.addAccountRecord("a", 1, 1));  // same key: still one entry
    EXPECT_TRUE(tallies.addAccountRecord("b", 1, 1));
    tallies.clearAccountRecords();
    EXPECT_TRUE(tallies.accountRecords().empty());
    // A key met again after the flush starts afresh, and the records stay in key order.
    EXPECT_FALSE(tallies.addAccountRecord("b", 7, 8));
    EXPECT_TRUE(tallies.addAccountRecord("a", 5, 6));
    EXPECT_EQ(tallies.accountRecords().at("b")[0], 1);
    EXPECT_EQ(tallies.accountRecords().at("b")[1], 7);
    EXPECT_EQ(tallies.accountRecords().begin()->first, "a");
    tallies.addAccountRecord("a", 5, 6);
    EXPECT_EQ(tallies.accountRecords().at("a")[0], 2);
    tallies.clearAccountRecords();
    Tallies one(1);
    EXPECT_TRUE(one.addAccountRecord("a", 1, 1));
    EXPECT_TRUE(one.addTemperatureRow("/d/", 10));
    EXPECT_TRUE(one.addInactiveRow("f", "/d/", 0, "2013-01-01T00:00:00", "cold"));
    EXPECT_EQ(one.filesCounted(), 1u);
}

// A buffer whose flush failed stays whole: it is due again after as many updates as it holds,
// known entries still add up, and new ones are lost and counted, so memory stays bounded.
TEST(Tallies, AFullBufferIsDueOncePerBufferOfUpdatesAndLosesOnlyNewEntries) {
    Tallies tallies(3);
    std::vector<bool> due;
    for (const char* key : {"a", "b", "c", "d", "a", "e", "f", "g"}) due.push_back(tallies.addAccountRecord(key, 10, 4096));
    EXPECT_EQ(due, (std::vector<bool>{false, false, true, false, false, true, false, false}));
    EXPECT_EQ(tallies.accountRecords().size(), 3u);
    EXPECT_EQ(tallies.accountRecords().at("a")[0], 2);
    EXPECT_EQ(tallies.lostAccountRecords(), 4u);  // d, e, f, g
    EXPECT_EQ(tallies.filesCounted(), 8u);
    EXPECT_EQ(tallies.bytesCounted(), 80);
    EXPECT_EQ(tallies.bytesOnDiskCounted(), 8 * 4096);
    tallies.clearAccountRecords();  // the flush succeeded at last: the next key has room again
    EXPECT_FALSE(tallies.addAccountRecord("h", 1, 1));

    Tallies rows(1);
    EXPECT_TRUE(rows.addTemperatureRow("/a/", 1));
    EXPECT_TRUE(rows.addTemperatureRow("/b/", 1));
    EXPECT_TRUE(rows.addInactiveRow("f", "/d/", 0, "t", "cold"));
    EXPECT_TRUE(rows.addInactiveRow("g", "/d/", 0, "t", "cold"));
    EXPECT_EQ(rows.lostTemperatureRows(), 1u);
    EXPECT_EQ(rows.lostInactiveRows(), 1u);
    EXPECT_EQ(rows.inactiveRows().size(), 1u);
}

TEST(Tallies, TemperatureRowsSumBytesPerDirectory) {
    Tallies tallies;
    tallies.addTemperatureRow("/data/a/", 4096);
    tallies.addTemperatureRow("/data/a/", 8192);
    tallies.addTemperatureRow("/data/b/", 1);
    EXPECT_EQ(tallies.temperatureRows().at("/data/a/"), 12288);
    EXPECT_EQ(tallies.temperatureRows().size(), 2u);
}

TEST(Tallies, InactiveRowsAreWrittenInKibibytesOnceUntilFlushed) {
    Tallies tallies(10);
    tallies.addInactiveRow("a,b.doc", "/x,y/", 1023, "2013-07-01T14:00:00", "cold");
    tallies.addInactiveRow("big", "/x/", 5 * 1024 + 1023, "2013-07-01T14:00:00", "frozen");
    tallies.addInactiveRow("a,b.doc", "/x,y/", 1023, "2013-07-01T14:00:00", "cold");
    ASSERT_EQ(tallies.inactiveRows().size(), 2u);
    EXPECT_EQ(tallies.inactiveRows()[0], "a_b.doc,/x_y/,0,2013-07-01T14:00:00,cold,");
    EXPECT_EQ(tallies.inactiveRows()[1], "big,/x/,5,2013-07-01T14:00:00,frozen,");
    tallies.clearInactiveRows();
    tallies.addInactiveRow("a,b.doc", "/x,y/", 1023, "2013-07-01T14:00:00", "cold");
    EXPECT_EQ(tallies.inactiveRows().size(), 1u);
    // The flush test runs also when nothing was appended.
    Tallies full(1);
    EXPECT_TRUE(full.addInactiveRow("n", "/d/", 0, "t", "cold"));
    EXPECT_TRUE(full.addInactiveRow("n", "/d/", 0, "t", "cold"));
}

TEST(Tallies, ExtensionsAreListedOnceInOrder) {
    Tallies tallies;
    tallies.addExtension("xyz");
    tallies.addExtension("abc");
    tallies.addExtension("xyz");
    EXPECT_EQ(tallies.extensionLines(), (std::vector<std::string>{"xyz", "abc"}));
    EXPECT_TRUE(tallies.hasExtension("abc"));
    EXPECT_FALSE(tallies.hasExtension("doc"));
}

}  // namespace
}  // namespace Quilna
