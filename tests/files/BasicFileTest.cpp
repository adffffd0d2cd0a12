// The error-code file wrapper: modes, lines and positions.
#include <gtest/gtest.h>

#include "files/BasicFile.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(BasicFile, LinesLoseEveryCarriageReturnAndEachModeWritesWhereItShould) {
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
    file.close();

    const std::string path = dir.write("w", "old content");
    ASSERT_TRUE(file.open(path, BasicFile::Write));  // empties
    ASSERT_TRUE(file.writeLine("alpha") && file.write("beta"));
    file.close();
    ASSERT_TRUE(file.open(path, BasicFile::Append));
    EXPECT_EQ(file.position(), 10);
    ASSERT_TRUE(file.writeLine("!"));
    file.close();
    EXPECT_FALSE(file.open(path, BasicFile::WriteNew));  // a taken name is left as it is
    EXPECT_EQ(dir.read("w"), "alpha\nbeta!\n");

    // Read and write share one position; a failed seek keeps it.
    ASSERT_TRUE(file.open(dir.write("rw", "0123456789"), BasicFile::ReadWrite));
    ASSERT_TRUE(file.read(line, 4));
    ASSERT_TRUE(file.write("ab"));
    ASSERT_TRUE(file.seek(-3, BasicFile::FromEnd));
    EXPECT_FALSE(file.seek(-100, BasicFile::FromStart));
    EXPECT_EQ(file.position(), 7);
    file.close();
    EXPECT_EQ(dir.read("rw"), "0123ab6789");

    // Read and append: reads from the start, writes at the end.
    ASSERT_TRUE(file.open(dir.child("rw"), BasicFile::ReadAppend));
    ASSERT_TRUE(file.write("!"));
    ASSERT_TRUE(file.seek(0, BasicFile::FromStart, BasicFile::ReadPointer));
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "0123ab6789!");
}

}  // namespace
}  // namespace Quilna
