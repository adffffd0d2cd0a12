#include <gtest/gtest.h>

#include <new>
#include <tuple>

#include "core/SmartPointer.h"

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

TEST(SmartPointer, CopiesShareOneCounterAndTheLastReleaseOrAFailedCounterDeletes) {
    int alive = 0;
    {
        SmartPointer<Derived> derived(new Derived(alive));
        SmartPointer<Tracked> base(derived);  // a base pointer shares the counter
        SmartPointer<Tracked> third;
        third = base;
        EXPECT_TRUE(derived.count() == 3 && base == third);
        derived.reset();
        third.reset();
        EXPECT_EQ(std::tuple(base.count(), alive), std::tuple(1, 1));
    }
    EXPECT_EQ(alive, 0);
    auto* fresh = new Tracked(alive);
    failNothrowAllocation = true;
    SmartPointer<Tracked> pointer(fresh);
    auto failed = makeSmart<Tracked>(alive);
    failNothrowAllocation = false;
    EXPECT_TRUE(pointer.isNull() && failed.isNull());
    EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace Quilna
