// The POSIX lock slice: named locks as flocks below the runtime directory, recursive locks.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/fake/FakePlatform.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::ChildProcess;
using TestSupport::Handshake;
using TestSupport::TestDirectory;

// A fake backend whose runtime directory is a fresh test directory.
class RuntimeScope {
public:
    RuntimeScope() { fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime"); }
    std::string lockFile(const std::string& name) const { return dir.child("runtime/locks/" + name); }

    TestDirectory dir;
    FakePlatform fake;
};

mode_t modeOf(const std::string& path) {
    struct stat facts {};
    ::lstat(path.c_str(), &facts);
    return facts.st_mode & 07777;
}

TEST(PosixNamedLock, TwoObjectsOfOneProcessExcludeEachOther) {
    RuntimeScope runtime;
    auto first = platform().tryNamedLock("Quilna_Test");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platform().tryNamedLock("Quilna_Test"), nullptr);
    auto other = platform().tryNamedLock("Quilna_Other");
    EXPECT_NE(other, nullptr);
    EXPECT_TRUE(first->release());
    EXPECT_TRUE(first->release());  // a second release changes nothing
    auto second = platform().tryNamedLock("Quilna_Test");
    EXPECT_NE(second, nullptr);
    second.reset();  // destruction releases too
    EXPECT_NE(platform().tryNamedLock("Quilna_Test"), nullptr);
}

TEST(PosixNamedLock, RuntimeDirectoriesAreSharedAndLockFilesWritableByAll) {
    RuntimeScope runtime;
    auto held = platform().tryNamedLock("a/b");
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(modeOf(runtime.dir.child("runtime")), 01777u);
    EXPECT_EQ(modeOf(runtime.dir.child("runtime/locks")), 01777u);
    // A separator in the name cannot lead out of the locks directory.
    EXPECT_EQ(modeOf(runtime.lockFile("a_b")), 0666u);
}

TEST(PosixNamedLock, BadNamesAndAnUnusableRuntimeDirectoryGiveNoLock) {
    RuntimeScope runtime;
    EXPECT_EQ(platform().tryNamedLock(""), nullptr);
    EXPECT_EQ(platform().tryNamedLock(".."), nullptr);
    EXPECT_EQ(platform().tryNamedLock(std::string("a\0b", 3)), nullptr);
    runtime.dir.write("plainfile", "not a directory");
    runtime.fake.environment["QUILNA_RUNTIME_DIR"] = runtime.dir.child("plainfile");
    EXPECT_EQ(platform().tryNamedLock("name"), nullptr);
}

TEST(PosixNamedLock, AnotherProcessIsExcludedAndTheLockVanishesWithItsHolder) {
    RuntimeScope runtime;
    Handshake talk;
    ASSERT_TRUE(talk.ok());
    auto mine = platform().tryNamedLock("Quilna_Shared");
    ASSERT_NE(mine, nullptr);

    ChildProcess child([&] {
        if (platform().tryNamedLock("Quilna_Shared")) return 1;  // must be refused
        talk.tellParent('r');
        if (talk.fromParent() != 'g') return 2;
        auto taken = platform().tryNamedLock("Quilna_Shared");
        if (!taken) return 3;
        talk.tellParent('h');
        talk.fromParent();  // ends while holding: the lock must go with the process
        return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(talk.fromChild(), 'r');
    mine.reset();
    talk.tellChild('g');
    ASSERT_EQ(talk.fromChild(), 'h');
    EXPECT_EQ(platform().tryNamedLock("Quilna_Shared"), nullptr);
    talk.tellChild('x');
    EXPECT_EQ(child.wait(), 0);
    EXPECT_NE(platform().tryNamedLock("Quilna_Shared"), nullptr);
}

TEST(PosixRecursiveLock, TheOwnerEntersAgainAndOthersWaitForTheLastLeave) {
    auto lock = platform().makeRecursiveLock();
    ASSERT_NE(lock, nullptr);
    lock->enter();
    lock->enter();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock->enter();
        entered = true;
        lock->leave();
    });
    lock->leave();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());
    lock->leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

}  // namespace
}  // namespace Quilna
