// The error-code file wrapper: modes, lines, positions and its error codes.
#include <gtest/gtest.h>

#include "common/BasicFile.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

TEST(BasicFileOpen, ModeAndStateErrors) {
    TestDirectory dir;
    std::string path = dir.write("f", "abc");
    BasicFile file;
    EXPECT_EQ(file.size(), -1);
    EXPECT_TRUE(file.atEnd());
    EXPECT_FALSE(file.open(path, 8));
    EXPECT_EQ(file.error(), BasicFile::UnknownMode);
    EXPECT_FALSE(file.open(path, -1));
    EXPECT_EQ(file.error(), BasicFile::UnknownMode);
    EXPECT_TRUE(file.open(path, BasicFile::Nothing));
    EXPECT_FALSE(file.isOpen());

    ASSERT_TRUE(file.open(path, BasicFile::Read));
    EXPECT_EQ(file.name(), path);
    EXPECT_EQ(file.mode(), BasicFile::Read);
    EXPECT_EQ(file.size(), 3);
    EXPECT_FALSE(file.atEnd());
    EXPECT_FALSE(file.open(path, BasicFile::Read));
    EXPECT_EQ(file.error(), BasicFile::AlreadyOpen);
    file.close();
    EXPECT_EQ(file.mode(), BasicFile::Nothing);
    EXPECT_EQ(file.size(), -1);

    EXPECT_FALSE(file.open(dir.child("missing"), BasicFile::Read));
    EXPECT_EQ(file.error(), BasicFile::OpenFailed);
    EXPECT_FALSE(file.open(dir.text(), BasicFile::Read));  // a directory
    EXPECT_EQ(file.error(), BasicFile::OpenFailed);
    EXPECT_FALSE(file.open("", BasicFile::Write));
    EXPECT_FALSE(file.open(dir.child("no/dir/f"), BasicFile::Write));
    EXPECT_FALSE(file.isOpen());

    ASSERT_TRUE(file.open(dir.write("empty", ""), BasicFile::Read));
    EXPECT_TRUE(file.atEnd());
}

TEST(BasicFileLines, LinesLoseLineFeedAndEveryCarriageReturn) {
    TestDirectory dir;
    BasicFile file;
    ASSERT_TRUE(file.open(dir.write("lines", "one\r\ntw\ro\r\n\nlast"), BasicFile::Read));
    std::string line;
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "one");
    EXPECT_EQ(file.position(), 5);
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "two");
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(file.atEnd());
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "last");  // a last line without line feed counts
    EXPECT_TRUE(file.atEnd());
    EXPECT_EQ(file.position(), file.size());
    EXPECT_FALSE(file.readLine(line));
    EXPECT_EQ(file.error(), BasicFile::AlreadyAtEnd);
    EXPECT_EQ(line, "");
}

TEST(BasicFileLines, ReadingNeedsAReadingModeWritingAWritingMode) {
    TestDirectory dir;
    BasicFile file;
    std::string line;
    EXPECT_FALSE(file.readLine(line));
    EXPECT_EQ(file.error(), BasicFile::NotOpen);
    EXPECT_FALSE(file.write("x"));
    EXPECT_EQ(file.error(), BasicFile::NotOpen);

    ASSERT_TRUE(file.open(dir.child("w"), BasicFile::Write));
    EXPECT_FALSE(file.readLine(line));
    EXPECT_EQ(file.error(), BasicFile::NotForReading);
    EXPECT_FALSE(file.read(line, 3));
    EXPECT_EQ(file.error(), BasicFile::NotForReading);
    file.close();

    ASSERT_TRUE(file.open(dir.write("r", "data"), BasicFile::Read));
    EXPECT_FALSE(file.write("x"));
    EXPECT_EQ(file.error(), BasicFile::NotForWriting);
    EXPECT_FALSE(file.flush());
    EXPECT_EQ(file.error(), BasicFile::NotForWriting);
    file.close();
    EXPECT_EQ(dir.read("r"), "data");
}

