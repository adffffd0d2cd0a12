// The real program on generated trees: the result files hold exactly what the tree holds.
#include <gtest/gtest.h>

#include <set>

#include "RunControl.h"
#include "e2e/UnicodeTree.h"
#include "support/posix/ShortHostName.h"

namespace Quilna::EndToEnd {
namespace {

struct TreeFile {
    std::string path;  // below the tree; "" for the files the rules leave out
    size_t size;
    int64_t accessDays, modifyDays;
    bool nobodys = false, readOnly = false;
};

// Per record: account, owner, type, status, access and modify temperature; files and bytes.
using Expected = std::map<std::string, std::pair<double, double>>;

TEST(ScanResults, TheRecordsAndSideFilesOfAKnownTreeAreExact) {
    if (!runningAsRoot()) GTEST_SKIP() << "files of two owners need root";
    ScanInstallation installation;
    const std::vector<TreeFile> files = {
        {"report.doc", 1000, 1, 1},
        {"more.txt", 24, 1, 1},
        {"Report.DOC", 4097, 20, 100},
        {"notes.txt", 0, 400, 400},
        {"archive.tar.gz", 123456, 100, 400},
        {"readonly.txt", 10, 2, 2, false, true},
        {".profile", 33, 3, 3},
        {"noext", 5, 1, 1},
        {"picture.png", 2000001, 10, 10},
        {"odd.zzz", 7, 1, 1},
        {"users/ann/a.doc", 500, 40, 40, true},
        {"users/ann/sub/b.txt", 600, 1, 1, true},
        {"users/bob/c.xls", 700, 1, 500},
        {"sub:colon/file,comma.txt", 9, 100, 100},
        {"skip/hidden.doc", 11, 1, 1},  // exclude_all
        {"temp.tmp", 12, 1, 1},         // the site's exclude
        {"old.bak", 13, 1, 1},          // a file exclude rule
    };
    for (const TreeFile& file : files) {
        installation.file(file.path, file.size, file.accessDays, file.modifyDays);
        const std::string full = installation.path(file.path);
        if (file.nobodys && ::lchown(full.c_str(), nobody(), static_cast<gid_t>(-1)) != 0) FAIL() << full;
        if (file.readOnly) fs::permissions(full, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    const std::string tree = installation.tree();
    installation.extraRules = "*:*:" + tree + "/skip* exclude_all\n*:*:*.bak exclude\n";
    const std::string userComponent = std::to_string(std::count(tree.begin(), tree.end(), '/') + 3);
    installation.accountsRules = "{\nsite=*\nexclude=*.tmp\nmap\n{\nhosts\n{\nhost=*\nentries\n{\n"
                                 "entry\n{\ndir=" + tree + "/users/*\naccount=%" + userComponent + "%\n}\n"
                                 "entry\n{\ndir=" + tree + "/*\naccount=shared\n}\n}\n}\n}\n}\n";
    installation.fileTypesRules =
        "default=plainfile\ndocuments\n{\ndoc,txt,xls\n}\nimages-$\n{\np?g\n}\narchives\n{\ngz,tar\n}\nhidden\n{\n%hidden\n}\n";
    installation.settings["filetype"] = {"Integer", "1"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    installation.settings["temperature-log"] = {"Bool", "true"};
    installation.settings["temperature-monitor"] = {"String", "cold"};
    installation.settings["temperature-monitor-size"] = {"Integer", "0"};
    installation.settings["extension"] = {"Bool", "true"};
    ASSERT_EQ(installation.run(), 0) << installation.log();

    // All four files, named with the day and the process; nothing left unfinished.
    const std::string stamp = "-" + std::to_string(installation.dayStamp) + "-" + std::to_string(installation.processId);
    EXPECT_EQ(installation.names("results"), (std::vector<std::string>{"Hoardscan" + stamp + ".data"}));
    EXPECT_EQ(installation.names("side"), (std::vector<std::string>{"Hoardscan-cold" + stamp + ".log",
                                                                    "HoardscanExtension" + stamp + ".log",
                                                                    "HoardscanInactive" + stamp + ".csv"}));

    const std::string nobodyName = ::getpwuid(nobody())->pw_name;
    const Expected expected = {
        {"shared root documents plain hot hot", {2, 1024}},
        {"shared root documents plain warm cold", {1, 4097}},
        {"shared root documents plain frozen frozen", {1, 0}},
        {"shared root archives plain cold frozen", {1, 123456}},
        {"shared root documents readonly hot hot", {1, 10}},
        {"shared root hidden hidden hot hot", {1, 33}},
        {"shared root plainfile plain hot hot", {1, 5}},
        {"shared root images-png plain warm warm", {1, 2000001}},
        {"shared root undef plain hot hot", {1, 7}},
        {"ann " + nobodyName + " documents plain cold cold", {1, 500}},
        {"ann " + nobodyName + " documents plain hot hot", {1, 600}},
        {"bob root documents plain hot frozen", {1, 700}},
        {"shared root documents plain cold cold", {1, 9}},
    };
    Expected found;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords()) {
        const RecordKey& key = record.key;
        EXPECT_EQ(key[KeyField::Host], TestSupport::upperShortHostName());
        EXPECT_EQ(key[KeyField::FileSystem], installation.driveOfTree());
        const std::string user = key[KeyField::User];
        EXPECT_EQ(user.rfind("\\\\" + TestSupport::upperShortHostName() + "\\", 0), 0u) << user;
        auto& [count, bytes] = found[key[KeyField::Account] + " " + user.substr(user.rfind('\\') + 1) + " " +
                                     key[KeyField::FileType] + " " + key[KeyField::Status] + " " +
                                     key[KeyField::AccessTemperature] + " " + key[KeyField::ModifyTemperature]];
        count += record.values.files;
        bytes += record.values.bytes;
        EXPECT_GE(record.values.bytesOnDisk, record.values.bytes);
    }
    EXPECT_EQ(found, expected);

    // Inactive rows: the cold and frozen files by their last read, a comma in a name as "_".
    std::set<std::string> rows;
    for (const InactiveRow& row : ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        rows.insert(row.directory.substr(tree.size()) + row.name + " " + row.temperature);
    EXPECT_EQ(rows, (std::set<std::string>{"/notes.txt frozen", "/archive.tar.gz cold", "/users/ann/a.doc cold",
                                           "/sub:colon/file_comma.txt cold"}));
    // The temperature log: the directories of cold files; the extensions the mapping only guessed.
    std::set<std::string> directories;
    for (const TemperatureRow& row : ResultFileReader(installation.resultFile("side", "Hoardscan-cold", ".log")).temperatureRows())
        directories.insert(row.directory.substr(tree.size()));
    EXPECT_EQ(directories, (std::set<std::string>{"/", "/users/ann/", "/sub:colon/"}));
    const std::vector<std::string> extensions =
        ResultFileReader(installation.resultFile("side", "HoardscanExtension", ".log")).extensions();
    EXPECT_EQ(std::set<std::string>(extensions.begin(), extensions.end()), (std::set<std::string>{"zzz", "png"}));
}

// Names in several scripts, an emoji and a path of more than 300 characters: every file is
// counted and listed under its own name, byte for byte, and its owner found (as on Windows).
TEST(ScanResults, NamesInEveryScriptAndLongPathsAreCountedUnderTheirOwnNames) {
    ScanInstallation installation;
    std::set<std::string> expected;
    for (const UnicodeTree::File& file : UnicodeTree::files()) {
        installation.file(file.path, file.size, 400, 400);
        expected.insert(file.path);
    }
    installation.settings["filetype"] = {"Integer", "3"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    installation.accountsRules = UnicodeTree::accountsRules(installation.tree(), '/');
    ASSERT_EQ(installation.run(), 0) << installation.log();

    const size_t below = installation.tree().size() + 1;
    std::map<std::string, double> counted;
    std::set<std::string> inactive;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        counted[path] += record.values.files;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.starts_with(UnicodeTree::accountedDirectory() + "/");
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory() : "other") << path;
    }
    for (const InactiveRow& row : ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        inactive.insert(row.directory.substr(below) + row.name);
    std::map<std::string, double> once;
    for (const std::string& path : expected) once[path] = 1;
    EXPECT_EQ(counted, once);
    EXPECT_EQ(inactive, expected);
}

// Bytes on disk per file as du counts them (allocated blocks, links not followed): sparse files,
// an empty one, links of every length.
TEST(ScanResults, SparseFilesAndLinksTakeTheBytesOnDiskThatDuCounts) {
    ScanInstallation installation;
    installation.file("plain.txt", 5000);
    installation.file("empty.txt", 0);
    auto sparse = [&](const std::string& name, off_t size, std::vector<off_t> written) {
        const int fd = ::open(installation.path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string block(1 << 20, 's');
        for (off_t at : written) EXPECT_EQ(::pwrite(fd, block.data(), block.size(), at), static_cast<ssize_t>(block.size()));
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    };
    sparse("gigabyte-hole.img", off_t{1} << 30, {off_t{512} << 20});
    sparse("two-parts.img", off_t{64} << 20, {0, off_t{40} << 20});
    fs::create_symlink("plain.txt", installation.path("short-link"));
    fs::create_symlink(std::string(200, 'x'), installation.path("long-link"));
    installation.settings["filetype"] = {"Integer", "3"};  // the file name in every record
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();

    std::map<std::string, double> scanned, du;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords())
        scanned[record.key[KeyField::FileType]] += record.values.bytesOnDisk;
    FILE* pipe = ::popen(("cd '" + installation.tree() + "' && du -B1 -- *").c_str(), "r");
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        const std::string text(line);
        du[text.substr(text.find('\t') + 1, text.size() - text.find('\t') - 2)] = std::stod(text);
    }
    if (pipe) ::pclose(pipe);
    ASSERT_EQ(du.size(), 6u);
    EXPECT_EQ(scanned, du);
    EXPECT_LT(scanned["gigabyte-hole.img"], 2 << 20);  // not a gigabyte
}

}  // namespace
}  // namespace Quilna::EndToEnd
