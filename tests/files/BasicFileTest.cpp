// The error-code file wrapper; its modes are used, and tested, through the file class and lock files.
#include <gtest/gtest.h>

#include "files/BasicFile.h"
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

}  // namespace
}  // namespace Quilna
