// A writer process that dies while it updates a file leaves its lock file and its temporary
// copy behind. The file itself keeps its old content; the next writer is kept out while the
// dead writer's lock is valid, then clears the lock and the stale copy and writes as if nothing
// had happened.
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/FileOps.h"
#include "common/FilePlain.h"
#include "support/ChildProcess.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

int32_t thrownCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileException& error) {
        return error.code();
    }
    return -1;
}

TEST(FilePlainKilledWriter, TheDeadWritersLockHoldsUntilItExpiresThenLockAndCopyAreCleared) {
    const struct {
        const char* name;
        uint16_t access;
        bool originalExists;
    } cases[] = {
        {"rewrite", FileBase::Write, true},
        {"append", FileBase::Write | FileBase::Append, true},
        {"new file", FileBase::Write, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::TestDirectory dir;
        const std::string path = dir.child("data");
        const std::string old = c.originalExists ? "old line\n" : "";
        if (c.originalExists) dir.write("data", old);
        // Ends in the middle of its update: no destructor, no close, nothing cleaned up.
        TestSupport::ChildProcess writer([&] {
            FilePlain file(path);
            file.open(c.access);
            for (int line = 0; line < 4000; ++line) file.writeLine("half-written " + std::to_string(line));
            file.flush();
            ::_exit(0);
            return 1;
        });
        ASSERT_TRUE(writer.started());
        ASSERT_EQ(writer.wait(), 0);
        EXPECT_NE(dir.read("data.tmp").find("half-written 3999\n"), std::string::npos);
        EXPECT_EQ(dir.read("data"), old);

        FilePlain early(path);
        EXPECT_EQ(thrownCode([&] { early.open(c.access); }), FL_IS_LOCKED);
        EXPECT_EQ(dir.read("data"), old);
        EXPECT_TRUE(FileOps::exists(path + ".lock"));

        FakePlatform fake;
        fake.clock = platform().now() + 31;  // past the 30 s a lock lives
        FilePlain next(path);
        next.open(c.access);
        next.write("next writer\n");
        next.close();
        EXPECT_EQ(dir.read("data"), (c.access & FileBase::Append ? old : std::string()) + "next writer\n");
        EXPECT_FALSE(FileOps::exists(path + ".lock"));
        EXPECT_FALSE(FileOps::exists(path + ".tmp"));
    }
}

}  // namespace
}  // namespace Quilna
