// The Windows backend itself gives the path syntax the faked one stands in for elsewhere.
#include <gtest/gtest.h>

#include "files/FileOps.h"
#include "hoardscan/DriveCheck.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(NativePaths, TheSyntaxIsTheWindowsOne) {
    const PathSyntax& syntax = platform().pathSyntax();
    EXPECT_EQ(syntax.separator, '\\');
    EXPECT_TRUE(syntax.backslashIsSeparator);
    EXPECT_TRUE(syntax.driveLetters);
    EXPECT_TRUE(syntax.networkPaths);
    EXPECT_TRUE(syntax.caseInsensitive);
}

TEST(NativePaths, ThePathRootIsTheDriveLetterAndItsColon) {
    EXPECT_EQ(DriveCheck::pathRoot("C:\\dir\\file"), "C:");
    EXPECT_EQ(DriveCheck::pathRoot("d:/dir/file"), "d:");
    EXPECT_EQ(DriveCheck::pathRoot("\\\\server\\share\\file"), "");
    EXPECT_EQ(DriveCheck::pathRoot("C:\\dir\\", "file.txt"), "C:");

    // The cluster size of the drive of a real directory, asked by that root.
    TestSupport::TestDirectory dir;
    const std::string root = DriveCheck::pathRoot(dir.text() + "\\", "f");
    ASSERT_EQ(root.size(), 2u);
    uint32_t bytes = 0;
    SystemError error;
    EXPECT_TRUE(platform().clusterSize(root, bytes, error)) << error.code;
    EXPECT_GT(bytes, 0u);
}

}  // namespace
}  // namespace Quilna
