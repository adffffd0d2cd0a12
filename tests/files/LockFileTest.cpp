// Lock files: their four-line format, tokens, expiry and the times read as UTC.
#include <gtest/gtest.h>

#include "files/BasicFile.h"
#include "files/FileOps.h"
#include "files/LockFile.h"
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

class LockFileTest : public ::testing::Test {
protected:
    LockFileTest() { fake.clock = 1372680000; }  // 2013-07-01T12:00:00Z
    std::vector<std::string> lockLines() const { return linesOf(path + ".lock"); }

    TestDirectory dir;
    FakePlatform fake;
    const std::string path = dir.write("protected", "content");
};

TEST_F(LockFileTest, FourLinesOfTakenValidTokenAndHolding) {
    LockFile lock(path);
    ASSERT_TRUE(lock.lock(TimeSpan(30), true));
    // Readable by others at once, while the lock file is still open.
    auto lines = lockLines();
    ASSERT_EQ(lines.size(), 4u);
    const std::string token = lines[2];  // a time stamp and ten printable characters
    ASSERT_EQ(token.size(), 26u);
    for (char c : token.substr(16)) EXPECT_TRUE(c >= 0x20 && c <= 0x7D) << int(c);
    lines[2].resize(16);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"20130701T120000Z", "20130701T120030Z", "20130701T120000Z", "original"}));
    EXPECT_EQ(dir.read("protected"), "content");  // holding it changes nothing
    EXPECT_FALSE(lock.lock(TimeSpan(30), true));  // already there
    EXPECT_TRUE(lock.unlock());
    EXPECT_FALSE(FileOps::exists(path + ".lock"));

    // Made in the same second, still another token: one must never take the other's lock for its own.
    LockFile plain(path);
    ASSERT_TRUE(plain.lock(TimeSpan(5), false));
    EXPECT_EQ(lockLines()[3], "missing");
    EXPECT_NE(lockLines()[2], token);
    EXPECT_TRUE(plain.unlock());

    EXPECT_FALSE(LockFile(dir.child("no/dir/file")).lock(TimeSpan(30), false));
}

TEST_F(LockFileTest, AForeignLockHoldsUntilItExpiresAndTheNextOneIsNotRemovedByTheLateHolder) {
    LockFile slow(path);
    ASSERT_TRUE(slow.lock(TimeSpan(30), false));
    LockFile other(path);
    EXPECT_FALSE(other.lock(TimeSpan(30), false));
    *fake.clock += 29;
    EXPECT_FALSE(other.unlock());
    *fake.clock += 1;
    EXPECT_TRUE(other.unlock());  // expired: cleared, though its holder still runs
    ASSERT_TRUE(other.lock(TimeSpan(30), false));
    const std::string token = lockLines()[2];
    // The slow holder's release must not remove the lock that now belongs to the next writer.
    EXPECT_TRUE(slow.unlock());
    EXPECT_EQ(lockLines()[2], token);
    EXPECT_FALSE(LockFile(path).lock(TimeSpan(30), false));
    EXPECT_TRUE(other.unlock());
    EXPECT_FALSE(FileOps::exists(path + ".lock"));

    // A lock taken since this object was made is not overwritten.
    LockFile late(path);
    LockFile early(path);
    ASSERT_TRUE(early.lock(TimeSpan(30), false));
    EXPECT_FALSE(late.lock(TimeSpan(30), false));
    EXPECT_FALSE(late.unlock());
    EXPECT_TRUE(early.unlock());
}

// The stamps are UTC whatever the process zone; damaged lock files count as expired.
TEST_F(LockFileTest, ForeignLockFilesAreReadInUtcAndDamagedOnesExpire) {
    fake.environment["QUILNA_TZ"] = "-05:00";
    DateTime::resetProcessZone();
    const std::vector<std::pair<std::string, bool>> cases{
        {"20130701T115900Z\n20130701T120001Z\nsomebody else\nmissing\n", true},
        {"20130701T115900Z\n20130701T120000Z\nsomebody else\nmissing\n", false},
        {"", false},
        {"garbage\n\xff\xfe\n", false},
    };
    for (const auto& [content, live] : cases) {
        dir.write("protected.lock", content);
        LockFile lock(path);
        EXPECT_TRUE(lock.isPresent());
        EXPECT_EQ(lock.unlock(), !live) << content;
        EXPECT_EQ(FileOps::exists(path + ".lock"), live) << content;
    }
    fake.environment.erase("QUILNA_TZ");
    DateTime::resetProcessZone();
}

}  // namespace
}  // namespace Quilna
