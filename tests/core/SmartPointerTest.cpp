#include <gtest/gtest.h>

#include <tuple>

#include "core/SmartPointer.h"

namespace Quilna {
namespace {

struct Tracked {
    explicit Tracked(int& alive) : alive(alive) { ++alive; }
    virtual ~Tracked() { --alive; }
    int& alive;
};

struct Derived : Tracked {
    using Tracked::Tracked;
};

TEST(SmartPointer, CopiesShareOneCounterAndTheLastReleaseDeletes) {
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
}

}  // namespace
}  // namespace Quilna
