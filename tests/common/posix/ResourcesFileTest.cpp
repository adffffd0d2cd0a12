// Installation resources on POSIX: each registry key is a .reg file below the registry root,
// in the format of Windows registry exports, with the value types an installer may write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/Resources.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

class ResourcesFileTest : public ::testing::Test {
protected:
    ResourcesFileTest() {
        fake.environment["QUILNA_REGISTRY_ROOT"] = root_.string();
        fake.environment["QUILNA_ENV"] = std::nullopt;
        fake.wow64 = false;
    }

    fs::path keyFile(const std::string& relative = "SOFTWARE/Quilna/Resources.reg") const {
        return root_ / "HKEY_LOCAL_MACHINE" / relative;
    }

    // Writes a key file by hand, as an installer would.
    void install(const std::string& values) {
        fs::create_directories(keyFile().parent_path());
        std::ofstream out(keyFile(), std::ios::binary);
        out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources]\r\n"
            << values;
    }

    std::string read(const std::string& name) {
        std::string out = "<unchanged>";
        const int result = readResource(name, out);
        return result == 0 ? out : "<" + std::to_string(result) + ">";
    }

    FakePlatform fake;
    TestSupport::TestDirectory directory_;
    const fs::path root_ = directory_.path();
};

TEST_F(ResourcesFileTest, TypesAndTrailingZeros) {
    install("\"Level\"=dword:00000003\r\n"
            "\"Text\"=\"3\"\r\n"
            "\"Expand\"=hex(2):43,00,3a,00,00,00,00,00,00,00\r\n"
            "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
            "\"Blob\"=hex:01,02\r\n"
            "\"Short\"=hex(4):05\r\n");
    uint32_t number = 99;
    EXPECT_EQ(readResourceDword("Level", number), 0);
    EXPECT_EQ(number, 3u);
    // A dword value of fewer than four bytes keeps nothing of what the variable held before.
    number = 0xFFFFFFFF;
    EXPECT_EQ(readResourceDword("Short", number), 0);
    EXPECT_EQ(number, 5u);
    number = 99;
    EXPECT_EQ(readResourceDword("Text", number), 3);
    EXPECT_EQ(readResourceDword("Absent", number), 2);
    EXPECT_EQ(number, 99u);
    EXPECT_EQ(read("Level"), "<3>");
    EXPECT_EQ(read("Blob"), "<3>");
    EXPECT_EQ(read("Expand"), "C:");
    EXPECT_EQ(read("Multi"), std::string("a\0b", 3)) << "the separators stay";
}

TEST_F(ResourcesFileTest, AKeyPathThatWouldClimbOutOfTheRegistryRootIsRefused) {
    fake.environment["QUILNA_ENV"] = "SOFTWARE\\..\\..\\etc";
    EXPECT_EQ(writeResource("Where", "outside"), 1);
    EXPECT_EQ(read("Where"), "<2>");
    EXPECT_FALSE(fs::exists(root_ / "etc.reg"));
}

}  // namespace
}  // namespace Quilna
