// The throwing file class: access flags, safe updates through the temporary copy, locks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/FileOps.h"
#include "files/FilePlain.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

// Runs the action and returns the FileException code it threw (-1 when none).
template <typename Action>
int32_t thrownCode(Action action, std::string* detail = nullptr) {
    try {
        action();
    } catch (const FileException& error) {
        if (detail) *detail = error.detail();
        return error.code();
    }
    return -1;
}

TEST(FilePlain, AccessCombinationsStatesAndText) {
    TestDirectory dir;
    FilePlain file(dir.write("f", "content\n"));
    for (uint16_t access :
         {FileBase::Read | FileBase::Truncate, FileBase::Read | FileBase::Create, FileBase::Read | FileBase::Append,
          FileBase::Write | FileBase::Truncate | FileBase::Append, 0})
        EXPECT_EQ(thrownCode([&] { file.open(access); }), FL_ACCESS_COMB) << access;
    FilePlain missing(dir.child("missing"));
    std::string detail;
    EXPECT_EQ(thrownCode([&] { missing.open(FileBase::Read); }, &detail), FL_EXISTS_NOT);
    EXPECT_EQ(detail, dir.child("missing") + "-->File does not exist.");
    // Whoever ends a phase catches the family as std::exception, with a one-line what().
    try {
        missing.open(FileBase::Read);
        ADD_FAILURE() << "opened a missing file";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "File: File does not exist. (Code: 60.2) (" + detail + ")");
    }
    file.open(FileBase::Read);
    EXPECT_EQ(thrownCode([&] { file.write("x"); }), FL_CANNOT_WRITE);
    file.close();
    EXPECT_EQ(thrownCode([&] { file.readLine(); }), FL_IS_CLOSED);

    // Only tab, carriage return and line feed are allowed controls.
    EXPECT_NO_THROW(file.checkText("a\tb\r\nc\xff"));
    EXPECT_EQ(thrownCode([&] { file.checkText("page\fbreak"); }), 27);
    EXPECT_EQ(thrownCode([&] { file.checkText(std::string("nul\0", 4)); }), 27);
}

TEST(FilePlain, TheOriginalStaysUntilCloseReplacesItByTheCopy) {
    TestDirectory dir;
    const std::string path = dir.write("conf", "old line\n");
    FilePlain file(path);
    file.open(FileBase::Read | FileBase::Write | FileBase::Truncate);
    file.writeLine("new line");
    file.flush();
    EXPECT_EQ(dir.read("conf"), "old line\n");
    EXPECT_EQ(dir.read("conf.tmp"), "new line\n");
    file.close();
    EXPECT_EQ(dir.read("conf"), "new line\n");
    EXPECT_FALSE(FileOps::exists(path + ".tmp"));
    EXPECT_FALSE(FileOps::exists(path + ".lock"));

    // The copy starts as the original: appending through it keeps the old content.
    file.open(FileBase::Write | FileBase::Append);
    file.write("more\n");
    EXPECT_EQ(dir.read("conf"), "new line\n");
    file.close();
    EXPECT_EQ(dir.read("conf"), "new line\nmore\n");

    // A discard leaves the original, and a file that did not exist before is gone again.
    file.open(FileBase::Write);
    file.writeLine("throw me away");
    file.discard();
    EXPECT_EQ(thrownCode([&] { file.write("x"); }), FL_IS_CLOSED);
    EXPECT_EQ(dir.read("conf"), "new line\nmore\n");
    EXPECT_FALSE(FileOps::exists(path + ".tmp"));
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
    for (uint16_t direct : {0, int(FileBase::Direct)}) {
        FilePlain fresh(dir.child("fresh"));
        fresh.open(FileBase::Write | direct);
        fresh.writeLine("x");
        fresh.discard();
        EXPECT_FALSE(FileOps::exists(dir.child("fresh"))) << direct;
        EXPECT_FALSE(FileOps::exists(dir.child("fresh.tmp"))) << direct;
    }
}

TEST(FilePlain, ASecondWriterIsRefusedUntilTheLockIsReleasedOrExpired) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;  // 2013-07-01T12:00:00Z
    const std::string path = dir.write("shared", "base\n");
    FilePlain first(path), second(path), reader(path);
    first.open(FileBase::Write | FileBase::Append);
    first.write("first\n");
    EXPECT_EQ(thrownCode([&] { second.open(FileBase::Write | FileBase::Append); }), FL_IS_LOCKED);
    EXPECT_NO_THROW(reader.open(FileBase::Read));  // readers take no lock
    EXPECT_EQ(reader.readLine(), "base");
    reader.close();  // on Windows an open reader keeps the file from being replaced
    first.close();
    second.open(FileBase::Write | FileBase::Append);
    second.write("second\n");
    second.close();
    EXPECT_EQ(dir.read("shared"), "base\nfirst\nsecond\n");

    // A dead writer's lock holds until it expires; then the lock and the copy it left are cleared
    // and nothing of the copy reaches the file.
    dir.write("shared.lock", "20130701T115950Z\n20130701T120020Z\nsomebody else\nmissing\n");
    dir.write("shared.tmp", "half-written\n");
    EXPECT_EQ(thrownCode([&] { second.open(FileBase::Write | FileBase::Append); }), FL_IS_LOCKED);
    *fake.clock += 30;
    second.open(FileBase::Write | FileBase::Append);
    second.write("after\n");
    second.close();
    EXPECT_EQ(dir.read("shared"), "base\nfirst\nsecond\nafter\n");
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
    EXPECT_FALSE(FileOps::exists(path + ".tmp"));
}

TEST(FilePlain, AFailedReplaceThrowsRenameAfterItsRetriesAndKeepsTheCopy) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;
    const std::string path = dir.write("target", "old");
    FilePlain file(path);
    file.open(FileBase::Write);
    file.write("new");
    // Make the final rename impossible. Where an open file can be removed, a non-empty
    // directory takes its place; where it cannot (Windows), a reader that does not share
    // deletion keeps the file.
    std::ifstream reader;
    std::error_code removal;
    if (std::filesystem::remove(path, removal)) {
        std::filesystem::create_directories(path + "/inside");
    } else {
        reader.open(path, std::ios::binary);
        ASSERT_TRUE(reader.is_open());
    }
    std::string detail;
    EXPECT_EQ(thrownCode([&] { file.close(); }, &detail), FL_RENAME);
    EXPECT_EQ(detail, "Failed to update the file \"" + path + "\"");
    // Ten replace attempts of six renames each, all on the fake clock.
    EXPECT_EQ(*fake.clock, 1372680000 + 10 * 10 + 9 * 2);
    EXPECT_EQ(dir.read("target.tmp"), "new");
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
}

}  // namespace
}  // namespace Quilna
