// Installation resources read from and written to the registry (on POSIX a .reg file below a
// temporary registry root), with ${name} references between them. Each test has a key of its
// own; what the key looks like on disk is a POSIX test.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "common/Resources.h"
#include "support/FakePlatform.h"
#include "support/TestRegistryKey.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

class ResourcesTest : public ::testing::Test {
protected:
    ResourcesTest() {
        fake.environment["QUILNA_REGISTRY_ROOT"] = root_.string();
        fake.environment["QUILNA_ENV"] = key_;
        fake.wow64 = false;
    }

    std::string read(const std::string& name) {
        std::string out = "<unchanged>";
        const int result = readResource(name, out);
        return result == 0 ? out : "<" + std::to_string(result) + ">";
    }

    FakePlatform fake;
    TestSupport::TestDirectory directory_;
    const fs::path root_ = directory_.path();
    const std::string key_ = TestSupport::uniqueResourceKey();
};

TEST_F(ResourcesTest, WrittenResourcesReadBackAndReferencesExpand) {
    EXPECT_EQ(read("Root"), "<2>");
    ASSERT_EQ(writeResource("Root", "C:\\Prog"), 0);
    ASSERT_EQ(writeResource("ConfigurationDir", "${Root}\\conf"), 0);
    EXPECT_EQ(read("ConfigurationDir"), "C:\\Prog\\conf");
    EXPECT_EQ(read("configurationdir"), "C:\\Prog\\conf");

    // Two references in a row, the first one shorter than its name.
    ASSERT_EQ(writeResource("A", "a"), 0);
    ASSERT_EQ(writeResource("Both", "${A}${Root}/${A}"), 0);
    EXPECT_EQ(read("Both"), "aC:\\Prog/a");

    // A reference that cannot be read stays; an unclosed one and one without a name too.
    ASSERT_EQ(writeResource("Missing", "x${Nowhere}y${A}"), 0);
    EXPECT_EQ(read("Missing"), "x${Nowhere}ya");
    ASSERT_EQ(writeResource("Open", "${A}${x"), 0);
    EXPECT_EQ(read("Open"), "a${x");
    ASSERT_EQ(writeResource("Bare", "${}"), 0);
    EXPECT_EQ(read("Bare"), "${}");

    // Replacing a value keeps the others.
    ASSERT_EQ(writeResource("Root", "D:"), 0);
    EXPECT_EQ(read("ConfigurationDir"), "D:\\conf");
    EXPECT_EQ(read("A"), "a");
}

TEST_F(ResourcesTest, KeyPathFromEnvironmentAndWow64) {
    EXPECT_EQ(resourceKeyPath(), key_);
    fake.environment["QUILNA_ENV"] = std::nullopt;
    EXPECT_EQ(resourceKeyPath(), "SOFTWARE\\Quilna\\Resources");
    fake.wow64 = true;
    EXPECT_EQ(resourceKeyPath(), "SOFTWARE\\Wow6432Node\\Quilna\\Resources");
    // An empty variable is still a key path, the hive itself.
    fake.environment["QUILNA_ENV"] = "";
    EXPECT_EQ(resourceKeyPath(), "");

    // Another key holds other values.
    fake.environment["QUILNA_ENV"] = key_;
    ASSERT_EQ(writeResource("Where", "here"), 0);
    fake.environment["QUILNA_ENV"] = key_ + "\\Other";
    EXPECT_EQ(read("Where"), "<2>");
    ASSERT_EQ(writeResource("Where", "there"), 0);
    EXPECT_EQ(read("Where"), "there");
    fake.environment["QUILNA_ENV"] = key_;
    EXPECT_EQ(read("Where"), "here");
}

TEST_F(ResourcesTest, ReferenceLoopsEnd) {
    ASSERT_EQ(writeResource("Self", "x${Self}"), 0);
    // Sixteen levels are followed; the seventeenth reference stays as written.
    EXPECT_EQ(read("Self"), std::string(17, 'x') + "${Self}");

    ASSERT_EQ(writeResource("Ping", "${Pong}"), 0);
    ASSERT_EQ(writeResource("Pong", "${Ping}"), 0);
    EXPECT_EQ(read("Ping"), "${Pong}");

    // A value that triples at every level ends too, and quickly: too long.
    ASSERT_EQ(writeResource("Twice", "${Twice}${Twice}${Twice}"), 0);
    fake.registryReads = 0;
    EXPECT_EQ(read("Twice"), "<4>");
    EXPECT_LE(fake.registryReads, 17u);

    // A chain deeper than the limit keeps its deepest reference.
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(writeResource("R" + std::to_string(i), "${R" + std::to_string(i + 1) + "}"), 0);
    ASSERT_EQ(writeResource("R20", "end"), 0);
    EXPECT_EQ(read("R0"), "${R17}");
    EXPECT_EQ(read("R3"), "${R20}");
    EXPECT_EQ(read("R4"), "end");
}

// One large value referred to thousands of times: each resource is read once, and the value
// that would grow beyond the bound is refused with its name.
TEST_F(ResourcesTest, ExpansionsAreBoundedInLengthAndReads) {
    ASSERT_EQ(writeResource("A", std::string(kResourceLengthLimit, 'a')), 0);
    std::string many;
    for (int i = 0; i < 4000; ++i) many += "${A}";
    ASSERT_EQ(writeResource("B", many), 0);
    ASSERT_EQ(writeResource("C", "${B}"), 0);
    ASSERT_EQ(writeResource("One", "${A}"), 0);
    fake.registryReads = 0;
    std::string value = "unchanged", why;
    EXPECT_EQ(readResource("C", value, &why), ResourceResult::TooLong);
    EXPECT_EQ(value, "unchanged");
    EXPECT_EQ(fake.registryReads, 3u);
    EXPECT_EQ(why, "the resource C is longer than 65536 bytes once its references are expanded (in the value of B)");
    EXPECT_EQ(read("One").size(), kResourceLengthLimit);
    ASSERT_EQ(writeResource("Raw", std::string(kResourceLengthLimit + 1, 'r')), 0);
    EXPECT_EQ(read("Raw"), "<4>");
}

TEST_F(ResourcesTest, ConcurrentWritersLoseNoValue) {
    // Each writer locks the key's file on its own, as separate processes do.
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([w] {
            for (int i = 0; i < 10; ++i) writeResource("W" + std::to_string(w) + "_" + std::to_string(i), std::to_string(i));
        });
    for (std::thread& writer : writers) writer.join();
    for (int w = 0; w < 3; ++w)
        for (int i = 0; i < 10; ++i) EXPECT_EQ(read("W" + std::to_string(w) + "_" + std::to_string(i)), std::to_string(i));
}

TEST_F(ResourcesTest, EnvironmentVariables) {
    fake.environment["QUILNA_SOME"] = "";
    std::string value = "unchanged";
    EXPECT_TRUE(getEnv("QUILNA_SOME", value));
    EXPECT_EQ(value, "");
    fake.environment["QUILNA_SOME"] = std::nullopt;
    value = "unchanged";
    EXPECT_FALSE(getEnv("QUILNA_SOME", value));
    EXPECT_EQ(value, "unchanged");
}

}  // namespace
}  // namespace Quilna
