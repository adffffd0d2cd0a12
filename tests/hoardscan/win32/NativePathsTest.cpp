// The scan's path rules with the Windows backend itself, not a faked path syntax: drive roots,
// backslashes, network paths, rules matched without case, the drive letter as file system.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/ConfReader.h"
#include "files/FileOps.h"
#include "hoardscan/DriveCheck.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"
#include "hoardscan/RulesTestSupport.h"
#include "hoardscan/Tallies.h"
#include "logger/ConfigurationLog.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using RulesTest::TestLog;

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

TEST(NativePaths, RulesAndPathsAreComparedInLowerCase) {
    TestLog log;
    ScanIdentity identity{"PC42", "OSLO"};
    RuleTables tables;
    RulesFiles files{log.unit(), identity, tables};
    RuleDecisions decisions{log.unit(), identity, tables};
    ASSERT_TRUE(files.loadFileSystemsText("@part2\n*:fixed:C:\\Data\\Old* exclude_all\n"
                                          "*:remote:\\\\Server\\Share\\Tmp* exclude_all\n"
                                          "*:*:*.TMP exclude\n*:*:* include\n",
                                          "fs.rules"));
    EXPECT_TRUE(decisions.isExcludedTree("c:\\data\\", "OLD", "fixed"));
    EXPECT_TRUE(decisions.isExcludedTree("C:\\DATA\\", "old stuff", "fixed"));
    EXPECT_FALSE(decisions.isExcludedTree("c:\\data\\", "new", "fixed"));
    EXPECT_TRUE(decisions.isExcludedTree("\\\\server\\share\\", "TMP", "remote"));
    EXPECT_TRUE(decisions.isExcludedTree("d:\\elsewhere\\", "\\\\SERVER\\share\\tmp", "remote"));  // absolute
    EXPECT_FALSE(decisions.isIncludedFile("c:\\data\\", "x.tmp", "fixed"));
    EXPECT_TRUE(decisions.isIncludedFile("c:\\data\\", "x.txt", "fixed"));
}

TEST(NativePaths, TheFileSystemFieldIsTheDriveLetterUnderTheFirstSchemes) {
    TestLog log;
    ConfReader reader{makeSmart<ConfigurationLog>(log.centre())};
    Tallies tallies;
    FileTypes types{log.unit(), reader, tallies};
    FileStatus status;
    status.exists = true;
    status.attributes = FileAttribute::Archive;
    for (int32_t scheme : {FileTypes::Extension, FileTypes::Mapping}) {
        types.setScheme(scheme);
        std::string fileSystem, fileType;
        types.fileFacts("C:\\Users\\ann\\", "Report.doc", "C:\\", status, fileSystem, fileType);
        EXPECT_EQ(fileSystem, "C") << scheme;
        types.fileFacts("\\\\srv\\share\\dir\\", "Report.doc", "\\\\srv\\share\\", status, fileSystem, fileType);
        EXPECT_EQ(fileSystem, "\\\\srv\\share") << scheme;
    }
}

}  // namespace
}  // namespace Quilna
