// The native backend's system slice: clock and local calendar, environment, identities, the
// machine's facts and drives.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Platform.h"

namespace Quilna {
namespace {

TEST(NativeSystem, ClockLocalCalendarEnvironmentAndIdentities) {
    const int64_t now = platform().now();
    const auto systemNow =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::abs(systemNow - now), 2);
    platform().initTimeZone();
    CalendarTime local;
    ASSERT_TRUE(platform().toLocalCalendar(now, local));
    EXPECT_GE(local.year, 2020);
    int64_t back = 0;
    ASSERT_TRUE(platform().fromLocalCalendar(local, back));
    EXPECT_EQ(back, now);

    // An empty value is still a set variable (an empty key path is a key path).
    const std::string name = "QUILNA_TEST_" + std::to_string(platform().processId());
    std::string value = "untouched";
    EXPECT_FALSE(platform().getEnv(name, value));
    for (const std::string& set : {std::string("some value"), std::string(), std::string(1000, 'v')}) {
        ASSERT_TRUE(platform().setEnv(name, set));
        ASSERT_TRUE(platform().getEnv(name, value));
        EXPECT_EQ(value, set);
    }
    ASSERT_TRUE(platform().unsetEnv(name));
    EXPECT_FALSE(platform().getEnv(name, value));

    EXPECT_NE(platform().processId(), 0u);
    const uint32_t mine = platform().threadId();
    uint32_t other = mine;
    std::thread([&] { other = platform().threadId(); }).join();
    EXPECT_NE(other, mine);
    EXPECT_EQ(platform().threadId(), mine);

    // 2: no such file on both systems.
    const std::string text = platform().errorText(2);
    ASSERT_FALSE(text.empty());
    EXPECT_GT(static_cast<unsigned char>(text.back()), 0x20) << "no line end: " << text;
}

// The sizes of files on disk are seen end to end, against what du counts.
TEST(NativeSystem, MachineFactsAndDrives) {
    std::string computer, user;
    ASSERT_TRUE(platform().computerName(computer) && platform().userName(user));
    EXPECT_EQ(computer.find('.'), std::string::npos) << "the short name";
    EXPECT_FALSE(computer.empty() || user.empty());
    OsVersion version;
    ASSERT_TRUE(platform().osVersion(version));
    EXPECT_TRUE(version.ntFamily);
    std::vector<std::string> roots;
    SystemError error;
    ASSERT_TRUE(platform().logicalDrives(roots, error)) << platform().errorText(error.code);
    for (const std::string& root : roots) {
        EXPECT_NE(platform().driveType(root), DriveType::NoRootDir) << root << " is a root";
        uint32_t bytes = 0;
        if (platform().driveType(root) != DriveType::Fixed) continue;
        ASSERT_TRUE(platform().clusterSize(root, bytes, error)) << root << ": " << platform().errorText(error.code);
        EXPECT_TRUE(bytes > 0 && (bytes & (bytes - 1)) == 0) << "a power of two: " << bytes;
    }
}

}  // namespace
}  // namespace Quilna
