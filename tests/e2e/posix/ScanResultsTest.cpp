// The real program on generated trees: every name counted under itself, bytes on disk as du sees them.
#include <gtest/gtest.h>

#include <set>

#include "RunControl.h"
#include "e2e/UnicodeTree.h"

namespace Quilna::EndToEnd {
namespace {

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
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
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
        for (off_t at : written)
            EXPECT_EQ(::pwrite(fd, block.data(), block.size(), at), static_cast<ssize_t>(block.size()));
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
