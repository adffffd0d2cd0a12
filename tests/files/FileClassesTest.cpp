// The file classes: the error-code wrapper, whose modes are tested through the throwing class,
// and that class's access flags, states and text (writing at the end: the log file agent tests).
#include <gtest/gtest.h>

#include "files/BasicFile.h"
#include "files/FilePlain.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

// Runs the action and returns the FileException code it threw (-1 when none), with its detail and
// the one-line what() of the std::exception whoever ends a phase catches.
template <typename Action>
int32_t thrownCode(Action action, std::string* detail = nullptr, std::string* what = nullptr) {
    try {
        action();
    } catch (const FileException& error) {
        if (detail) *detail = error.detail();
        if (what) *what = static_cast<const std::exception&>(error).what();
        return error.code();
    }
    return -1;
}

TEST(FilePlain, AccessCombinationsStatesAndText) {
    TestDirectory dir;
    FilePlain file(dir.write("f", "content\n"));
    // A write is to the file itself, without a lock file: rewrites through a copy are gone.
    for (uint16_t access : {FileBase::Read | FileBase::Truncate, FileBase::Read | FileBase::Create,
                            FileBase::Read | FileBase::Append, FileBase::Write | FileBase::Truncate | FileBase::Append,
                            0, FileBase::Write | FileBase::Direct, FileBase::Write | FileBase::NoLock})
        EXPECT_EQ(thrownCode([&] { file.open(access); }), FL_ACCESS_COMB) << access;
    FilePlain missing(dir.child("missing"));
    std::string detail, what;
    EXPECT_EQ(thrownCode([&] { missing.open(FileBase::Read); }, &detail, &what), FL_EXISTS_NOT);
    EXPECT_EQ(detail, dir.child("missing") + "-->File does not exist.");
    EXPECT_EQ(what, "File: File does not exist. (Code: 60.2) (" + detail + ")");
    file.open(FileBase::Read);
    EXPECT_EQ(thrownCode([&] { file.write("x"); }), FL_CANNOT_WRITE);
    file.close();
    EXPECT_EQ(thrownCode([&] { file.readLine(); }), FL_IS_CLOSED);

    // Only tab, carriage return and line feed are allowed controls.
    EXPECT_NO_THROW(file.checkText("a\tb\r\nc\xff"));
    EXPECT_EQ(thrownCode([&] { file.checkText("page\fbreak"); }), 27);
    EXPECT_EQ(thrownCode([&] { file.checkText(std::string("nul\0", 4)); }), 27);
}

// Lines lose every carriage return; a write larger than the buffer goes to the system after
// the bytes pending, and a full disk there is a failure.
TEST(BasicFile, LinesAndLargeWrites) {
    TestDirectory dir;
    FakePlatform fake;
    BasicFile file;
    ASSERT_TRUE(file.open(dir.write("lines", "one\r\ntw\ro\r\n\nlast"), BasicFile::Read));
    std::vector<std::string> lines;
    std::string line;
    while (file.readLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "last"}));  // a last line without line feed counts
    EXPECT_EQ(file.error(), BasicFile::AlreadyAtEnd);
    EXPECT_FALSE(file.write("x"));
    EXPECT_EQ(file.error(), BasicFile::NotForWriting);

    BasicFile out;
    ASSERT_TRUE(out.open(dir.child("big"), BasicFile::Write));
    const std::string big(200000, 'x');
    ASSERT_TRUE(out.write("pending"));
    ASSERT_TRUE(out.write(big));
    EXPECT_EQ(dir.read("big"), "pending" + big);
    *fake.diskRoom = 1000;
    EXPECT_FALSE(out.write(big));
    EXPECT_EQ(out.error(), BasicFile::WriteFailed);
}

}  // namespace
}  // namespace Quilna
