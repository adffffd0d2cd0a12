#include <gtest/gtest.h>

#include <new>

#include "common/SmartPointer.h"

namespace {

bool failNothrowAllocation = false;

struct Tracked {
    explicit Tracked(int& alive) : alive(alive) { ++alive; }
    virtual ~Tracked() { --alive; }
    int& alive;
};

struct Derived : Tracked {
    using Tracked::Tracked;
};

}  // namespace

// Lets a test make the counter allocation fail.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (failNothrowAllocation) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace Quilna {
namespace {

TEST(SmartPointer, CopiesShareOneCounterAndTheLastReleaseDeletes) {
    int alive = 0;
    {
        SmartPointer<Tracked> first(new Tracked(alive));
        EXPECT_EQ(first.count(), 1);
        {
            SmartPointer<Tracked> second(first);
            SmartPointer<Tracked> third;
            third = second;
            EXPECT_EQ(first.count(), 3);
            EXPECT_TRUE(first == third);
        }
        EXPECT_EQ(first.count(), 1);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(SmartPointer, DestroyLeavesTheOtherHoldersWithNullAndANegativeCounter) {
    int alive = 0;
    SmartPointer<Tracked> a(new Tracked(alive));
    SmartPointer<Tracked> b(a);
    SmartPointer<Tracked> c(a);
    b.destroy();
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(a.count(), -2);
    // A copy of a destroyed pointer is null too and widens the counter.
    SmartPointer<Tracked> d(c);
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(a.count(), -3);
    d.reset();
    EXPECT_EQ(a.count(), -2);
    c.reset();
    EXPECT_EQ(a.count(), -1);
    a.reset();  // the last one frees the counter (checked by the sanitizer build)
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(alive, 0);
}

TEST(SmartPointer, DestroyByTheOnlyHolderFreesEverything) {
    int alive = 0;
    SmartPointer<Tracked> only(new Tracked(alive));
    only.destroy();
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(only.isNull());
    only.destroy();  // a second destroy is harmless
    EXPECT_TRUE(only.isNull());
}

TEST(SmartPointer, ConvertsToABasePointerSharingTheCounter) {
    int alive = 0;
    SmartPointer<Derived> derived(new Derived(alive));
    SmartPointer<Tracked> base(derived);
    EXPECT_EQ(derived.count(), 2);
    derived.reset();
    EXPECT_FALSE(base.isNull());
    base.reset();
    EXPECT_EQ(alive, 0);
}

TEST(SmartPointer, FailedCounterAllocationDeletesTheObject) {
    int alive = 0;
    auto* fresh = new Tracked(alive);
    failNothrowAllocation = true;
    SmartPointer<Tracked> pointer(fresh);
    failNothrowAllocation = false;
    EXPECT_TRUE(pointer.isNull());
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(SmartPointer<Tracked>().isNull());
}

TEST(SmartPointer, MakeSmartBuildsAHeldObject) {
    int alive = 0;
    auto made = makeSmart<Tracked>(alive);
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(alive, 1);
    failNothrowAllocation = true;
    auto failed = makeSmart<Tracked>(alive);
    failNothrowAllocation = false;
    EXPECT_TRUE(failed.isNull());
    EXPECT_EQ(alive, 1);
}

}  // namespace
}  // namespace Quilna
