#include <gtest/gtest.h>

#include <climits>

#include "time/TimeException.h"
#include "time/TimeSpan.h"

namespace Quilna {
namespace {

TEST(TimeSpan, OnlyTheDigitsBeforeEachLetterCountAndSumsSaturate) {
    const std::vector<std::pair<const char*, int32_t>> cases{{"P1D", 86400},
                                                             {"PT2H30M", 9000},
                                                             {"P1DT1S", 86401},
                                                             {"P-2H", -7200},
                                                             {"P15M", 900},
                                                             {"P3W", 0},
                                                             {"", 0},
                                                             {"PT30M2H", 9000},
                                                             {"PT1.5H", 5 * 3600},
                                                             {"PT48H", 48 * 3600},
                                                             {"PT-2H", 7200},
                                                             {"PTD2H", 7200},
                                                             {"P24855DT3H14M8S", INT32_MAX},
                                                             {"P-99999999999999999999D", INT32_MIN}};
    for (const auto& [text, seconds] : cases) EXPECT_EQ(TimeSpan(TimeSpan::parse(text)).value(), seconds) << text;

    EXPECT_EQ(TimeSpan(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX).value(), INT32_MAX);
    EXPECT_EQ(TimeSpan(INT32_MIN, 0, 0, 0).value(), INT32_MIN);
    TimeSpanParts smallest;
    smallest.seconds = INT32_MIN;
    smallest.negative = true;  // negating the smallest count must not wrap
    EXPECT_EQ(TimeSpan(smallest).value(), INT32_MAX);

    for (const std::string text : {"1D", "p1D", " P1D", "T2H"}) {
        try {
            TimeSpan::parse(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const TimeException& e) {
            EXPECT_EQ(e.code(), TM_INPUT);
        }
    }
}

}  // namespace
}  // namespace Quilna
