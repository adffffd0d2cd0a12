// Installation resources read from and written to the registry (on POSIX a .reg file below a
// temporary registry root), with ${name} references between them.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "common/Resources.h"
#include "platform/fake/FakePlatform.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

class ResourcesTest : public ::testing::Test {
protected:
    ResourcesTest() {
        static std::atomic<int> counter{0};
        root_ = fs::temp_directory_path() /
                ("quilna-resources-" + std::to_string(platform().processId()) + "-" + std::to_string(counter++));
        fs::remove_all(root_);
        fs::create_directories(root_);
        fake.environment["QUILNA_REGISTRY_ROOT"] = root_.string();
        fake.environment["QUILNA_ENV"] = std::nullopt;
        fake.wow64 = false;
    }
    ~ResourcesTest() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path keyFile(const std::string& relative = "SOFTWARE/Quilna/Resources.reg") const {
        return root_ / "HKEY_LOCAL_MACHINE" / relative;
    }

    // Writes a key file by hand, as an installer would.
    void install(const std::string& values, const std::string& key = "SOFTWARE\\Quilna\\Resources",
                 const std::string& relative = "SOFTWARE/Quilna/Resources.reg") {
        fs::create_directories(keyFile(relative).parent_path());
        std::ofstream out(keyFile(relative), std::ios::binary);
        out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" << key << "]\r\n" << values;
    }

    std::string read(const std::string& name) {
        std::string out = "<unchanged>";
        const int result = readResource(name, out);
        return result == 0 ? out : "<" + std::to_string(result) + ">";
    }

    FakePlatform fake;
    fs::path root_;
};

TEST_F(ResourcesTest, WrittenResourcesReadBackAndReferencesExpand) {
    EXPECT_EQ(read("Root"), "<2>");
    ASSERT_EQ(writeResource("Root", "C:\\Prog"), 0);
    ASSERT_EQ(writeResource("ConfigurationDir", "${Root}\\conf"), 0);
    EXPECT_TRUE(fs::exists(keyFile()));
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

TEST_F(ResourcesTest, TypesAndTrailingZeros) {
    install("\"Level\"=dword:00000003\r\n"
            "\"Text\"=\"3\"\r\n"
            "\"Expand\"=hex(2):43,00,3a,00,00,00,00,00,00,00\r\n"
            "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
            "\"Blob\"=hex:01,02\r\n");
    uint32_t number = 99;
    EXPECT_EQ(readResourceDword("Level", number), 0);
    EXPECT_EQ(number, 3u);
    number = 99;
    EXPECT_EQ(readResourceDword("Text", number), 3);
    EXPECT_EQ(readResourceDword("Absent", number), 2);
    EXPECT_EQ(number, 99u);
    EXPECT_EQ(read("Level"), "<3>");
    EXPECT_EQ(read("Blob"), "<3>");
    EXPECT_EQ(read("Expand"), "C:");
    EXPECT_EQ(read("Multi"), std::string("a\0b", 3)) << "the separators stay";
}

TEST_F(ResourcesTest, KeyPathFromEnvironmentAndWow64) {
    EXPECT_EQ(resourceKeyPath(), "SOFTWARE\\Quilna\\Resources");
    fake.wow64 = true;
    EXPECT_EQ(resourceKeyPath(), "SOFTWARE\\Wow6432Node\\Quilna\\Resources");
    ASSERT_EQ(writeResource("Where", "wow"), 0);
    EXPECT_TRUE(fs::exists(keyFile("SOFTWARE/Wow6432Node/Quilna/Resources.reg")));

    fake.environment["QUILNA_ENV"] = "SOFTWARE\\Quilna\\Test";
    EXPECT_EQ(resourceKeyPath(), "SOFTWARE\\Quilna\\Test");
    EXPECT_EQ(read("Where"), "<2>");
    ASSERT_EQ(writeResource("Where", "test"), 0);
    EXPECT_TRUE(fs::exists(keyFile("SOFTWARE/Quilna/Test.reg")));
    EXPECT_EQ(read("Where"), "test");

    // An empty variable is still a key path, the hive itself.
    fake.environment["QUILNA_ENV"] = "";
    EXPECT_EQ(resourceKeyPath(), "");
    ASSERT_EQ(writeResource("Where", "hive"), 0);
    EXPECT_TRUE(fs::exists(root_ / "HKEY_LOCAL_MACHINE.reg"));

    // A key path that would climb out of the registry root is refused.
    fake.environment["QUILNA_ENV"] = "SOFTWARE\\..\\..\\etc";
    EXPECT_EQ(writeResource("Where", "outside"), 1);
    EXPECT_EQ(read("Where"), "<2>");
}

TEST_F(ResourcesTest, ReferenceLoopsEnd) {
    ASSERT_EQ(writeResource("Self", "x${Self}"), 0);
    // Sixteen levels are followed; the seventeenth reference stays as written.
    EXPECT_EQ(read("Self"), std::string(17, 'x') + "${Self}");

    ASSERT_EQ(writeResource("Ping", "${Pong}"), 0);
    ASSERT_EQ(writeResource("Pong", "${Ping}"), 0);
    EXPECT_EQ(read("Ping"), "${Pong}");

    // A value that doubles at every level ends too, and quickly.
    ASSERT_EQ(writeResource("Twice", "${Twice}${Twice}${Twice}"), 0);
    const std::string twice = read("Twice");
    EXPECT_NE(twice.find("${Twice}"), std::string::npos);

    // A chain deeper than the limit keeps its deepest reference.
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(writeResource("R" + std::to_string(i), "${R" + std::to_string(i + 1) + "}"), 0);
    ASSERT_EQ(writeResource("R20", "end"), 0);
    EXPECT_EQ(read("R0"), "${R17}");
    EXPECT_EQ(read("R3"), "${R20}");
    EXPECT_EQ(read("R4"), "end");
}

TEST_F(ResourcesTest, MalformedKeyFilesReadAsMissingAndAreNotOverwritten) {
    fs::create_directories(keyFile().parent_path());
    {
        std::ofstream out(keyFile(), std::ios::binary);
        out << "this is not a registry export\n\"Root\"=\"x\"\n";
    }
    EXPECT_EQ(read("Root"), "<2>");
    EXPECT_EQ(writeResource("Root", "y"), 1);
    std::ifstream in(keyFile(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "this is not a registry export\n\"Root\"=\"x\"\n");
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
