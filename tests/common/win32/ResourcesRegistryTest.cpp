// Installation resources in the Windows registry: the value types an installer may write, read
// from a key of the test's own below HKEY_LOCAL_MACHINE, which is removed afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Resources.h"
#include "support/FakePlatform.h"
#include "support/TestRegistryKey.h"

namespace Quilna {
namespace {

class ResourcesRegistryTest : public ::testing::Test {
protected:
    ResourcesRegistryTest() { fake.environment["QUILNA_ENV"] = key_; }
    ~ResourcesRegistryTest() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str()); }

    // Stores a value of any type with the system's own call, as an installer would.
    void store(const char* name, DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    std::string read(const std::string& name) {
        std::string out = "<unchanged>";
        const int result = readResource(name, out);
        return result == 0 ? out : "<" + std::to_string(result) + ">";
    }

    FakePlatform fake;
    const std::string key_ = TestSupport::uniqueResourceKey();
};

TEST_F(ResourcesRegistryTest, TypesAndTrailingZeros) {
    const DWORD three = 3;
    store("Level", REG_DWORD, std::string(reinterpret_cast<const char*>(&three), sizeof three));
    store("Text", REG_SZ, std::string("3\0", 2));
    store("Unterminated", REG_SZ, "abc");
    store("Expand", REG_EXPAND_SZ, std::string("C:\0", 3));
    store("Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    store("Blob", REG_BINARY, "\x01\x02");

    uint32_t number = 99;
    EXPECT_EQ(readResourceDword("Level", number), 0);
    EXPECT_EQ(number, 3u);
    number = 99;
    EXPECT_EQ(readResourceDword("Text", number), 3);
    EXPECT_EQ(readResourceDword("Absent", number), 2);
    EXPECT_EQ(number, 99u);
    EXPECT_EQ(read("Level"), "<3>");
    EXPECT_EQ(read("Blob"), "<3>");
    EXPECT_EQ(read("Text"), "3");
    EXPECT_EQ(read("Unterminated"), "abc");
    EXPECT_EQ(read("Expand"), "C:");
    EXPECT_EQ(read("Multi"), std::string("a\0b", 3)) << "the separators stay";
    // Value names compare without case, as the registry compares them.
    EXPECT_EQ(read("TEXT"), "3");
}

}  // namespace
}  // namespace Quilna
