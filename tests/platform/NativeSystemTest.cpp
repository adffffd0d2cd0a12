// The native backend's system slice: clock, local time, environment, process, and the
// facts that describe the machine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

TEST(NativeSystem, ClockAndLocalCalendarAgree) {
    const int64_t now = platform().now();
    EXPECT_GT(now, 1577836800) << "after 2020";
    const auto systemNow = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::abs(systemNow - now), 2);

    platform().initTimeZone();
    CalendarTime local;
    ASSERT_TRUE(platform().toLocalCalendar(now, local));
    EXPECT_GE(local.year, 2020);
    EXPECT_GE(local.weekday, 0);
    EXPECT_LE(local.weekday, 6);
    int64_t back = 0;
    ASSERT_TRUE(platform().fromLocalCalendar(local, back));
    EXPECT_EQ(back, now);
}

TEST(NativeSystem, EnvironmentKeepsEmptyValuesApartFromMissingOnes) {
    const std::string name = "QUILNA_" + NativeTest::uniqueName("TEST_");
    std::string value = "untouched";
    EXPECT_FALSE(platform().getEnv(name, value));
    EXPECT_EQ(value, "untouched");

    ASSERT_TRUE(platform().setEnv(name, "some value"));
    ASSERT_TRUE(platform().getEnv(name, value));
    EXPECT_EQ(value, "some value");

    // An empty value is still a set variable (an empty key path is a key path).
    ASSERT_TRUE(platform().setEnv(name, ""));
    ASSERT_TRUE(platform().getEnv(name, value));
    EXPECT_EQ(value, "");

    const std::string longValue(1000, 'v');
    ASSERT_TRUE(platform().setEnv(name, longValue));
    ASSERT_TRUE(platform().getEnv(name, value));
    EXPECT_EQ(value, longValue);

    ASSERT_TRUE(platform().unsetEnv(name));
    EXPECT_FALSE(platform().getEnv(name, value));
}

TEST(NativeSystem, ProcessAndThreadIdentities) {
    EXPECT_NE(platform().processId(), 0u);
    const uint32_t mine = platform().threadId();
    uint32_t other = mine;
    std::thread([&] { other = platform().threadId(); }).join();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(other, mine);
    EXPECT_EQ(platform().threadId(), mine);
}

TEST(NativeSystem, SleepWaitsAtLeastRoughlyAsAsked) {
    const auto start = std::chrono::steady_clock::now();
    platform().sleepMs(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(NativeSystem, ErrorTextsHaveNoLineEnd) {
    // 2: no such file on both systems.
    const std::string text = platform().errorText(2);
    ASSERT_FALSE(text.empty());
    EXPECT_GT(static_cast<unsigned char>(text.back()), 0x20) << text;
    EXPECT_NE(platform().errorText(5), text);
}

TEST(NativeSystem, MachineFactsAreNotEmpty) {
    std::string computer, user;
    ASSERT_TRUE(platform().computerName(computer));
    EXPECT_FALSE(computer.empty());
    EXPECT_EQ(computer.find('.'), std::string::npos) << "the short name";
    ASSERT_TRUE(platform().userName(user));
    EXPECT_FALSE(user.empty());

    const std::set<uint32_t> known{0, 1, 2, 3, 5, 6, 9, 10, 12};
    EXPECT_TRUE(known.count(platform().processorArchitecture())) << platform().processorArchitecture();

    OsVersion version;
    ASSERT_TRUE(platform().osVersion(version));
    EXPECT_TRUE(version.ntFamily);
    EXPECT_TRUE(version.major > 0 || !version.name.empty());

    // The domain and the workgroup may be unset; asking must not fail badly.
    std::string domain, workgroup;
    if (platform().dnsDomain(domain)) {
        EXPECT_EQ(domain.find('\0'), std::string::npos);
    }
    if (platform().workgroup(workgroup)) {
        EXPECT_EQ(workgroup.find('\0'), std::string::npos);
    }
    EXPECT_FALSE(platform().isWow64()) << "a 64-bit build never runs under WOW64";
}

TEST(NativeSystem, DrivesHaveKnownTypesAndClusterSizes) {
    std::vector<std::string> roots;
    SystemError error;
    const bool listed = platform().logicalDrives(roots, error);
    ASSERT_TRUE(listed) << platform().errorText(error.code);
    ASSERT_FALSE(roots.empty());
    bool someFixed = false;
    for (const std::string& root : roots) {
        const int type = platform().driveType(root);
        EXPECT_GE(type, DriveType::Unknown) << root;
        EXPECT_LE(type, DriveType::RamDisk) << root;
        EXPECT_NE(type, DriveType::NoRootDir) << root << " is a root";
        if (type == DriveType::Fixed) {
            someFixed = true;
            uint32_t bytes = 0;
            ASSERT_TRUE(platform().clusterSize(root, bytes, error)) << root << ": " << platform().errorText(error.code);
            EXPECT_GT(bytes, 0u);
            EXPECT_EQ(bytes & (bytes - 1), 0u) << "a power of two: " << bytes;
        }
    }
    EXPECT_TRUE(someFixed);
}

TEST(NativeSystem, CompressedSizeOfAFileCoversItsBytes) {
    NativeTest::TempDir dir;
    const std::string path = dir.write("plain.bin", std::string(10000, 'p'));
    uint64_t bytes = 0;
    SystemError error;
    ASSERT_TRUE(platform().compressedSize(path, bytes, error)) << platform().errorText(error.code);
    // The space a plain file takes (some file systems keep small files unallocated for a
    // moment, so only an upper bound holds everywhere).
    EXPECT_LE(bytes, 1u << 20);
    EXPECT_FALSE(platform().compressedSize(dir.child("absent.bin"), bytes, error));
}

}  // namespace
}  // namespace Quilna
