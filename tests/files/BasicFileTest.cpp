// The error-code file wrapper; its modes are used, and tested, through the file class.
#include <gtest/gtest.h>

#include "files/BasicFile.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(BasicFile, LinesLoseEveryCarriageReturn) {
    TestSupport::TestDirectory dir;
    BasicFile file;
    ASSERT_TRUE(file.open(dir.write("lines", "one\r\ntw\ro\r\n\nlast"), BasicFile::Read));
    std::vector<std::string> lines;
    std::string line;
    while (file.readLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "last"}));  // a last line without line feed counts
    EXPECT_EQ(file.error(), BasicFile::AlreadyAtEnd);
    EXPECT_FALSE(file.write("x"));
    EXPECT_EQ(file.error(), BasicFile::NotForWriting);
}

// A write larger than the buffer goes straight to the system; a full disk there is a failure.
TEST(BasicFile, AWriteThroughToAFullDiskFails) {
    TestSupport::TestDirectory dir;
    FakePlatform fake;
    BasicFile file;
    ASSERT_TRUE(file.open(dir.child("big"), BasicFile::Write));
    *fake.diskRoom = 1000;
    EXPECT_FALSE(file.write(std::string(200000, 'x')));
    EXPECT_EQ(file.error(), BasicFile::WriteFailed);
}

}  // namespace
}  // namespace Quilna
