// Installation resources in the registry (on POSIX .reg files below a temporary root), in a key of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "config/Resources.h"
#include "platform/Registry.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"
#include "support/TestRegistryKey.h"

namespace Quilna {
namespace {

TEST(Resources, ReadBackExpandedBoundedFromTheKeyPathTypesAndTrailingZeros) {
    FakePlatform fake;
    TestSupport::TestDirectory directory;
    const std::string key = TestSupport::uniqueResourceKey();
    fake.environment["QUILNA_REGISTRY_ROOT"] = directory.text();
    fake.environment["QUILNA_ENV"] = key;
    fake.wow64 = false;
    auto read = [&](const std::string& name) {
        std::string out;
        const int result = readResource(fake, fake, name, out);
        return result == 0 ? out : "<" + std::to_string(result) + ">";
    };
    // Name, value written, value read with its references expanded.
    const std::vector<std::tuple<const char*, const char*, std::string>> cases{
        {"Root", "C:\\Prog", "C:\\Prog"},
        {"ConfigurationDir", "${Root}\\conf", "C:\\Prog\\conf"},
        {"Both", "${A}${Root}/${A}", "aC:\\Prog/a"},       // two in a row, the first one shorter than its name
        {"Missing", "x${Nowhere}y${A}", "x${Nowhere}ya"},  // unreadable and broken references stay
        {"Open", "${A}${x", "a${x"},
        {"Bare", "${}", "${}"},
        {"Self", "x${Self}", std::string(17, 'x') + "${Self}"},  // sixteen levels are followed
        {"Ping", "${Pong}", "${Pong}"},
        {"Pong", "${Ping}", "${Ping}"},
        {"A", "a", "a"},
    };
    EXPECT_EQ(read("Root"), "<2>");
    for (const auto& [name, value, expanded] : cases) ASSERT_EQ(writeResource(fake, fake, name, value), 0) << name;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(writeResource(fake, fake, "R" + std::to_string(i), "${R" + std::to_string(i + 1) + "}"), 0);
    ASSERT_EQ(writeResource(fake, fake, "R20", "end"), 0);
    for (const auto& [name, value, expanded] : cases) EXPECT_EQ(read(name), expanded) << name;
    EXPECT_EQ(read("configurationdir"), "C:\\Prog\\conf");
    EXPECT_EQ(read("R0"), "${R17}");  // a chain deeper than the limit keeps its deepest reference
    EXPECT_EQ(read("R4"), "end");
    ASSERT_EQ(writeResource(fake, fake, "Root", "D:"), 0);  // replacing a value keeps the others
    EXPECT_EQ(read("ConfigurationDir"), "D:\\conf");
    EXPECT_EQ(read("A"), "a");
    // Each resource is read once; a value that would grow beyond the bound is refused with its name.
    ASSERT_EQ(writeResource(fake, fake, "A", std::string(kResourceLengthLimit, 'a')), 0);
    std::string many;
    for (int i = 0; i < 4000; ++i) many += "${A}";
    ASSERT_EQ(writeResource(fake, fake, "B", many), 0);
    ASSERT_EQ(writeResource(fake, fake, "C", "${B}"), 0);
    ASSERT_EQ(writeResource(fake, fake, "Empty", ""), 0);
    ASSERT_EQ(writeResource(fake, fake, "One", "${Empty}${A}"), 0);
    ASSERT_EQ(writeResource(fake, fake, "Twice", "${Twice}${Twice}${Twice}"), 0);
    fake.registryReads = 0;
    std::string value = "unchanged", why;
    EXPECT_EQ(readResource(fake, fake, "C", value, &why), ResourceResult::TooLong);
    EXPECT_EQ(value, "unchanged");
    EXPECT_EQ(fake.registryReads, 3u);
    EXPECT_EQ(why, "the resource C is longer than 65536 bytes once its references are expanded (in the value of B)");
    EXPECT_EQ(read("One").size(), kResourceLengthLimit);
    fake.registryReads = 0;
    EXPECT_EQ(read("Twice"), "<4>");
    EXPECT_LE(fake.registryReads, 17u);
    ASSERT_EQ(writeResource(fake, fake, "Raw", std::string(kResourceLengthLimit + 1, 'r')), 0);
    EXPECT_EQ(read("Raw"), "<4>");

    ASSERT_EQ(writeResource(fake, fake, "Where", "here"), 0);  // the key path comes from the environment
    fake.environment["QUILNA_ENV"] = key + "\\Other";
    EXPECT_EQ(read("Where"), "<2>");
#ifndef _WIN32
    fake.environment["QUILNA_ENV"] = "SOFTWARE\\..\\..\\etc";  // a key file may not climb out of the root
    EXPECT_EQ(writeResource(fake, fake, "Where", "outside"), 1);
    EXPECT_EQ(read("Where"), "<2>");
    EXPECT_FALSE(std::filesystem::exists(directory.path() / "etc.reg"));
#endif
    fake.environment["QUILNA_ENV"] = std::nullopt;
    EXPECT_EQ(resourceKeyPath(fake), "SOFTWARE\\Quilna\\Resources");
    fake.wow64 = true;
    EXPECT_EQ(resourceKeyPath(fake), "SOFTWARE\\Wow6432Node\\Quilna\\Resources");
    fake.environment["QUILNA_ENV"] = "";  // an empty variable is still a key path, the hive itself
    EXPECT_EQ(resourceKeyPath(fake), "");

    // Strings of every kind lose their trailing zeros (a list keeps its separators), dwords are numbers only.
    fake.environment["QUILNA_ENV"] = key;
    fake.registryFake = true;
    // Name, type and data stored (type 0: nothing stored), the value read, the dword read and its number.
    const std::vector<std::tuple<const char*, uint32_t, std::string, std::string, int, uint32_t>> types{
        {"Level", RegistryType::Dword, std::string("\x03\0\0\0", 4), "<3>", 0, 3u},
        {"Short", RegistryType::Dword, "\x05", "<3>", 0, 5u},  // a short dword keeps nothing of what was there
        {"Text", RegistryType::String, std::string("3\0", 2), "3", 3, 99u},
        {"Unterminated", RegistryType::String, "abc", "abc", 3, 99u},
        {"Expand", RegistryType::ExpandString, std::string("C:\0", 3), "C:", 3, 99u},
        {"Multi", RegistryType::MultiString, std::string("a\0b\0\0", 5), std::string("a\0b", 3), 3, 99u},
        {"Blob", 3, "\x01\x02", "<3>", 3, 99u},
        {"Absent", 0, "", "<2>", 2, 99u}};
    for (const auto& [name, type, data, text, dwordResult, number] : types) {
        if (type != 0) fake.registry[key + "\\" + name] = {type, data};
        EXPECT_EQ(read(name), text) << name;
        uint32_t dword = name == std::string("Short") ? 0xFFFFFFFF : 99;
        EXPECT_EQ(readResourceDword(fake, fake, name, dword), dwordResult) << name;
        EXPECT_EQ(dword, number) << name;
    }
}

}  // namespace
}  // namespace Quilna
