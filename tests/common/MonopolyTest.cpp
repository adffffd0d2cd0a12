// The guard: named (between processes and objects) and unnamed (recursive, between threads).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/Monopoly.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

class RuntimeScope {
public:
    RuntimeScope() { fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime"); }
    TestDirectory dir;
    FakePlatform fake;
};

TEST(MonopolyNamed, SlashAndBackslashNameTheSameLock) {
    RuntimeScope runtime;
    Monopoly a("logs/app\\main.log");
    Monopoly b("logs\\app/main.log");
    EXPECT_EQ(a.name(), "logs_app_main.log");
    ASSERT_TRUE(a.enforce());
    EXPECT_TRUE(a.isEnforced());
    EXPECT_TRUE(a.enforce());  // again: still held, nothing new taken
    EXPECT_FALSE(b.enforce());
    EXPECT_FALSE(b.isEnforced());
    EXPECT_FALSE(a.setName("other"));  // not while held
    EXPECT_TRUE(a.relax());
    EXPECT_FALSE(a.isEnforced());
    EXPECT_TRUE(a.relax());  // not held: nothing to do
    EXPECT_TRUE(b.enforce());
    EXPECT_TRUE(a.setName("other"));
    EXPECT_TRUE(a.enforce());
}

TEST(MonopolyNamed, EmptyNameNeverHoldsAndDestructionReleases) {
    RuntimeScope runtime;
    Monopoly nameless("");
    EXPECT_FALSE(nameless.enforce());
    EXPECT_FALSE(nameless.isEnforced());
    {
        Monopoly held("Quilna_Scoped");
        ASSERT_TRUE(held.enforce());
        Monopoly rival("Quilna_Scoped");
        EXPECT_FALSE(rival.enforce());
    }
    Monopoly after("Quilna_Scoped");
    EXPECT_TRUE(after.enforce());
}

TEST(MonopolyUnnamed, TheOwnerReentersOthersWaitForTheLastRelax) {
    Monopoly guard;
    ASSERT_TRUE(guard.enforce());
    ASSERT_TRUE(guard.enforce());
    std::atomic<bool> entered{false};
    std::thread other([&] {
        guard.enforce();
        entered = true;
        guard.relax();
    });
    EXPECT_TRUE(guard.relax());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());
    EXPECT_TRUE(guard.isEnforced());
    EXPECT_TRUE(guard.relax());
    other.join();
    EXPECT_TRUE(entered.load());
    EXPECT_FALSE(guard.isEnforced());
}

TEST(MonopolyUnnamed, ARelaxFromAThreadThatDoesNotOwnItChangesNothing) {
    Monopoly guard;
    ASSERT_TRUE(guard.enforce());
    std::thread stranger([&] { EXPECT_TRUE(guard.relax()); });
    stranger.join();
    EXPECT_TRUE(guard.isEnforced());
    std::atomic<bool> entered{false};
    std::thread other([&] {
        guard.enforce();
        entered = true;
        guard.relax();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());  // the stranger's relax did not open it
    guard.relax();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(MonopolyUnnamed, ManyThreadsCountingUnderTheGuardLoseNothing) {
    Monopoly guard;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                guard.enforce();
                guard.enforce();
                ++counter;
                guard.relax();
                guard.relax();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_FALSE(guard.isEnforced());
}

}  // namespace
}  // namespace Quilna