TEST(BasicFileWrite, WriteEmptiesAppendKeepsAndLinesEndInLineFeed) {
    TestDirectory dir;
    std::string path = dir.write("w", "old content");
    BasicFile file;
    ASSERT_TRUE(file.open(path, BasicFile::Write));
    EXPECT_EQ(file.size(), 0);
    ASSERT_TRUE(file.writeLine("alpha"));
    ASSERT_TRUE(file.write("beta"));
    EXPECT_EQ(file.position(), 10);
    EXPECT_EQ(file.size(), 10);
    file.close();
    EXPECT_EQ(dir.read("w"), "alpha\nbeta");

    ASSERT_TRUE(file.open(path, BasicFile::Append));
    EXPECT_EQ(file.position(), 10);
    ASSERT_TRUE(file.writeLine("!"));
    EXPECT_EQ(file.size(), 12);
    file.close();
    EXPECT_EQ(dir.read("w"), "alpha\nbeta!\n");

    ASSERT_TRUE(file.open(dir.child("created"), BasicFile::Append));
    ASSERT_TRUE(file.write("new"));
    ASSERT_TRUE(file.flush());
    EXPECT_EQ(dir.read("created"), "new");  // flushed before close
    file.close();

    // A new file only: a taken name is left as it is.
    EXPECT_FALSE(file.open(path, BasicFile::WriteNew));
    EXPECT_EQ(file.error(), BasicFile::OpenFailed);
    EXPECT_EQ(dir.read("w"), "alpha\nbeta!\n");
    ASSERT_TRUE(file.open(dir.child("brand new"), BasicFile::WriteNew));
    ASSERT_TRUE(file.write("first"));
    file.close();
    EXPECT_EQ(dir.read("brand new"), "first");
}

TEST(BasicFileReadWrite, ReadAndWriteModesShareOnePosition) {
    TestDirectory dir;
    std::string path = dir.write("rw", "0123456789");
    BasicFile file;
    ASSERT_TRUE(file.open(path, BasicFile::ReadWrite));
    std::string part;
    ASSERT_TRUE(file.read(part, 4));
    EXPECT_EQ(part, "0123");
    ASSERT_TRUE(file.write("ab"));  // overwrites at the position reached by reading
    ASSERT_TRUE(file.read(part, 100));
    EXPECT_EQ(part, "6789");  // up to the end
    EXPECT_TRUE(file.atEnd());
    EXPECT_FALSE(file.read(part, 1));
    EXPECT_EQ(file.error(), BasicFile::AlreadyAtEnd);
    file.close();
    EXPECT_EQ(dir.read("rw"), "0123ab6789");

    // Read-write of a missing file creates it; the emptying mode empties.
    ASSERT_TRUE(file.open(dir.child("fresh"), BasicFile::ReadWrite));
    EXPECT_EQ(file.size(), 0);
    file.close();
    ASSERT_TRUE(file.open(path, BasicFile::ReadWriteEmpty));
    EXPECT_EQ(file.size(), 0);
    ASSERT_TRUE(file.writeLine("x"));
    file.close();
    EXPECT_EQ(dir.read("rw"), "x\n");

    // Read and append: reads from the start, writes at the end.
    ASSERT_TRUE(file.open(path, BasicFile::ReadAppend));
    ASSERT_TRUE(file.write("y"));
    ASSERT_TRUE(file.seek(0, BasicFile::FromStart, BasicFile::ReadPointer));
    std::string line;
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "x");
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(line, "y");
    file.close();
    EXPECT_EQ(dir.read("rw"), "x\ny");
}

TEST(BasicFileSeek, OriginsTargetsAndFailures) {
    TestDirectory dir;
    BasicFile file;
    EXPECT_FALSE(file.seek(0, BasicFile::FromStart));
    EXPECT_EQ(file.error(), BasicFile::NotOpen);
    ASSERT_TRUE(file.open(dir.write("s", "abcdefgh"), BasicFile::Read));
    EXPECT_FALSE(file.seek(0, 3));
    EXPECT_EQ(file.error(), BasicFile::UnknownOrigin);
    EXPECT_FALSE(file.seek(0, BasicFile::FromStart, 4));
    EXPECT_EQ(file.error(), BasicFile::UnknownTarget);
    ASSERT_TRUE(file.seek(-3, BasicFile::FromEnd));
    EXPECT_EQ(file.position(), 5);
    ASSERT_TRUE(file.seek(1, BasicFile::FromCurrent));
    std::string rest;
    ASSERT_TRUE(file.read(rest, 10));
    EXPECT_EQ(rest, "gh");
    EXPECT_FALSE(file.seek(-100, BasicFile::FromStart));
    EXPECT_EQ(file.error(), BasicFile::SeekFailed);
    EXPECT_EQ(file.position(), 8);  // unchanged by the failed seek
    ASSERT_TRUE(file.seek(0, BasicFile::FromStart, BasicFile::BothPointers));
    EXPECT_FALSE(file.atEnd());
}

}  // namespace
}  // namespace Quilna
