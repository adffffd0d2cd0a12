// Bad input does not stop the scan: unreadable directories and files, names with separators,
// blanks, control characters and bytes that are no UTF-8, result directories that cannot be
// written. Each is reported; a finished ".data" file is never partial (writes that fail: the
// full-disk tests of ScanFaultsTest).
#include <gtest/gtest.h>

#include <set>

#include "RunControl.h"

namespace Quilna::EndToEnd {
namespace {

TEST(ScanBadInput, UnreadableDirectoriesAndOddNamesAreReportedOrCountedAndTheScanGoesOn) {
    if (!runningAsRoot()) GTEST_SKIP() << "the unreadable parts need another user than the one that runs the test";
    ScanInstallation installation;
    installation.file("locked/secret.txt", 100);
    installation.file("unlisted/invisible.txt", 100);
    installation.file("private.txt", 4000, 100, 100);  // its status is readable without opening it
    const std::vector<std::string> oddNames = {"a:b.txt", "c,d.txt", "e f .txt", "g\xff\xfe.txt", "h\x01\n\ti.txt"};
    for (const std::string& name : oddNames) installation.file("odd/" + name, 3, 400, 400);
    installation.file("odd dir:x,y/z.txt", 1, 400, 400);
    const std::vector<std::string> asNobody = installation.giveTo(nobody(), nobodyGroup());
    fs::permissions(installation.path("locked"), fs::perms::owner_all);
    fs::permissions(installation.path("unlisted"), fs::perms::owner_all | fs::perms::others_exec);
    fs::permissions(installation.path("private.txt"), fs::perms::owner_read | fs::perms::owner_write);
    installation.settings["filetype"] = {"Integer", "3"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    ASSERT_EQ(installation.run(asNobody), 0) << installation.log() << installation.output();

    // One record per pair of lines, every field in its place: the reader takes each whole.
    std::set<std::string> files;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords())
        files.insert(record.key[KeyField::FileSystem].substr(installation.tree().size()) + record.key[KeyField::FileType]);
    EXPECT_EQ(files, (std::set<std::string>{"/private.txt", "/odd/a_b.txt", "/odd/c,d.txt", "/odd/e f .txt",
                                            "/odd/g\xff\xfe.txt", "/odd/h___i.txt", "/odd dir_x,y/z.txt"}));
    EXPECT_EQ(installation.logCount("Unable to access \"" + installation.tree() + "/locked\"."), 1u)
        << installation.log();
    EXPECT_EQ(installation.logCount("Unable to list \"" + installation.tree() + "/unlisted/\"."), 1u);

    std::set<std::string> inactive;
    for (const InactiveRow& row : ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        inactive.insert(row.directory.substr(installation.tree().size()) + row.name);
    EXPECT_EQ(inactive, (std::set<std::string>{"/private.txt", "/odd/a:b.txt", "/odd/c_d.txt", "/odd/e f .txt",
                                               "/odd/g\xff\xfe.txt", "/odd/h___i.txt", "/odd dir:x_y/z.txt"}));
}

// A result directory that cannot be written costs one attempt and one line per flush, not per
// record, and the memory of one buffer; the run says so with exit code 3 and on standard error.
TEST(ScanBadInput, UnwritableResultDirectoriesAreTriedOncePerFlushAndEndWithExitCodeThree) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a directory its user cannot write";
    ScanInstallation installation;
    for (int i = 0; i < 100; ++i) installation.file("f" + std::to_string(i) + ".txt", 10, 100, i);
    installation.settings["buffer"] = {"Integer", "10"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    const std::vector<std::string> asNobody = installation.giveTo(nobody(), nobodyGroup());
    ASSERT_EQ(::chown((installation.base() + "/side").c_str(), 0, 0), 0);
    ASSERT_EQ(installation.run(asNobody), 3) << installation.log();
    // 100 inactive rows: a flush at the 10th and at every 10 more, and the final one.
    const std::string table = installation.resultFile("side", "HoardscanInactive", ".csv.make");
    EXPECT_EQ(installation.logCount("CRITICAL"), 11u) << installation.log();
    EXPECT_EQ(installation.logCount("The result file " + table + " cannot be created"), 11u);
    EXPECT_TRUE(installation.names("side").empty());
    // The account record file has a directory of its own and is complete.
    EXPECT_EQ(filesCounted(installation.dataFile()), 100);
    EXPECT_EQ(installation.output(),
              "hoardscan: The scan ran, but these result files could not be written or finished: HoardscanInactive "
              "(could not be created). The log: " + installation.base() + "/log/HoardscanDebug.log\n");
    EXPECT_EQ(installation.logCount("Hoardscan has finished with exit code 3 after"), 1u);
    EXPECT_EQ(installation.logCount("100 files of 1000 bytes"), 1u) << installation.log();
    EXPECT_EQ(installation.logCount("1 of 2 result files finished"), 1u);
}

}  // namespace
}  // namespace Quilna::EndToEnd
