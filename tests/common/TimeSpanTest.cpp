#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "common/TimeException.h"
#include "common/TimeSpan.h"

namespace Quilna {
namespace {

int32_t spanOf(const std::string& text) { return TimeSpan(TimeSpan::parse(text)).value(); }

int32_t codeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const TimeException& e) {
        return e.code();
    }
    return TM_NONE;
}

TEST(TimeSpan, ParsesTheDurationTexts) {
    EXPECT_EQ(spanOf("P1D"), 86400);
    EXPECT_EQ(spanOf("PT2H30M"), 9000);
    EXPECT_EQ(spanOf("P1DT1S"), 86401);
    EXPECT_EQ(spanOf("P-2H"), -7200);
    EXPECT_EQ(spanOf("PT15M"), 900);
    EXPECT_EQ(spanOf("P15M"), 900);  // M is always minutes
    EXPECT_EQ(spanOf("P3W"), 0);     // no week unit
    EXPECT_EQ(spanOf(""), 0);
}

TEST(TimeSpan, OnlyTheDigitsBeforeEachLetterCount) {
    EXPECT_EQ(spanOf("PT30M2H"), 9000);  // any order
    EXPECT_EQ(spanOf("PT1.5H"), 5 * 3600);
    EXPECT_EQ(spanOf("PT48H"), 48 * 3600);  // not normalised, no range check
    const TimeSpanParts parts = TimeSpan::parse("P2DT3H4M5S");
    EXPECT_EQ(parts.days, 2);
    EXPECT_EQ(parts.hours, 3);
    EXPECT_EQ(parts.minutes, 4);
    EXPECT_EQ(parts.seconds, 5);
    EXPECT_FALSE(parts.negative);
    EXPECT_FALSE(TimeSpan::parse("PT-2H").negative);  // the sign counts only as second character
    EXPECT_EQ(TimeSpan::parse("PTD2H").days, 0);      // a letter without digits gives 0
}

TEST(TimeSpan, TextNotBeginningWithPIsRejected) {
    for (const std::string text : {"1D", "p1D", " P1D", "T2H"}) {
        try {
            TimeSpan::parse(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const TimeException& e) {
            EXPECT_EQ(e.code(), TM_INPUT);
            EXPECT_EQ(e.detail(), "Expected 'P' in beginning of time span.");
            ASSERT_FALSE(e.locations().empty());
            EXPECT_EQ(e.locations().front().first, "TimeSpan");
        }
    }
}

TEST(TimeSpan, ValidatedChecksEachFieldInOrder) {
    EXPECT_EQ(TimeSpan::validated(24855, 0, 0, 0).value(), 2147472000);
    EXPECT_EQ(TimeSpan::validated(-24855, 0, 0, 0).value(), -2147472000);
    EXPECT_EQ(TimeSpan::validated(1, 23, 59, 59).value(), 86400 + 86399);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(24856, 0, 0, 0); }), TM_DAYS);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(-24856, 0, 0, 0); }), TM_DAYS);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(0, 24, 0, 0); }), TM_HOURS);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(0, -1, 0, 0); }), TM_HOURS);  // negative fails as unsigned
    EXPECT_EQ(codeOf([] { TimeSpan::validated(0, 0, 60, 0); }), TM_MINUTES);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(0, 0, -1, 0); }), TM_MINUTES);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(0, 0, 0, 60); }), TM_SECONDS);
    EXPECT_EQ(codeOf([] { TimeSpan::validated(24856, 24, 60, 60); }), TM_DAYS);  // the first failure wins
    EXPECT_EQ(codeOf([] { TimeSpan::validated(0, 24, 60, 60); }), TM_HOURS);
}

TEST(TimeSpan, SumsBeyondThirtyTwoBitsSaturate) {
    EXPECT_EQ(TimeSpan(24855, 3, 14, 7).value(), INT32_MAX);
    EXPECT_EQ(TimeSpan(24855, 3, 14, 8).value(), INT32_MAX);
    EXPECT_EQ(TimeSpan(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX).value(), INT32_MAX);
    EXPECT_EQ(TimeSpan(INT32_MIN, 0, 0, 0).value(), INT32_MIN);
    EXPECT_EQ(TimeSpan(-1, 0, 0, 0).value(), -86400);

    TimeSpanParts huge = TimeSpan::parse("P-99999999999999999999D");
    EXPECT_EQ(huge.days, INT32_MAX);  // the digit run saturates
    EXPECT_TRUE(huge.negative);
    EXPECT_EQ(TimeSpan(huge).value(), INT32_MIN);
    TimeSpanParts smallest;
    smallest.seconds = INT32_MIN;
    smallest.negative = true;  // negating the smallest count must not wrap
    EXPECT_EQ(TimeSpan(smallest).value(), INT32_MAX);
}

}  // namespace
}  // namespace Quilna
