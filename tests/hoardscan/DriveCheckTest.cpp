#include <gtest/gtest.h>

#include <optional>

#include "RulesTestSupport.h"
#include "hoardscan/DriveCheck.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

class CountingPlatform : public FakePlatform {
public:
    bool clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) override {
        ++clusterCalls;
        return FakePlatform::clusterSize(root, bytes, error);
    }
    int clusterCalls = 0;
};

FileStatus fileOf(uint64_t size, uint16_t attributes = FileAttribute::Normal) {
    FileStatus status;
    status.exists = true;
    status.size = size;
    status.attributes = attributes;
    status.fullPath = "/data/file";
    return status;
}

int64_t physicalOf(DriveCheck& check, const FileStatus& status, int64_t* logical = nullptr) {
    int64_t l = -1, p = -1;
    check.sizesOf("/data/", "file", l, p, status);
    if (logical) *logical = l;
    return p;
}

// Whole clusters, the status call's allocation, or the compressed size, all in 64 bits.
TEST(DriveCheck, PhysicalSizesByKindOfFile) {
    struct Case {
        uint64_t size;
        uint16_t attributes;
        std::optional<uint64_t> allocated, compressed;
        int64_t physical;
    };
    const uint64_t fiveGiB = 5ull << 30;
    const std::vector<Case> cases = {
        {1, FileAttribute::Normal, {}, {}, 4096},
        {4097, FileAttribute::Normal, {}, {}, 8192},
        {fiveGiB + 1, FileAttribute::Normal, {}, {}, static_cast<int64_t>(fiveGiB + 4096)},
        {fiveGiB, FileAttribute::Sparse, 1 << 20, {}, 1 << 20},
        {30, FileAttribute::Link, 0, {}, 0},
        {10, FileAttribute::Normal, 0, {}, 4096},  // a plain file is still rounded up
        {fiveGiB, FileAttribute::Sparse, {}, 65536, 65536},
        {100ull << 32, FileAttribute::Compressed, {}, (3ull << 32) + 17, static_cast<int64_t>((3ull << 32) + 17)},
    };
    FakePlatform fake;
    fake.clusterSizes["/data/"] = 4096;  // no drive root on POSIX: asked through the directory
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    for (const Case& c : cases) {
        FileStatus status = fileOf(c.size, c.attributes);
        status.hasAllocated = c.allocated.has_value();
        status.allocated = c.allocated.value_or(0);
        fake.compressedSizes["/data/file"] = c.compressed.value_or(65536);
        int64_t logical = 0;
        EXPECT_EQ(physicalOf(check, status, &logical), c.physical) << c.size << " " << c.attributes;
        EXPECT_EQ(logical, static_cast<int64_t>(c.size));
    }
    EXPECT_TRUE(log.messages("WARNING", 16).empty());

    // A compressed size that cannot be read: the logical size stands in.
    fake.compressedSizes["/data/file"] = std::nullopt;
    EXPECT_EQ(physicalOf(check, fileOf(1000, FileAttribute::Compressed)), 1000);
    EXPECT_EQ(log.messages("WARNING", 16), (std::vector<std::string>{"/data/file|5"}));
    FileStatus vanished = fileOf(100);
    vanished.exists = false;
    int64_t logical = -1;
    EXPECT_EQ(physicalOf(check, vanished, &logical), 0);
    EXPECT_EQ(logical, 0);
}

// Asked once per directory or known volume; a failure is reported once and asked again later.
TEST(DriveCheck, TheClusterSizeIsAskedOncePerDirectoryOrVolume) {
    CountingPlatform fake;
    fake.clusterSizes["/data/"] = 4096;
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    check.enterDirectory();
    for (int file = 0; file < 5; ++file) physicalOf(check, fileOf(10));
    EXPECT_EQ(fake.clusterCalls, 1);
    check.enterDirectory(7);
    EXPECT_EQ(physicalOf(check, fileOf(10)), 4096);
    check.enterDirectory(7);
    fake.clusterSizes["/data/"] = 512;  // would be seen if asked again
    EXPECT_EQ(physicalOf(check, fileOf(10)), 4096);
    EXPECT_EQ(fake.clusterCalls, 2);
    check.enterDirectory(8);  // another volume
    EXPECT_EQ(physicalOf(check, fileOf(10)), 512);
    EXPECT_EQ(fake.clusterCalls, 3);

    fake.clusterSizes["/data/"] = std::nullopt;
    check.enterDirectory(9);
    EXPECT_EQ(physicalOf(check, fileOf(10)), 10);  // the logical size stands in
    EXPECT_EQ(physicalOf(check, fileOf(20)), 20);
    check.enterDirectory(9);
    fake.clusterSizes["/data/"] = 4096;
    EXPECT_EQ(physicalOf(check, fileOf(10)), 4096);
    EXPECT_EQ(fake.clusterCalls, 5);
    EXPECT_EQ(log.messages("WARNING", 16), (std::vector<std::string>{"/data/|5"}));
}

TEST(DriveCheck, DriveTypesGiveTheirWordsAndTheRestIsNotInvestigated) {
    FakePlatform fake;
    fake.driveTypes = {{"c/", 4}, {"u/", 0}, {"n/", 1}, {"x/", 9}};
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    std::vector<std::string> words;
    for (const char* root : {"c/", "u/", "n/", "x/"}) words.push_back(check.driveType(root));
    EXPECT_EQ(words, (std::vector<std::string>{"remote", "", "", ""}));
    EXPECT_EQ(log.messages("WARNING", 20), (std::vector<std::string>{"u/"}));
    EXPECT_EQ(log.messages("WARNING", 21), (std::vector<std::string>{"n/"}));
    EXPECT_EQ(log.messages("ERROR", 22), (std::vector<std::string>{"9|x/"}));
}

TEST(DriveCheck, PathRootsExistOnlyWhereDrivesHaveLetters) {
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    EXPECT_EQ(DriveCheck::pathRoot("C:\\dir\\file"), "C:");
    EXPECT_EQ(DriveCheck::pathRoot("\\\\server\\share\\file"), "");
    EXPECT_EQ(DriveCheck::pathRoot("d:\\data\\", "x.doc"), "d:");
    fake.syntax = PathSyntax{};
    EXPECT_EQ(DriveCheck::pathRoot("/data/", "a:b"), "");
}

}  // namespace
}  // namespace Quilna
