// The native backend's registry slice: values written are read back. On Windows the key
// lives below HKLM\SOFTWARE\Quilna; on POSIX in a .reg file below a temporary root.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

using NativeTest::ScopedEnv;
using NativeTest::TempDir;

// The text of a string value without the zero bytes that end it.
std::string textOf(std::string data) {
    while (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

class NativeRegistry : public ::testing::Test {
protected:
    NativeRegistry() : keyPath_("SOFTWARE\\Quilna\\" + NativeTest::uniqueName("Test")) {
        if (!NativeTest::onWindows()) root_ = std::make_unique<ScopedEnv>("QUILNA_REGISTRY_ROOT", dir_.text());
    }
    const std::string& keyPath() const { return keyPath_; }

private:
    TempDir dir_;
    std::unique_ptr<ScopedEnv> root_;
    std::string keyPath_;
};

TEST_F(NativeRegistry, StringValueRoundTrip) {
    const std::string value = "C:\\Program Files\\Quilna \"quoted\" ${Root}";
    ASSERT_TRUE(platform().writeRegistryString(keyPath(), "ConfigurationDir", value, false));

    uint32_t type = 0;
    std::string data;
    ASSERT_EQ(platform().readRegistry(keyPath(), "ConfigurationDir", false, type, data), 0);
    EXPECT_EQ(type, RegistryType::String);
    EXPECT_EQ(textOf(data), value);

    // A second write replaces the value; other values of the key stay.
    ASSERT_TRUE(platform().writeRegistryString(keyPath(), "Other", "kept", false));
    ASSERT_TRUE(platform().writeRegistryString(keyPath(), "ConfigurationDir", "D:\\conf", false));
    ASSERT_EQ(platform().readRegistry(keyPath(), "ConfigurationDir", false, type, data), 0);
    EXPECT_EQ(textOf(data), "D:\\conf");
    ASSERT_EQ(platform().readRegistry(keyPath(), "Other", false, type, data), 0);
    EXPECT_EQ(textOf(data), "kept");
}

TEST_F(NativeRegistry, LongValuesAndEmptyValuesRoundTrip) {
    // Longer than the first read buffer, so the read has to grow it.
    std::string longValue;
    for (int i = 0; i < 40; ++i) longValue += "segment" + std::to_string(i) + ";";
    ASSERT_TRUE(platform().writeRegistryString(keyPath(), "Long", longValue, false));
    ASSERT_TRUE(platform().writeRegistryString(keyPath(), "Empty", "", false));

    uint32_t type = 0;
    std::string data;
    ASSERT_EQ(platform().readRegistry(keyPath(), "Long", false, type, data), 0);
    EXPECT_EQ(textOf(data), longValue);
    ASSERT_EQ(platform().readRegistry(keyPath(), "Empty", false, type, data), 0);
    EXPECT_EQ(type, RegistryType::String);
    EXPECT_EQ(textOf(data), "");
}

TEST_F(NativeRegistry, MissingKeysAndValuesGiveTwo) {
    uint32_t type = 99;
    std::string data = "unchanged";
    EXPECT_EQ(platform().readRegistry(keyPath() + "\\Absent", "Anything", false, type, data), 2);
    ASSERT_TRUE(platform().writeRegistryString(keyPath(), "Present", "p", false));
    EXPECT_EQ(platform().readRegistry(keyPath(), "Absent", false, type, data), 2);
    EXPECT_EQ(data, "unchanged");
}

}  // namespace
}  // namespace Quilna
