#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "hoardscan/Temperatures.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using RulesTest::TestLog;
using Bands = std::vector<std::string>;

constexpr int64_t now = 1700000000;
constexpr int64_t day = 86400;

Bands describe(const std::vector<TemperatureBand>& bands) {
    Bands out;
    for (const TemperatureBand& band : bands)
        out.push_back(band.name + " " + std::to_string(band.minDays) + ".." + std::to_string(band.maxDays));
    return out;
}

class TemperaturesTest : public ::testing::Test {
protected:
    TemperaturesTest() {
        fake.clock = now;
        log.clear();
    }

    // Both temperatures, "access/modify", of a file last read and written the given number of seconds ago.
    std::string of(int64_t accessedAgo, int64_t modifiedAgo) {
        FileStatus status;
        status.exists = true;
        status.accessed = DateTime(static_cast<int32_t>(now - accessedAgo));
        status.modified = DateTime(static_cast<int32_t>(now - modifiedAgo));
        std::string access = "UNKNOWN", modify = "UNKNOWN";
        temperatures.temperaturesOf("f.txt", access, modify, status);
        return access + "/" + modify;
    }

    FakePlatform fake;
    TestLog log;
    Temperatures temperatures{log.unit()};
    TestSupport::TestDirectory dir;
};

// Bands follow each other; a quoted name keeps its blanks, limits and names go without case.
TEST_F(TemperaturesTest, ExampleBandsFollowEachOther) {
    ASSERT_TRUE(temperatures.loadTemperaturesFile(dir.write(
        "temperatures.txt", "# ages in days\nhot 7\n\"very warm\"   30 # a month\n\ncold 365\r\nfrozen INFINITY\n")));
    Bands expected{"hot 0..7", "\"very warm\" 8..30", "cold 31..365", "frozen 366..-1"};
    EXPECT_EQ(describe(temperatures.accessBands()), expected);
    EXPECT_EQ(describe(temperatures.modifyBands()), expected);
    EXPECT_EQ(log.messageCount(), 0u);

    EXPECT_EQ(of(7 * day, 8 * day), "hot/\"very warm\"");
    EXPECT_EQ(of(-5 * day, 30 * day + day - 1), "hot/\"very warm\"");  // age 0 from the future; whole days
    EXPECT_EQ(of(366 * day, 20000 * day), "frozen/frozen");
    EXPECT_EQ(log.debugTexts().back(), "      Accesstemp=frozen, Modifytemp=frozen.");
    EXPECT_EQ(temperatures.bandNamed("COLD")->name, "cold");
    EXPECT_EQ(temperatures.bandNamed("col"), nullptr);
}

TEST_F(TemperaturesTest, BandsThatAreNoNumberOrOutOfOrderAreFatal) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"hot 7\nwarm thirty\n", "a number of days or infinity|thirty|2|t.txt"},
        {"hot -1\n", "a number of days or infinity|-1|1|t.txt"},
        {"hot 7\nwarm 7\n", "more than 7 days|7|2|t.txt"},
        {"hot infinity\nnever 5\n", "no band after one without limit|never 5|2|t.txt"},
    };
    for (const auto& [text, expected] : cases) {
        Temperatures fresh(log.unit());
        log.clear();
        EXPECT_FALSE(fresh.loadTemperaturesText(text, "t.txt")) << text;
        EXPECT_EQ(log.messages("FATAL", 25), (Bands{expected})) << text;
        EXPECT_TRUE(fresh.accessBands().empty()) << text;
    }
}

// Ages beyond the last band keep the value given; a file without status gets the first band.
TEST_F(TemperaturesTest, FilesOutsideTheBandsOrWithoutStatus) {
    ASSERT_TRUE(temperatures.loadTemperaturesText("hot 7\nwarm 30\n", "t.txt"));
    EXPECT_EQ(of(31 * day, 2 * day), "UNKNOWN/hot");
    FileStatus missing;
    std::string access = "UNKNOWN", modify = "UNKNOWN";
    temperatures.temperaturesOf("gone.txt", access, modify, missing);
    EXPECT_EQ(access + "/" + modify, "hot/hot");

    // No bands at all: nothing is classified.
    std::string path = dir.write("empty.txt", "# nothing here\n\n");
    log.clear();
    Temperatures none(log.unit());
    ASSERT_TRUE(none.loadTemperaturesFile(path));
    EXPECT_EQ(log.messages("WARNING", 24), (Bands{path}));
    access = modify = "UNKNOWN";
    none.temperaturesOf("gone.txt", access, modify, missing);
    EXPECT_EQ(access + "/" + modify, "UNKNOWN/UNKNOWN");
    EXPECT_EQ(log.messages("WARNING", 15), (Bands{"gone.txt"}));
}

}  // namespace
}  // namespace Quilna
