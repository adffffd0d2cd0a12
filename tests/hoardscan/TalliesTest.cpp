#include <gtest/gtest.h>

#include "hoardscan/Tallies.h"

namespace Quilna {
namespace {

TEST(Tallies, UpdatesAskForAFlushAtTheBufferSizeAndKeysStartAfreshAfterIt) {
    Tallies tallies(2);
    EXPECT_FALSE(tallies.addAccountRecord("b", 1, 1));
    EXPECT_FALSE(tallies.addAccountRecord("b", 1, 1));  // same key: still one entry
    EXPECT_TRUE(tallies.addAccountRecord("a", 1, 1));
    EXPECT_EQ(tallies.accountRecords().begin()->first, "a");  // in key order
    tallies.clearAccountRecords();
    EXPECT_FALSE(tallies.addAccountRecord("b", 7, 8));
    EXPECT_EQ(tallies.accountRecords().at("b").bytes, 7);

    // An inactive row already buffered is not added again, until the buffer is flushed.
    EXPECT_FALSE(tallies.addInactiveRow("a.doc", "/x/", 1023, "2013-07-01T14:00:00", "cold"));
    EXPECT_FALSE(tallies.addInactiveRow("a.doc", "/x/", 1023, "2013-07-01T14:00:00", "cold"));
    EXPECT_EQ(tallies.inactiveRows(), (std::deque<std::string>{"a.doc,/x/,0,2013-07-01T14:00:00,cold,"}));
    tallies.clearInactiveRows();
    tallies.addInactiveRow("a.doc", "/x/", 1023, "2013-07-01T14:00:00", "cold");
    EXPECT_EQ(tallies.inactiveRows().size(), 1u);
    // A full buffer asks again even when nothing was added.
    Tallies one(1);
    EXPECT_TRUE(one.addInactiveRow("n", "/d/", 0, "t", "cold"));
    EXPECT_TRUE(one.addInactiveRow("n", "/d/", 0, "t", "cold"));
    // Temperature rows: one per directory entered; only those that reach the limit are listed
    // (in path order, a path entered twice summed), but every row holds its place.
    Tallies rows(4);
    rows.setTemperatureLimit(10);
    EXPECT_FALSE(rows.addTemperatureRow(1, "/b/", 6));
    EXPECT_FALSE(rows.addTemperatureRow(1, "/b/", 6));
    EXPECT_FALSE(rows.addTemperatureRow(2, "/c/", 9));
    EXPECT_FALSE(rows.addTemperatureRow(3, "/b/", 10));
    EXPECT_TRUE(rows.addTemperatureRow(4, "/a/", 10));
    EXPECT_EQ(rows.temperatureRows(), (std::vector<Tallies::DirectoryTotal>{{"/a/", 10}, {"/b/", 22}}));
    rows.clearTemperatureRows();  // the rest of a directory after a flush is a row of its own
    EXPECT_FALSE(rows.addTemperatureRow(4, "/a/", 12));
    EXPECT_EQ(rows.temperatureRows(), (std::vector<Tallies::DirectoryTotal>{{"/a/", 12}}));
    tallies.addExtension("xyz");
    tallies.addExtension("xyz");
    EXPECT_EQ(tallies.extensionLines(), (std::vector<std::string>{"xyz"}));
}

TEST(Tallies, AFullBufferIsDueOncePerBufferOfUpdatesAndLosesOnlyNewEntries) {
    Tallies tallies(3);
    std::vector<bool> due;
    for (const char* key : {"a", "b", "c", "d", "a", "e", "f", "g"})
        due.push_back(tallies.addAccountRecord(key, 10, 4096));
    EXPECT_EQ(due, (std::vector<bool>{false, false, true, false, false, true, false, false}));
    EXPECT_EQ(tallies.accountRecords().size(), 3u);
    EXPECT_EQ(tallies.accountRecords().at("a").files, 2);
    EXPECT_EQ(tallies.lostAccountRecords(), 4u);  // d, e, f, g
    EXPECT_EQ(tallies.filesCounted(), 8u);
    EXPECT_EQ(tallies.bytesOnDiskCounted(), 8 * 4096);
    tallies.clearAccountRecords();  // the flush succeeded at last: the next key has room again
    EXPECT_FALSE(tallies.addAccountRecord("h", 1, 1));

    Tallies rows(1);
    EXPECT_TRUE(rows.addTemperatureRow(1, "/a/", 1));
    EXPECT_TRUE(rows.addTemperatureRow(2, "/b/", 1));
    EXPECT_TRUE(rows.addInactiveRow("f", "/d/", 0, "t", "cold"));
    EXPECT_TRUE(rows.addInactiveRow("g", "/d/", 0, "t", "cold"));
    EXPECT_EQ(rows.lostTemperatureRows(), 1u);
    EXPECT_EQ(rows.lostInactiveRows(), 1u);
    EXPECT_EQ(rows.inactiveRows().size(), 1u);

    // Long paths fill a buffer by their bytes long before its number of records.
    Tallies deep(1000000);
    size_t added = 1;
    while (!deep.addInactiveRow(std::to_string(added), std::string(1 << 20, 'd'), 0, "t", "cold")) ++added;
    EXPECT_EQ(added, Tallies::bufferBytes >> 20);
    EXPECT_TRUE(deep.addTemperatureRow(1, std::string(Tallies::bufferBytes, 'd'), 1));
}

}  // namespace
}  // namespace Quilna
