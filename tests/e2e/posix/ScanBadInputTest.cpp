// Bad input does not stop the scan: unreadable directories and files, names with separators,
// blanks, control characters and bytes that are no UTF-8, result directories that cannot be
// written and writes that fail. Each is reported; a finished ".data" file is never partial.
#include <gtest/gtest.h>

#include <set>

#include "ScanInstallation.h"

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

TEST(ScanBadInput, AnUnwritableWorkingDirectoryIsReportedAtEveryFlush) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a directory its user cannot write";
    ScanInstallation installation;
    for (int i = 0; i < 3; ++i) installation.file("f" + std::to_string(i) + ".txt", 10, 1, i * 40);
    installation.settings["buffer"] = {"Integer", "1"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    const std::vector<std::string> asNobody = installation.giveTo(nobody(), nobodyGroup());
    ASSERT_EQ(::chown((installation.base() + "/results").c_str(), 0, 0), 0);
    ASSERT_EQ(installation.run(asNobody), 0) << installation.log();
    // Three records, each a flush of its own, and the final flush: each tries to create the file.
    EXPECT_EQ(installation.logCount("CRITICAL"), 4u) << installation.log();
    EXPECT_EQ(installation.logCount("The result file " + installation.resultFile("results", "Hoardscan", ".make") +
                                    " cannot be created"),
              4u);
    EXPECT_TRUE(installation.names("results").empty());
    // The side files have a directory of their own and are complete.
    EXPECT_TRUE(fs::exists(installation.resultFile("side", "HoardscanInactive", ".csv")));
}

// The account record file is made to end on a full device: every write fails.
TEST(ScanBadInput, AFailedWriteIsReportedAndLeavesNoFinishedFile) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.file("b.doc", 20);
    const std::string results = installation.base() + "/results/";
    const int code = installation.run({}, [&] {
        const std::string name = results + "Hoardscan-" + std::to_string(ResultFiles::dayStamp(DateTime())) + "-" +
                                 std::to_string(::getpid()) + ".make";
        if (::symlink("/dev/full", name.c_str()) != 0) ::_exit(96);
    });
    ASSERT_EQ(code, 0) << installation.log();
    EXPECT_GE(installation.logCount("The result file could not take this record, which stays in memory"), 1u)
        << installation.log();
    EXPECT_EQ(installation.logCount("is incomplete and keeps its unfinished name"), 1u);
    for (const std::string& name : installation.names("results")) EXPECT_EQ(name.find(".data"), std::string::npos);
}

}  // namespace
}  // namespace Quilna::EndToEnd
