// The guard: named (between processes and objects) and unnamed (recursive, between threads).
#include <gtest/gtest.h>

#include <thread>

#include "support/FakePlatform.h"
#include "support/TestDirectory.h"
#include "system/Monopoly.h"

namespace Quilna {
namespace {

TEST(Monopoly, NamedGuardsShareSlashesAndReleaseOnDestruction) {
    TestSupport::TestDirectory dir;
    FakePlatform fake;
    fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime");
    Monopoly a("logs/app\\main.log");
    Monopoly b("logs\\app/main.log");
    EXPECT_EQ(a.name(), "logs_app_main.log");
    ASSERT_TRUE(a.enforce());
    EXPECT_TRUE(a.enforce());  // again: still held, nothing new taken
    EXPECT_FALSE(b.enforce());
    EXPECT_FALSE(a.setName("other"));  // not while held
    EXPECT_TRUE(a.relax());
    EXPECT_TRUE(b.enforce());
    EXPECT_TRUE(a.setName("other"));
    EXPECT_FALSE(Monopoly("").enforce());
    {
        Monopoly held("Quilna_Scoped");
        ASSERT_TRUE(held.enforce());
        EXPECT_FALSE(Monopoly("Quilna_Scoped").enforce());
    }
    EXPECT_TRUE(Monopoly("Quilna_Scoped").enforce());
}

TEST(Monopoly, ThreadsReenteringTheUnnamedGuardLoseNoCount) {
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
}

}  // namespace
}  // namespace Quilna
