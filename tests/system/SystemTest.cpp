// The guard (named between objects, unnamed between threads) and the texts about the machine.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

#include "platform/NativePlatform.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"
#include "system/Monopoly.h"
#include "system/SystemInfo.h"

namespace Quilna {
namespace {

// User, workgroup and domain lookups fail until the test gives answers; pauses are counted, and a
// thread about to wait for a guard's lock says so.
struct TestPlatform : FakePlatform {
    struct Lock : RecursiveLock {
        Lock(std::unique_ptr<RecursiveLock> lock, std::atomic<bool>& waiting)
            : lock(std::move(lock)), waiting(waiting) {}
        void enter() override { waiting = true, lock->enter(); }
        void leave() override { lock->leave(); }
        std::unique_ptr<RecursiveLock> lock;
        std::atomic<bool>& waiting;
    };
    bool userName(std::string& out) override { return user ? FakePlatform::userName(out) : false; }
    bool workgroup(std::string& out) override { return group ? FakePlatform::workgroup(out) : false; }
    bool dnsDomain(std::string& out) override { return domain ? FakePlatform::dnsDomain(out) : false; }
    void sleepMs(uint32_t milliseconds) override { ++pauses, FakePlatform::sleepMs(milliseconds); }
    std::unique_ptr<RecursiveLock> makeRecursiveLock() override {
        return std::make_unique<Lock>(FakePlatform::makeRecursiveLock(), waiting);
    }
    std::atomic<int> pauses = 0;
    std::atomic<bool> waiting = false;
};

// Between processes and against links: PosixNamedLock.
TEST(Monopoly, NamedGuardsShareSlashesAndReleaseOnDestruction) {
    TestSupport::TestDirectory dir;
    FakePlatform fake;
    fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime");
    Monopoly a(fake, fake, "logs/app\\main.log");
    EXPECT_EQ(a.name(), "logs_app_main.log");
    ASSERT_TRUE(a.enforce());
    EXPECT_TRUE(a.enforce());          // again: still held, nothing new taken
    EXPECT_FALSE(a.setName("other"));  // not while held
    {
        Monopoly b(fake, fake, "logs\\app/main.log");
        EXPECT_TRUE(!b.enforce() && a.relax() && b.enforce());
    }
    EXPECT_TRUE(a.enforce()) << "released with its object";
    EXPECT_FALSE(Monopoly(fake, fake, "").enforce());
}

TEST(Monopoly, ThreadsReenteringTheUnnamedGuardLoseNoCountAndAClosingGuardLetsNobodyIn) {
    NativePlatform native;
    Monopoly guard(native, native);
    EXPECT_TRUE(guard.relax()) << "nothing to leave";
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                guard.relax();  // while another thread holds it: changes nothing
                guard.enforce();
                guard.enforce();
                const int seen = counter;
                std::this_thread::yield();  // another thread inside would lose this count
                counter = seen + 1;
                guard.relax();
                guard.relax();
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000);
    // Closing: without a pause when no thread is on its way in; a thread that waits for the lock
    // meanwhile is let go without it, and the guard goes only once that thread is out.
    TestPlatform fake;
    Monopoly(fake, fake).enforce();
    EXPECT_EQ(fake.pauses, 0);
    auto closing = std::make_unique<Monopoly>(fake, fake);
    closing->enforce();
    fake.waiting = false;
    int entered = -1;
    std::thread late([&] { entered = closing->enforce(); });
    while (!fake.waiting) std::this_thread::yield();
    closing.reset();
    late.join();
    EXPECT_EQ(entered, 0);
}

// A DNS domain equal to the computer name, or an empty one, is no domain: the workgroup is.
TEST(SystemInfo, DomainWorkgroupAndUserName) {
    TestPlatform fake;
    const auto domainOf = [&] {
        std::string domain, computer, architecture, os;
        getSystemInfo(fake, domain, computer, architecture, os);
        return domain;
    };
    fake.computer = "PC1";
    fake.group = "WORKGROUP";
    const std::vector<std::pair<std::optional<std::string>, std::string>> cases{
        {"corp.example", "corp.example"}, {"PC1", "WORKGROUP"}, {"", "WORKGROUP"}, {std::nullopt, "WORKGROUP"}};
    for (const auto& [dns, expected] : cases) {
        fake.domain = dns;
        EXPECT_EQ(domainOf(), expected) << dns.value_or("(none)");
    }
    fake.group.reset();
    EXPECT_EQ(domainOf() + " " + getUserName(fake), "N/A <error>");
    fake.user = "ann";
    EXPECT_EQ(getUserName(fake), "ann");
}

}  // namespace
}  // namespace Quilna
