#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "hoardscan/DriveCheck.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

// Counts the cluster size questions.
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

TEST(DriveCheck, PhysicalSizeIsTheSizeRoundedUpToWholeClustersIn64Bits) {
    CountingPlatform fake;
    fake.clusterSizes["/data/"] = 4096;  // no drive root on POSIX: asked through the directory
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    int64_t logical = 0;
    EXPECT_EQ(physicalOf(check, fileOf(1), &logical), 4096);
    EXPECT_EQ(logical, 1);
    EXPECT_EQ(physicalOf(check, fileOf(0)), 0);
    EXPECT_EQ(physicalOf(check, fileOf(4096)), 4096);
    EXPECT_EQ(physicalOf(check, fileOf(4097)), 8192);
    const uint64_t fiveGiB = 5ull << 30;
    EXPECT_EQ(physicalOf(check, fileOf(fiveGiB + 1), &logical), static_cast<int64_t>(fiveGiB + 4096));
    EXPECT_EQ(logical, static_cast<int64_t>(fiveGiB + 1));

    FileStatus vanished = fileOf(100);
    vanished.exists = false;
    EXPECT_EQ(physicalOf(check, vanished, &logical), 0);
    EXPECT_EQ(logical, 0);
}

TEST(DriveCheck, TheClusterSizeIsAskedOncePerDirectoryAndAFailureReportedOnce) {
    CountingPlatform fake;
    fake.clusterSizes["/data/"] = 4096;
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    check.enterDirectory();
    for (int file = 0; file < 5; ++file) physicalOf(check, fileOf(10));
    EXPECT_EQ(fake.clusterCalls, 1);
    check.enterDirectory();
    physicalOf(check, fileOf(10));
    EXPECT_EQ(fake.clusterCalls, 2);

    fake.clusterSizes["/data/"] = std::nullopt;
    check.enterDirectory();
    int64_t logical = 0;
    EXPECT_EQ(physicalOf(check, fileOf(10), &logical), 10);  // the logical size stands in
    EXPECT_EQ(physicalOf(check, fileOf(20)), 20);
    EXPECT_EQ(log.messages("WARNING", 16), (std::vector<std::string>{"/data/|5"}));
}

TEST(DriveCheck, DirectoriesOfOneVolumeShareTheClusterSizeButAFailureIsAskedAgain) {
    CountingPlatform fake;
    fake.clusterSizes["/data/"] = 4096;
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    check.enterDirectory(7);
    EXPECT_EQ(physicalOf(check, fileOf(10)), 4096);
    check.enterDirectory(7);
    fake.clusterSizes["/data/"] = 512;  // would be seen if asked again
    EXPECT_EQ(physicalOf(check, fileOf(10)), 4096);
    EXPECT_EQ(fake.clusterCalls, 1);
    check.enterDirectory(8);  // another volume
    EXPECT_EQ(physicalOf(check, fileOf(10)), 512);
    check.enterDirectory();  // a volume not known
    physicalOf(check, fileOf(10));
    check.enterDirectory(8);
    physicalOf(check, fileOf(10));
    EXPECT_EQ(fake.clusterCalls, 4);

    fake.clusterSizes["/data/"] = std::nullopt;
    check.enterDirectory(9);
    EXPECT_EQ(physicalOf(check, fileOf(10)), 10);
    check.enterDirectory(9);
    fake.clusterSizes["/data/"] = 4096;
    EXPECT_EQ(physicalOf(check, fileOf(10)), 4096);
    EXPECT_EQ(fake.clusterCalls, 6);
    EXPECT_EQ(log.messages("WARNING", 16), (std::vector<std::string>{"/data/|5"}));
}

TEST(DriveCheck, SparseFilesAndLinksTakeTheirAllocatedBytes) {
    FakePlatform fake;
    fake.clusterSizes["/data/"] = 4096;
    fake.compressedSizes["/data/file"] = 65536;
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    auto allocated = [](FileStatus status, uint64_t bytes) {
        status.hasAllocated = true;
        status.allocated = bytes;
        return status;
    };
    const uint64_t oneGiB = 1ull << 30;
    // POSIX: the status call's allocation; a plain file is still rounded up.
    EXPECT_EQ(physicalOf(check, allocated(fileOf(oneGiB, FileAttribute::Sparse), 1 << 20)), 1 << 20);
    EXPECT_EQ(physicalOf(check, allocated(fileOf(30, FileAttribute::Link), 0)), 0);
    EXPECT_EQ(physicalOf(check, allocated(fileOf(5000, FileAttribute::Link), 4096)), 4096);
    EXPECT_EQ(physicalOf(check, allocated(fileOf(10), 0)), 4096);
    // Windows: the compressed-size query for a sparse file; a link without allocation is rounded.
    EXPECT_EQ(physicalOf(check, fileOf(oneGiB, FileAttribute::Sparse)), 65536);
    EXPECT_EQ(physicalOf(check, fileOf(10, FileAttribute::Link)), 4096);
    EXPECT_TRUE(log.messages("WARNING", 16).empty());
}

TEST(DriveCheck, ACompressedFileTakesItsCompressedSizeHighPartIncluded) {
    FakePlatform fake;
    fake.clusterSizes["/data/"] = 4096;
    const uint64_t compressed = (3ull << 32) + 17;
    fake.compressedSizes["/data/file"] = compressed;
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    EXPECT_EQ(physicalOf(check, fileOf(100ull << 32, FileAttribute::Compressed)), static_cast<int64_t>(compressed));

    fake.compressedSizes["/data/file"] = std::nullopt;
    int64_t logical = 0;
    EXPECT_EQ(physicalOf(check, fileOf(1000, FileAttribute::Compressed), &logical), 1000);
    EXPECT_EQ(log.messages("WARNING", 16), (std::vector<std::string>{"/data/file|5"}));
}

TEST(DriveCheck, DriveTypesGiveTheirWordsAndTheRestIsNotInvestigated) {
    FakePlatform fake;
    fake.driveTypes = {{"a/", 2}, {"b/", 3}, {"c/", 4}, {"d/", 5}, {"e/", 6}, {"u/", 0}, {"n/", 1}, {"x/", 9}};
    RulesTest::TestLog log;
    DriveCheck check(log.unit());
    EXPECT_EQ(check.driveType("a/"), "removable");
    EXPECT_EQ(check.driveType("b/"), "fixed");
    EXPECT_EQ(check.driveType("c/"), "remote");
    EXPECT_EQ(check.driveType("d/"), "cdrom");
    EXPECT_EQ(check.driveType("e/"), "ramdisk");
    EXPECT_EQ(check.driveType("u/"), "");
    EXPECT_EQ(check.driveType("n/"), "");
    EXPECT_EQ(check.driveType("x/"), "");
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
    EXPECT_EQ(DriveCheck::pathRoot("/data/a:b/file"), "");
    EXPECT_EQ(DriveCheck::pathRoot("/data/", "a:b"), "");
}

}  // namespace
}  // namespace Quilna
