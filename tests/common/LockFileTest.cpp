// Lock files: their four-line format, tokens, expiry and the times read back as UTC.
#include <gtest/gtest.h>

#include "common/BasicFile.h"
#include "common/FileOps.h"
#include "common/LockFile.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    BasicFile file;
    std::string line;
    if (!file.open(path, BasicFile::Read)) return lines;
    while (file.readLine(line)) lines.push_back(line);
    return lines;
}

TEST(LockFileFormat, FourLinesOfTakenValidTokenAndHolding) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;  // 2013-07-01T12:00:00Z
    std::string path = dir.write("protected", "content");
    LockFile lock(path);
    EXPECT_FALSE(lock.isPresent());
    EXPECT_TRUE(lock.originalExisted());
    ASSERT_TRUE(lock.lock(TimeSpan(30), true));
    EXPECT_TRUE(lock.isPresent());
    EXPECT_TRUE(lock.holdsOriginal());

    // Readable by others at once, while the lock file is still open.
    auto lines = linesOf(path + ".lock");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "20130701T120000Z");
    EXPECT_EQ(lines[1], "20130701T120030Z");
    EXPECT_EQ(lines[2], lock.ownToken());
    EXPECT_EQ(lines[3], "original");
    EXPECT_EQ(dir.read("protected"), "content");  // holding it changes nothing

    EXPECT_FALSE(lock.lock(TimeSpan(30), true));  // already there
    EXPECT_TRUE(lock.unlock());
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
    EXPECT_TRUE(lock.unlock());  // nothing left to release

    LockFile plain(path);
    ASSERT_TRUE(plain.lock(TimeSpan(5), false));
    EXPECT_EQ(linesOf(path + ".lock")[3], "missing");
    EXPECT_TRUE(plain.unlock());
}

TEST(LockFileToken, TimeStampAndTenPrintableCharactersUniquePerObject) {
    FakePlatform fake;
    fake.clock = 1372680000;
    LockFile a("/nonexistent/x");
    LockFile b("/nonexistent/x");
    ASSERT_EQ(a.ownToken().size(), 26u);
    EXPECT_EQ(a.ownToken().substr(0, 16), "20130701T120000Z");
    for (char c : a.ownToken().substr(16)) {
        EXPECT_GE(c, 0x20);
        EXPECT_LE(c, 0x7D);
    }
    // Made in the same second, still different: one must never take the other's lock for its own.
    EXPECT_NE(a.ownToken(), b.ownToken());
    EXPECT_FALSE(a.originalExisted());
}

TEST(LockFileForeign, ALiveForeignLockHoldsUntilItExpiresThenIsCleared) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;
    std::string path = dir.write("p", "x");
    LockFile holder(path);
    ASSERT_TRUE(holder.lock(TimeSpan(30), false));

    LockFile other(path);
    EXPECT_TRUE(other.isPresent());
    EXPECT_EQ(other.foundToken(), holder.ownToken());
    EXPECT_EQ(other.validUntil().value(), 1372680030);
    EXPECT_FALSE(other.lock(TimeSpan(30), false));
    EXPECT_FALSE(other.unlock());
    *fake.clock += 29;
    EXPECT_FALSE(other.unlock());
    *fake.clock += 1;
    EXPECT_TRUE(other.unlock());
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
    EXPECT_TRUE(other.lock(TimeSpan(30), false));
    EXPECT_TRUE(other.unlock());
}

TEST(LockFileForeign, AHolderPastItsExpiryLeavesTheNextWritersLockInPlace) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;
    std::string path = dir.write("p", "x");
    LockFile slow(path);
    ASSERT_TRUE(slow.lock(TimeSpan(30), false));
    *fake.clock += 31;
    // The slow holder still runs: its expired lock is cleared all the same, on every system.
    LockFile next(path);
    EXPECT_TRUE(next.unlock());
    ASSERT_TRUE(next.lock(TimeSpan(30), false));
    // The slow holder's release must not remove the lock that now belongs to the next writer.
    EXPECT_TRUE(slow.unlock());
    ASSERT_TRUE(FileOps::exists(path + ".lock"));
    EXPECT_EQ(linesOf(path + ".lock")[2], next.ownToken());
    LockFile third(path);
    EXPECT_FALSE(third.lock(TimeSpan(30), false));
    EXPECT_TRUE(next.unlock());
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
}

TEST(LockFileForeign, ANewLockSinceConstructionIsNotOverwritten) {
    TestDirectory dir;
    std::string path = dir.write("p", "x");
    LockFile late(path);
    LockFile early(path);
    ASSERT_TRUE(early.lock(TimeSpan(30), false));
    EXPECT_FALSE(late.lock(TimeSpan(30), false));
    EXPECT_EQ(linesOf(path + ".lock")[2], early.ownToken());
    EXPECT_FALSE(late.unlock());  // a live foreign lock
    EXPECT_TRUE(early.unlock());
}

TEST(LockFileForeign, DamagedLockFilesCountAsExpired) {
    TestDirectory dir;
    std::string path = dir.write("p", "x");
    dir.write("p.lock", "");
    LockFile empty(path);
    EXPECT_TRUE(empty.isPresent());
    EXPECT_EQ(empty.validUntil().value(), 0);
    EXPECT_TRUE(empty.unlock());

    dir.write("p.lock", "garbage\n\xff\xfe\n");
    LockFile garbage(path);
    EXPECT_TRUE(garbage.isPresent());
    EXPECT_TRUE(garbage.unlock());
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
}

TEST(LockFileTimes, TheUtcFormIsReadAsUtcWhateverTheProcessZone) {
    FakePlatform fake;
    fake.environment["QUILNA_TZ"] = "+05:00";
    DateTime::resetProcessZone();
    EXPECT_EQ(LockFile::parseStamp("20130701T120000Z").value(), 1372680000);
    EXPECT_EQ(LockFile::parseStamp("19700101T000000Z").value(), 0);
    // Other texts go through the ordinary parser.
    EXPECT_EQ(LockFile::parseStamp("").value(), 0);
    EXPECT_EQ(LockFile::parseStamp("2013-07-01T12:00:00").value(), DateTime("2013-07-01T12:00:00").value());
    fake.environment.erase("QUILNA_TZ");
    DateTime::resetProcessZone();
}

TEST(LockFileHold, ANewProtectedFileIsCreatedEmptyWhileHeld) {
    TestDirectory dir;
    std::string path = dir.child("new");
    LockFile lock(path);
    EXPECT_FALSE(lock.originalExisted());
    ASSERT_TRUE(lock.lock(TimeSpan(30), true));
    EXPECT_TRUE(FileOps::exists(path));
    EXPECT_TRUE(lock.unlock());

    LockFile nowhere(dir.child("no/dir/file"));
    EXPECT_FALSE(nowhere.lock(TimeSpan(30), false));
    EXPECT_FALSE(nowhere.isPresent());
}

}  // namespace
}  // namespace Quilna
