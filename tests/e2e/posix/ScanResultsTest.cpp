// The real program on a generated tree: every name counted under itself, bytes on disk as du sees them.
#include <gtest/gtest.h>

#include <set>

#include "RunControl.h"
#include "e2e/UnicodeTree.h"

namespace Quilna::EndToEnd {
namespace {

// Names in several scripts, an emoji and a path of more than 300 characters: every file is
// counted and listed under its own name, byte for byte, and its owner found (as on Windows).
// Bytes on disk per file are what du counts (allocated blocks, links not followed): sparse
// files, an empty one, links of every length.
TEST(ScanResults, EveryNameIsCountedUnderItselfWithTheBytesOnDiskThatDuCounts) {
    ScanInstallation installation;
    std::set<std::string> inactive;
    for (const UnicodeTree::File& file : UnicodeTree::files()) {
        installation.file(file.path, file.size, 400, 400);
        inactive.insert(file.path);
    }
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
    fs::create_symlink("empty.txt", installation.path("short-link"));
    fs::create_symlink(std::string(200, 'x'), installation.path("long-link"));
    installation.settings["hoardscan.filetype"] = {"Integer", "3"};  // the file name in every record
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.accountsRules = UnicodeTree::accountsRules(installation.tree(), '/');
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();

    const size_t below = installation.tree().size() + 1;
    std::map<std::string, double> counted, onDisk, du;
    for (const AccountRecord& record : installation.records()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        counted[path] += record.values.files;
        onDisk[path] += record.values.bytesOnDisk;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.starts_with(UnicodeTree::accountedDirectory() + "/");
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory() : "other") << path;
    }
    FILE* pipe = ::popen(("cd '" + installation.tree() + "' && find . ! -type d -exec du -B1 {} +").c_str(), "r");
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        const std::string text(line);
        du[text.substr(text.find('\t') + 3, text.size() - text.find('\t') - 4)] = std::stod(text);
    }
    if (pipe) ::pclose(pipe);
    ASSERT_EQ(du.size(), inactive.size() + 5);
    EXPECT_EQ(onDisk, du);
    EXPECT_LT(onDisk["gigabyte-hole.img"], 2 << 20);  // not a gigabyte
    std::map<std::string, double> once;
    for (const auto& [path, bytes] : du) once[path] = 1;
    EXPECT_EQ(counted, once);
    std::set<std::string> listed;
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        listed.insert(row.directory.substr(below) + row.name);
    EXPECT_EQ(listed, inactive);
}

}  // namespace
}  // namespace Quilna::EndToEnd
