// The native backend's locks slice: named locks exclude other holders, recursive locks let
// their owner in again and keep other threads out until fully left.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/NamedLock.h"
#include "platform/Platform.h"
#include "platform/RecursiveLock.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

using NativeTest::ScopedEnv;
using NativeTest::TempDir;

class NativeLocks : public ::testing::Test {
protected:
    NativeLocks() {
        // POSIX keeps its lock files below the runtime directory.
        if (!NativeTest::onWindows()) runtime_ = std::make_unique<ScopedEnv>("QUILNA_RUNTIME_DIR", dir_.text());
    }

private:
    TempDir dir_;
    std::unique_ptr<ScopedEnv> runtime_;
};

TEST_F(NativeLocks, NamedLockExcludesASecondHolderUntilReleased) {
    const std::string name = NativeTest::uniqueName("Quilna_Test_");
    auto first = platform().tryNamedLock(name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platform().tryNamedLock(name), nullptr) << "a second object of the same process is excluded";

    auto other = platform().tryNamedLock(name + "_other");
    EXPECT_NE(other, nullptr) << "another name is another lock";

    EXPECT_TRUE(first->release());
    EXPECT_TRUE(first->release()) << "releasing twice is harmless";
    auto second = platform().tryNamedLock(name);
    ASSERT_NE(second, nullptr) << "free again after the release";
    second.reset();
    EXPECT_NE(platform().tryNamedLock(name), nullptr) << "destruction frees it too";
}

TEST_F(NativeLocks, RecursiveLockAdmitsItsOwnerAgainAndOthersOnlyWhenFullyLeft) {
    auto lock = platform().makeRecursiveLock();
    ASSERT_NE(lock, nullptr);
    lock->enter();
    lock->enter();  // the owner enters again without blocking

    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock->enter();
        entered.store(true);
        lock->leave();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load()) << "held twice";
    lock->leave();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load()) << "still held once";
    lock->leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

}  // namespace
}  // namespace Quilna
