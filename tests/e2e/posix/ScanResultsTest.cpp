// The real program on generated trees: the result files hold exactly what the tree holds.
#include <gtest/gtest.h>

#include <set>

#include "ScanInstallation.h"
#include "common/FileOps.h"
#include "e2e/UnicodeTree.h"
#include "hoardscan/Hoardscan.h"
#include "hoardscan/Owners.h"

namespace Quilna::EndToEnd {
namespace {

struct TreeFile {
    std::string path;  // below the tree
    size_t size;
    int64_t accessDays;
    int64_t modifyDays;
    uid_t owner = 0;
    bool readOnly = false;
    bool counted = true;
};

const std::vector<TreeFile>& sampleTree() {
    static const std::vector<TreeFile> files = {
        {"report.doc", 1000, 1, 1},
        {"Report.DOC", 4097, 20, 100},
        {"notes.txt", 0, 400, 400},
        {"archive.tar.gz", 123456, 100, 400},
        {"readonly.txt", 10, 2, 2, 0, true},
        {".profile", 33, 3, 3},
        {"noext", 5, 1, 1},
        {"picture.png", (2u << 20) + 1, 10, 10},
        {"odd.zzz", 7, 1, 1},
        {"users/ann/a.doc", 500, 40, 40, nobody()},
        {"users/ann/sub/b.txt", 600, 1, 1, nobody()},
        {"users/bob/c.xls", 700, 1, 500},
        {"sub:colon/file,comma.txt", 9, 100, 100},
        {"skip/hidden.doc", 11, 1, 1, 0, false, false},  // exclude_all
        {"temp.tmp", 12, 1, 1, 0, false, false},         // the site's exclude
        {"old.bak", 13, 1, 1, 0, false, false},          // a file exclude rule
    };
    return files;
}

std::string temperatureOf(int64_t days) {
    if (days <= 7) return "hot";
    if (days <= 30) return "warm";
    if (days <= 365) return "cold";
    return "frozen";
}

std::string extensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string mappedTypeOf(const std::string& name) {
    if (name[0] == '.') return "hidden";  // the attribute item wins
    const std::string extension = StringUtils::lowerCopy(extensionOf(name));
    if (extension.empty()) return "plainfile";
    if (extension == "doc" || extension == "txt" || extension == "xls") return "documents";
    if (extension == "gz" || extension == "tar") return "archives";
    if (extension.size() == 3 && extension[0] == 'p' && extension[2] == 'g') return "images-" + extension;
    return "undef";
}

std::string sanitized(std::string text, char also = ':') {
    for (char& c : text)
        if (c == also || static_cast<unsigned char>(c) < 0x20) c = '_';
    return text;
}

// Installs the sample tree with the rules that give it accounts and exclusions.
void installSample(ScanInstallation& installation) {
    for (const TreeFile& file : sampleTree()) {
        installation.file(file.path, file.size, file.accessDays, file.modifyDays);
        const std::string full = installation.path(file.path);
        ASSERT_EQ(::lchown(full.c_str(), file.owner, file.owner == 0 ? 0 : static_cast<gid_t>(-1)), 0);
        if (file.readOnly) fs::permissions(full, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        ScanInstallation::age(full, file.accessDays, file.modifyDays);
    }
    installation.extraRules = "*:*:" + installation.tree() + "/skip* exclude_all\n*:*:*.bak exclude\n";
    const std::string tree = installation.tree();
    const std::string userComponent = std::to_string(std::count(tree.begin(), tree.end(), '/') + 3);
    installation.accountsRules = "{\nsite=*\nexclude=*.tmp\nmap\n{\nhosts\n{\nhost=*\nentries\n{\n"
                                 "entry\n{\ndir=" + tree + "/users/*\naccount=%" + userComponent + "%\n}\n"
                                 "entry\n{\ndir=" + tree + "/*\naccount=shared\n}\n}\n}\n}\n}\n";
    installation.fileTypesRules =
        "default=plainfile\ndocuments\n{\ndoc,txt,xls\n}\nimages-$\n{\np?g\n}\narchives\n{\ngz,tar\n}\nhidden\n{\n%hidden\n}\n";
    installation.settings["inactive-log"] = {"Bool", "true"};
    installation.settings["temperature-log"] = {"Bool", "true"};
    installation.settings["temperature-monitor"] = {"String", "cold"};
    installation.settings["temperature-monitor-size"] = {"Integer", "0"};
    installation.settings["extension"] = {"Bool", "true"};
}

// What the tree's account records must hold under a scheme, computed from the sample.
std::map<std::string, AccountValues> expectedRecords(const ScanInstallation& installation, int scheme) {
    const std::string host = ScanInstallation::host();
    const uint64_t cluster = ScanInstallation::cluster(installation.tree());
    Owners owners;
    std::map<std::string, AccountValues> expected;
    for (const TreeFile& file : sampleTree()) {
        if (!file.counted) continue;
        const fs::path path(file.path);
        const std::string name = path.filename().string();
        const std::string directory = installation.tree() + "/" + (path.has_parent_path() ? path.parent_path().string() + "/" : "");
        RecordKey key;
        key[KeyField::Site] = ScanInstallation::domain();
        key[KeyField::Host] = host;
        key[KeyField::FileSystem] = scheme == 3 ? sanitized(directory) : installation.driveOfTree();
        key[KeyField::Account] = file.path.rfind("users/", 0) == 0 ? file.path.substr(6, 3) : "shared";
        const struct passwd* owner = ::getpwuid(file.owner);
        const std::string user = "\\\\" + host + "\\" + (owner ? owner->pw_name : "?");
        key[KeyField::User] = user;
        std::string groups;
        for (const std::string& group : owners.localGroupsOf(user)) groups += (groups.empty() ? "" : ",") + group;
        key[KeyField::Group] = groups.empty() ? "UNDEF" : groups;
        key[KeyField::FileType] = scheme == 0 ? extensionOf(name) : scheme == 1 ? mappedTypeOf(name) : sanitized(name);
        key[KeyField::Status] = name[0] == '.' ? "hidden" : file.readOnly ? "readonly" : "plain";
        key[KeyField::AccessTemperature] = temperatureOf(file.accessDays);
        key[KeyField::ModifyTemperature] = temperatureOf(file.modifyDays);
        AccountValues& values = expected[key.text()];
        values.files += 1;
        values.bytes += static_cast<double>(file.size);
        values.bytesOnDisk += static_cast<double>(ScanInstallation::onDisk(file.size, cluster));
    }
    return expected;
}

void expectRecords(const std::map<std::string, AccountValues>& found,
                   const std::map<std::string, AccountValues>& expected) {
    std::set<std::string> foundKeys, expectedKeys;
    for (const auto& entry : found) foundKeys.insert(entry.first);
    for (const auto& entry : expected) expectedKeys.insert(entry.first);
    EXPECT_EQ(foundKeys, expectedKeys);
    for (const auto& [key, values] : expected) {
        auto at = found.find(key);
        if (at == found.end()) continue;
        EXPECT_EQ(at->second.files, values.files) << key;
        EXPECT_EQ(at->second.bytes, values.bytes) << key;
        EXPECT_EQ(at->second.bytesOnDisk, values.bytesOnDisk) << key;
        EXPECT_NEAR(at->second.weightedSize, values.bytes * 0.00001 + values.bytesOnDisk * 0.0001, 1e-6) << key;
    }
}

TEST(ScanResults, TheRecordsOfAKnownTreeAreExactUnderEveryScheme) {
    if (!runningAsRoot()) GTEST_SKIP() << "files of two owners need root";
    for (int scheme : {0, 1, 3}) {
        SCOPED_TRACE("file type scheme " + std::to_string(scheme));
        ScanInstallation installation;
        installSample(installation);
        installation.settings["filetype"] = {"Integer", std::to_string(scheme)};
        ASSERT_EQ(installation.run(), 0) << installation.log();

        // All four files, named with the day and the process; nothing left unfinished.
        const std::string stamp = "-" + std::to_string(installation.dayStamp) + "-" + std::to_string(installation.processId);
        EXPECT_EQ(installation.names("results"), (std::vector<std::string>{"Hoardscan" + stamp + ".data"}));
        EXPECT_EQ(installation.names("side"),
                  (std::vector<std::string>{"Hoardscan-cold" + stamp + ".log", "HoardscanExtension" + stamp + ".log",
                                            "HoardscanInactive" + stamp + ".csv"}));

        ResultFileReader records(installation.dataFile());
        expectRecords(records.accountTotals(), expectedRecords(installation, scheme));

        // Inactive rows: the cold and frozen files by their last read.
        std::set<std::string> rows, expectedRows;
        for (const InactiveRow& row : ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
            rows.insert(row.name + "|" + row.directory + "|" + std::to_string(row.kib) + "|" + row.lastAccess + "|" + row.temperature);
        std::map<std::string, double> coldBytes;
        const uint64_t cluster = ScanInstallation::cluster(installation.tree());
        for (const TreeFile& file : sampleTree()) {
            const std::string temperature = temperatureOf(file.accessDays);
            if (!file.counted || (temperature != "cold" && temperature != "frozen")) continue;
            const fs::path path(file.path);
            const std::string directory = installation.tree() + "/" + (path.has_parent_path() ? path.parent_path().string() + "/" : "");
            struct stat facts {};
            ASSERT_EQ(::lstat(installation.path(file.path).c_str(), &facts), 0);
            const uint64_t onDisk = ScanInstallation::onDisk(file.size, cluster);
            expectedRows.insert(sanitized(path.filename().string(), ',') + "|" + sanitized(directory, ',') + "|" +
                                std::to_string(onDisk / 1024) + "|" +
                                DateTime(static_cast<int32_t>(facts.st_atime)).formatLocal(false, false) + "|" + temperature);
            if (temperature == "cold") coldBytes[directory] += static_cast<double>(onDisk);
        }
        EXPECT_EQ(rows, expectedRows);

        // The temperature log: per directory, the bytes on disk of its cold files.
        std::map<std::string, double> logged;
        for (const TemperatureRow& row : ResultFileReader(installation.resultFile("side", "Hoardscan-cold", ".log")).temperatureRows())
            logged[row.directory] += row.bytes;
        EXPECT_EQ(logged, coldBytes);

        // Extensions the mapping does not name: unknown ones, and those only a pattern matched.
        const std::vector<std::string> extensions =
            ResultFileReader(installation.resultFile("side", "HoardscanExtension", ".log")).extensions();
        EXPECT_EQ(std::set<std::string>(extensions.begin(), extensions.end()),
                  scheme == 1 ? (std::set<std::string>{"zzz", "png"}) : std::set<std::string>{});
    }
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
    std::set<std::string> counted, inactive;
    double files = 0;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        counted.insert(path);
        files += record.values.files;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.rfind(UnicodeTree::accountedDirectory() + "/", 0) == 0;
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory() : "other") << path;
    }
    for (const InactiveRow& row : ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        inactive.insert(row.directory.substr(below) + row.name);
    EXPECT_EQ(files, static_cast<double>(expected.size()));
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(inactive, expected);
}

// Bytes on disk per file as du counts them (du -B1: allocated blocks, links not followed).
std::map<std::string, double> duOfFiles(const std::string& tree) {
    std::map<std::string, double> sizes;
    const std::string command = "cd '" + tree + "' && find . ! -type d -print0 | du -B1 --files0-from=-";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return sizes;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        const size_t tab = text.find('\t');
        if (tab == std::string::npos || text.size() < tab + 4) continue;
        sizes[text.substr(tab + 3, text.size() - tab - 4)] = std::stod(text.substr(0, tab));  // after "./"
    }
    ::pclose(pipe);
    return sizes;
}

TEST(ScanResults, SparseFilesAndLinksTakeTheBytesOnDiskThatDuCounts) {
    ScanInstallation installation;
    installation.file("plain.txt", 5000);
    installation.file("empty.txt", 0);
    auto sparse = [&](const std::string& name, off_t size, std::vector<off_t> written) {
        const int fd = ::open(installation.path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(1 << 20, 's');
        for (off_t at : written) ASSERT_EQ(::pwrite(fd, block.data(), block.size(), at), static_cast<ssize_t>(block.size()));
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    };
    sparse("gigabyte-hole.img", off_t{1} << 30, {off_t{512} << 20});
    sparse("all-hole.img", off_t{1} << 30, {});
    sparse("two-parts.img", off_t{64} << 20, {0, off_t{40} << 20});
    fs::create_symlink("plain.txt", installation.path("short-link"));
    fs::create_symlink(std::string(200, 'x'), installation.path("long-link"));
    fs::create_symlink(installation.path("gigabyte-hole.img"), installation.path("link-to-sparse"));
    installation.settings["filetype"] = {"Integer", "3"};  // the file name in every record
    ASSERT_EQ(installation.run(), 0) << installation.log() << installation.output();

    std::map<std::string, double> scanned;
    for (const AccountRecord& record : ResultFileReader(installation.dataFile()).accountRecords())
        scanned[record.key[KeyField::FileType]] += record.values.bytesOnDisk;
    const std::map<std::string, double> du = duOfFiles(installation.tree());
    ASSERT_EQ(du.size(), 8u);
    EXPECT_EQ(scanned, du);
    EXPECT_LT(scanned["gigabyte-hole.img"], 2 << 20);  // not a gigabyte
}

TEST(ScanResults, ARecordBufferOfOneGivesTheSameSums) {
    std::map<std::string, AccountValues> totals[2];
    uint64_t sizes[2] = {0, 0};
    for (int run = 0; run < 2; ++run) {
        ScanInstallation installation;
        for (int i = 0; i < 40; ++i)
            installation.file("d" + std::to_string(i % 5) + "/f" + std::to_string(i) + (i % 3 ? ".txt" : ".bin"),
                              static_cast<size_t>(i * 997), i * 11, i * 13);
        installation.settings["buffer"] = {"Integer", run == 0 ? "1" : "1000"};
        installation.settings["inactive-log"] = {"Bool", "true"};
        ASSERT_EQ(installation.run(), 0) << installation.log();
        totals[run] = ResultFileReader(installation.dataFile()).accountTotals();
        sizes[run] = fs::file_size(installation.dataFile());
    }
    EXPECT_EQ(totals[0].size(), totals[1].size());
    for (const auto& [key, values] : totals[1]) {
        ASSERT_TRUE(totals[0].count(key)) << key;
        EXPECT_EQ(totals[0][key].files, values.files) << key;
        EXPECT_EQ(totals[0][key].bytes, values.bytes) << key;
        EXPECT_EQ(totals[0][key].bytesOnDisk, values.bytesOnDisk) << key;
    }
    double files = 0;
    for (const auto& entry : totals[0]) files += entry.second.files;
    EXPECT_EQ(files, 40);
    EXPECT_GT(sizes[0], sizes[1]);  // every file flushed on its own: keys repeat
}

TEST(ScanResults, AnEmptyScanStillFinishesAnEmptyRecordFile) {
    ScanInstallation installation;
    fs::create_directories(installation.path("empty/deeper"));
    ASSERT_EQ(installation.run(), 0) << installation.log();
    EXPECT_EQ(installation.names("results"),
              (std::vector<std::string>{fs::path(installation.dataFile()).filename().string()}));
    EXPECT_EQ(fs::file_size(installation.dataFile()), 0u);
    EXPECT_EQ(installation.logCount("Hoardscan has ended."), 1u);
}

// The drive that holds the tree is named by the file systems file and is a drive too: it is
// walked once, so every file is counted once.
TEST(ScanResults, ADriveNamedByTheFileSystemsFileIsWalkedOnce) {
    ScanInstallation installation;
    installation.file("one.txt", 100);
    installation.file("two/two.txt", 200);
    ASSERT_EQ(installation.run(), 0) << installation.log();
    double files = 0;
    for (const auto& entry : ResultFileReader(installation.dataFile()).accountTotals()) files += entry.second.files;
    EXPECT_EQ(files, 2);
}

// In this process: the quit flag (SIGTERM, SIGHUP) is read once the scan is over.
TEST(ScanResults, AQuitSignalOnlyChangesTheClosingLine) {
    ScanInstallation installation;
    installation.file("a.txt", 5);
    installation.file("b/c.txt", 6);
    installation.writeInstallation();
    platform().setEnv("QUILNA_REGISTRY_ROOT", installation.base() + "/registry");
    platform().setEnv("QUILNA_RUNTIME_DIR", installation.base() + "/runtime");
    const std::atomic<bool> quit{true};
    const std::atomic<int> noStop{StopRequest::None};
    {
        // A value holding "-" is quoted, as the entry point does.
        Hoardscan hoardscan("dummy -c \"" + installation.base() + "/conf/hoardscan.conf\"");
        ASSERT_TRUE(hoardscan.init());
        EXPECT_TRUE(hoardscan.run(quit, noStop));
    }
    installation.processId = ::getpid();
    installation.dayStamp = ResultFiles::dayStamp(DateTime());
    EXPECT_EQ(installation.logCount("Got quit signal."), 1u) << installation.log();
    EXPECT_EQ(installation.logCount("Finished processing file systems."), 0u);
    double files = 0;
    for (const auto& entry : ResultFileReader(installation.dataFile()).accountTotals()) files += entry.second.files;
    EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace Quilna::EndToEnd
