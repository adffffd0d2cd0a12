// The throwing file class: access flags, safe updates through the temporary copy, locks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/FileOps.h"
#include "common/FilePlain.h"
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

TEST(FilePlainOpen, AccessCombinationsAndMissingFiles) {
    TestDirectory dir;
    std::string path = dir.write("f", "content\n");
    FilePlain file(path);
    EXPECT_EQ(thrownCode([&] { file.open(FileBase::Read | FileBase::Truncate); }), FL_ACCESS_COMB);
    EXPECT_EQ(thrownCode([&] { file.open(FileBase::Read | FileBase::Create); }), FL_ACCESS_COMB);
    EXPECT_EQ(thrownCode([&] { file.open(FileBase::Read | FileBase::Append); }), FL_ACCESS_COMB);
    EXPECT_EQ(thrownCode([&] { file.open(FileBase::Write | FileBase::Truncate | FileBase::Append); }),
              FL_ACCESS_COMB);
    EXPECT_EQ(thrownCode([&] { file.open(0); }), FL_ACCESS_COMB);
    EXPECT_TRUE(file.isClosed());

    FilePlain missing(dir.child("missing"));
    std::string detail;
    EXPECT_EQ(thrownCode([&] { missing.open(FileBase::Read); }, &detail), FL_EXISTS_NOT);
    EXPECT_EQ(detail, dir.child("missing") + "-->File does not exist.");

    file.open(FileBase::Read);
    EXPECT_EQ(thrownCode([&] { file.open(FileBase::Read); }), FL_IS_OPEN);
    EXPECT_EQ(file.readLine(), "content");
    EXPECT_EQ(thrownCode([&] { file.readLine(); }), FL_EOF);
    EXPECT_EQ(thrownCode([&] { file.write("x"); }), FL_CANNOT_WRITE);
    EXPECT_EQ(thrownCode([&] { file.flush(); }), FL_CANNOT_WRITE);
    file.close();
    EXPECT_EQ(thrownCode([&] { file.readLine(); }), FL_IS_CLOSED);
    EXPECT_EQ(thrownCode([&] { file.seek(0, 0); }), FL_IS_CLOSED);
    EXPECT_NO_THROW(file.close());  // closing twice does nothing

    FilePlain inNoDirectory(dir.child("no/such/dir/f"));
    EXPECT_EQ(thrownCode([&] { inNoDirectory.open(FileBase::Write | FileBase::Direct | FileBase::NoLock); }, &detail),
              FL_CANNOT_OPEN);
    EXPECT_EQ(detail, dir.child("no/such/dir/f"));
}

TEST(FilePlainUpdate, OriginalStaysUntilCloseReplacesItByTheCopy) {
    TestDirectory dir;
    std::string path = dir.write("conf", "old line\n");
    FilePlain file(path);
    file.open(FileBase::Read | FileBase::Write | FileBase::Truncate);
    EXPECT_TRUE(FileOps::exists(path + ".lock"));
    EXPECT_TRUE(FileOps::exists(path + ".tmp"));
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
    EXPECT_EQ(file.position(), 9u);
    file.write("more\n");
    EXPECT_EQ(dir.read("conf"), "new line\n");
    file.close();
    EXPECT_EQ(dir.read("conf"), "new line\nmore\n");
}

TEST(FilePlainUpdate, DiscardLeavesTheOriginalAndRemovesTheCopy) {
    TestDirectory dir;
    std::string path = dir.write("conf", "keep me\n");
    FilePlain file(path);
    file.open(FileBase::Write);
    file.writeLine("throw me away");
    file.discard();
    EXPECT_EQ(dir.read("conf"), "keep me\n");
    EXPECT_FALSE(FileOps::exists(path + ".tmp"));
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
    EXPECT_TRUE(file.isClosed());

    // A file that did not exist before is gone again after a discard.
    FilePlain fresh(dir.child("fresh"));
    fresh.open(FileBase::Write);
    fresh.writeLine("x");
    fresh.discard();
    EXPECT_FALSE(FileOps::exists(dir.child("fresh")));
    EXPECT_FALSE(FileOps::exists(dir.child("fresh.tmp")));
    EXPECT_FALSE(FileOps::exists(dir.child("fresh.lock")));

    FilePlain direct(dir.child("direct"));
    direct.open(FileBase::Write | FileBase::Direct);
    direct.writeLine("x");
    direct.discard();
    EXPECT_FALSE(FileOps::exists(dir.child("direct")));
}

TEST(FilePlainUpdate, NewFileThroughTheCopyAndDirectWritesWithoutLock) {
    TestDirectory dir;
    {
        FilePlain file(dir.child("new"));
        file.open(FileBase::Write | FileBase::Create);
        file.writeLine("created");
    }  // the destructor closes
    EXPECT_EQ(dir.read("new"), "created\n");
    EXPECT_FALSE(FileOps::exists(dir.child("new.tmp")));

    // A copy left by a writer that died does not leak into a new file.
    dir.write("stale.tmp", "leftover ");
    FilePlain stale(dir.child("stale"));
    stale.open(FileBase::Write | FileBase::Append);
    stale.write("fresh");
    stale.close();
    EXPECT_EQ(dir.read("stale"), "fresh");

    FilePlain log(dir.child("log"));
    log.open(FileBase::Write | FileBase::Append | FileBase::Direct | FileBase::NoLock);
    EXPECT_FALSE(FileOps::exists(dir.child("log.lock")));
    log.write("a");
    log.flush();
    EXPECT_EQ(dir.read("log"), "a");  // written in place
    log.close();
}

TEST(FilePlainLocking, ASecondWriterIsRefusedWhileTheFirstHoldsTheLock) {
    TestDirectory dir;
    std::string path = dir.write("shared", "base\n");
    FilePlain first(path);
    first.open(FileBase::Write | FileBase::Append);
    first.write("first\n");

    FilePlain second(path);
    EXPECT_EQ(thrownCode([&] { second.open(FileBase::Write | FileBase::Append); }), FL_IS_LOCKED);
    EXPECT_TRUE(second.isClosed());
    // Readers take no lock.
    FilePlain reader(path);
    EXPECT_NO_THROW(reader.open(FileBase::Read));
    EXPECT_EQ(reader.readLine(), "base");
    reader.close();

    first.close();
    EXPECT_NO_THROW(second.open(FileBase::Write | FileBase::Append));
    second.write("second\n");
    second.close();
    EXPECT_EQ(dir.read("shared"), "base\nfirst\nsecond\n");
}

TEST(FilePlainLocking, AnExpiredLockOfADeadWriterIsCleared) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;  // 2013-07-01T12:00:00Z
    std::string path = dir.write("shared", "base\n");
    dir.write("shared.lock", "20130701T115900Z\n20130701T115930Z\nsomebody else\nmissing\n");
    FilePlain file(path);
    EXPECT_NO_THROW(file.open(FileBase::Write | FileBase::Append));
    file.write("after\n");
    file.close();
    EXPECT_EQ(dir.read("shared"), "base\nafter\n");
    EXPECT_FALSE(FileOps::exists(path + ".lock"));

    dir.write("shared.lock", "20130701T115950Z\n20130701T120020Z\nsomebody else\nmissing\n");
    EXPECT_EQ(thrownCode([&] { file.open(FileBase::Write); }), FL_IS_LOCKED);
    *fake.clock += 30;
    EXPECT_NO_THROW(file.open(FileBase::Write));
    file.discard();
}

TEST(FilePlainClose, AFailedReplaceThrowsRenameAfterItsRetries) {
    TestDirectory dir;
    FakePlatform fake;
    fake.clock = 1372680000;
    std::string path = dir.write("target", "old");
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
    EXPECT_EQ(dir.read("target.tmp"), "new");  // the new content is not lost
    EXPECT_FALSE(FileOps::exists(path + ".lock"));
}

TEST(FilePlainData, ReadWriteSeekAndPositions) {
    TestDirectory dir;
    std::string path = dir.write("data", "line one\r\nline two\nlast");
    FilePlain file(path);
    file.open(FileBase::Read);
    EXPECT_EQ(file.readLine(), "line one");
    EXPECT_EQ(file.position(), 10u);
    std::string chunk;
    EXPECT_TRUE(file.read(chunk, 4));
    EXPECT_EQ(chunk, "line");
    char buffer[64] = {};
    EXPECT_EQ(file.read(buffer, sizeof buffer), 9u);
    EXPECT_EQ(std::string(buffer, 9), " two\nlast");
    EXPECT_TRUE(file.atEnd());
    EXPECT_EQ(thrownCode([&] { file.read(chunk, 1); }), FL_EOF);
    EXPECT_EQ(file.seek(-4, 1), 19u);
    EXPECT_EQ(file.readLine(), "last");
    EXPECT_EQ(thrownCode([&] { file.seek(-100, 0); }), FL_POSITION);
    file.close();

    FilePlain writer(dir.child("out"));
    writer.open(FileBase::Write | FileBase::Direct | FileBase::NoLock);
    EXPECT_EQ(thrownCode([&] { writer.readLine(); }), FL_CANNOT_READ);
    EXPECT_EQ(thrownCode([&] { writer.read(chunk, 1); }), FL_READ);
    EXPECT_EQ(writer.write("abc", 3), 3u);
    EXPECT_TRUE(writer.writeLine("def"));
    EXPECT_EQ(writer.position(), 7u);
    EXPECT_TRUE(writer.flush());
    writer.close();
    EXPECT_EQ(dir.read("out"), "abcdef\n");
}

TEST(FilePlainText, OnlyTabCarriageReturnAndLineFeedAreAllowedControls) {
    FilePlain file("unused");
    EXPECT_NO_THROW(file.checkText("a\tb\r\nc"));
    EXPECT_EQ(thrownCode([&] { file.checkText("page\fbreak"); }), 27);
    EXPECT_EQ(thrownCode([&] { file.checkText(std::string("nul\0", 4)); }), 27);
    try {
        file.checkText("\x01");
    } catch (const FileException& error) {
        std::string text;
        EXPECT_EQ(error.describe(text), "File: Unknown error (Code: 60.27)");
    }
}

}  // namespace
}  // namespace Quilna
