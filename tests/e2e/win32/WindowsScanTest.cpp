// The Windows programs end to end: hoardscan.exe scans a generated tree on drive C: with its
// resources in the registry, and hoardscan-collector.exe receives its log records.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <set>
#include <thread>

#include "e2e/UnicodeTree.h"
#include "e2e/win32/WindowsInstallation.h"
#include "support/TestRegistryKey.h"

namespace Quilna::WindowsEndToEnd {
namespace {

using namespace std::chrono_literals;

std::string lower(std::string text) {
    StringUtils::toLower(text);
    return text;
}

std::string hostName() {
    std::string domain, computer, architecture, os;
    getSystemInfo(domain, computer, architecture, os);
    return StringUtils::upperCopy(computer);
}

// The third piece of a path ("C:\users\ann\..." gives "ann"): the account that the example
// accounts file gives the files below a user's directory.
std::string thirdPiece(const std::string& path) {
    const std::vector<std::string> pieces = StringUtils::split(path, '\\');
    return pieces.size() > 2 ? pieces[2] : std::string();
}

template <typename Condition>
bool eventually(Condition condition) {
    for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(50ms))
        if (condition()) return true;
    return condition();
}

// A key below SOFTWARE\Quilna\Tests, named by QUILNA_ENV for the programs and removed afterwards.
class TestKey {
public:
    TestKey() : variable_("QUILNA_ENV", name_) {}
    ~TestKey() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, name_.c_str()); }
    const std::string& name() const { return name_; }

private:
    std::string name_ = TestSupport::uniqueResourceKey();
    ScopedVariable variable_;
};

TEST(WindowsScan, ATreeOnDriveCIsCountedWithTheResourcesOfTheKeyThatQuilnaEnvNames) {
    TestKey key;
    WindowsInstallation installation(key.name());
    const std::map<std::string, size_t> counted = {
        {"docs\\report.doc", 1000},
        {"docs\\notes.txt", 2500},
        {"docs\\Mixed Case\\Big File.TXT", 70000},
        {"odd, names\\a,b c.xls", 10},
        {"odd, names\\EMPTY.DOC", 0},
    };
    for (const auto& [name, size] : counted) installation.file(name, size);
    installation.file("Excluded Here\\skip.doc", 500);
    installation.file("docs\\scratch.tmp", 300);  // the example accounts file excludes *.tmp
    // Rules compare in lower case, whatever case they and the paths are written in.
    installation.extraRules =
        "*:*:\"" + StringUtils::upperCopy(installation.tree()) + "\\EXCLUDED HERE*\" exclude_all\n";
    installation.write();

    ASSERT_EQ(installation.run(), 0) << installation.log();
    const std::vector<AccountRecord> records = installation.records();
    ASSERT_FALSE(records.empty()) << installation.log();
    uint64_t bytes = 0, disk = 0;
    for (const auto& [name, size] : counted) {
        bytes += size;
        disk += onDisk(size);
    }
    const AccountValues sum = totals(records);
    EXPECT_EQ(sum.files, static_cast<double>(counted.size()));
    EXPECT_EQ(sum.bytes, static_cast<double>(bytes));
    EXPECT_EQ(sum.bytesOnDisk, static_cast<double>(disk));
    for (const AccountRecord& record : records) {
        EXPECT_EQ(record.key[KeyField::Host], hostName());
        EXPECT_EQ(record.key[KeyField::FileSystem], "C") << "the drive letter under file type schemes 0 and 1";
        EXPECT_EQ(lower(record.key[KeyField::Account]), lower(thirdPiece(installation.tree())));
    }

    // The log agent keeps the opening time of the log in the key.
    const std::optional<std::string> opened = installation.resource("HoardscanLogOpened");
    ASSERT_TRUE(opened);
    EXPECT_TRUE(std::regex_match(*opened, std::regex("\\d{8}T\\d{6}"))) << *opened;
    EXPECT_NE(installation.log().find("Opened log file"), std::string::npos);

    // A second run finds the log and rotates it at its start: the counter goes to the key.
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const std::optional<std::string> counter = installation.resource("HoardscanLogCounter");
    ASSERT_TRUE(counter) << installation.log();
    EXPECT_GE(StringUtils::toInt32(*counter), 1);
    bool rotated = false;
    for (const auto& entry : fs::directory_iterator(installation.base() + "\\log"))
        rotated = rotated || std::regex_match(entry.path().filename().string(),
                                              std::regex("HoardscanDebug_\\d{8}T\\d{6}_0\\.log"));
    EXPECT_TRUE(rotated);
    EXPECT_EQ(totals(installation.records()).files, static_cast<double>(counted.size()));
}

// The installation's own key, SOFTWARE\Quilna\Resources, is used only in a registry that
// belongs to the test run (tools/ci/windows says so): on a real machine it is the installation's.
TEST(WindowsScan, WithoutQuilnaEnvTheResourcesComeFromTheInstallationsKey) {
    std::string own;
    if (!platform().getEnv("HOARDSCAN_TEST_OWN_REGISTRY", own) || own != "1")
        GTEST_SKIP() << "writes HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources: set HOARDSCAN_TEST_OWN_REGISTRY=1";
    ScopedVariable noKey("QUILNA_ENV", std::nullopt);
    WindowsInstallation installation("SOFTWARE\\Quilna\\Resources");
    installation.file("one.txt", 1234);
    installation.write();
    ASSERT_EQ(installation.run(), 0) << installation.log();
    EXPECT_EQ(totals(installation.records()).bytes, 1234.0);
    EXPECT_TRUE(installation.resource("HoardscanLogOpened"));
}

// What Windows lets a test make of bad input: names with blanks, commas and other punctuation,
// a file another program holds open without sharing, files deleted while the walk runs, a
// directory deeper than the short path forms reach.
TEST(WindowsScan, OddNamesBusyAndVanishingFilesDoNotStopTheScan) {
    TestKey key;
    WindowsInstallation installation(key.name());
    installation.file("a b\\c, d;e=f+g[h]{i}~j'k!l@m#n$o%p%s^q&r.txt", 11);
    installation.file("busy\\held.log", 70000);
    std::string deep = "deep";
    for (int level = 0; level < 8; ++level) deep += "\\directory-level-" + std::to_string(level) + "-with-a-long-name";
    installation.file(deep + "\\leaf.txt", 13);
    const int vanishing = 1500;
    for (int i = 0; i < vanishing; ++i) installation.file("vanishing\\file-" + std::to_string(i) + ".txt", 1);
    installation.write();

    // As a program that opened the file without sharing it.
    HANDLE held = ::CreateFileA(installation.path("busy\\held.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> started{false};
    std::thread deleter([&] {
        while (!started.load()) std::this_thread::sleep_for(1ms);
        for (int i = vanishing - 1; i >= 0; --i)
            ::DeleteFileA(installation.path("vanishing\\file-" + std::to_string(i) + ".txt").c_str());
    });
    int code = -1;
    {
        Process program(quotedArgument(programDirectory() + "\\hoardscan.exe"), installation.base());
        installation.processId = program.id();
        started = true;
        code = program.wait();
    }
    deleter.join();
    ::CloseHandle(held);

    ASSERT_EQ(code, 0) << installation.log();
    const AccountValues sum = totals(installation.records());
    // The odd name and the busy file always, with their sizes; the deep leaf where the system
    // reaches it; of the vanishing files, those the walk met before they went.
    EXPECT_GE(sum.files, 2.0);
    EXPECT_LE(sum.files, 3.0 + vanishing);
    EXPECT_GE(sum.bytes, 11.0 + 70000);
    EXPECT_LE(sum.bytes, 11.0 + 70000 + 13 + vanishing);
    const std::string log = installation.log();
    EXPECT_EQ(log.find("FATAL"), std::string::npos) << log;
}

// Names in several scripts, an emoji and a path of more than 300 characters: every file is
// counted under its own name, written as UTF-8 in the account records and the inactive-file
// table, its owner found, and an accounts file in UTF-8 matches a directory named in Chinese.
TEST(WindowsScan, NamesInEveryScriptAndLongPathsAreCountedUnderTheirOwnNames) {
    TestKey key;
    WindowsInstallation installation(key.name());
    std::set<std::string> expected;
    for (const UnicodeTree::File& file : UnicodeTree::files()) {
        installation.file(file.path, file.size, 400);
        std::string path = file.path;
        std::replace(path.begin(), path.end(), '/', '\\');
        expected.insert(path);
    }
    ASSERT_GT(installation.path(UnicodeTree::longWay()).size(), 300u);
    installation.settings["filetype"] = {"Integer", "3"};
    installation.settings["inactive-log"] = {"Bool", "true"};
    installation.accountsRules = UnicodeTree::accountsRules(installation.tree(), '\\');
    installation.write();

    ASSERT_EQ(installation.run(), 0) << installation.log();
    const size_t below = installation.tree().size() + 1;
    std::set<std::string> counted, inactive;
    double files = 0;
    for (const AccountRecord& record : installation.records()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        counted.insert(path);
        files += record.values.files;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.rfind(UnicodeTree::accountedDirectory() + "\\", 0) == 0;
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory() : "other") << path;
    }
    const std::string table = installation.resultFile(".csv", "side");
    ASSERT_FALSE(table.empty());
    for (const InactiveRow& row : ResultFileReader(table).inactiveRows()) inactive.insert(row.directory.substr(below) + row.name);
    EXPECT_EQ(files, static_cast<double>(expected.size())) << installation.log();
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(inactive, expected);
}

// The mailslot round trip: a warning of the scan reaches the collector's output as a log line.
TEST(WindowsCollector, AWarningOfTheScanReachesTheCollector) {
    TestKey key;
    WindowsInstallation installation(key.name());
    installation.file("deep\\enough.txt", 5);
    // A placeholder beyond the path's depth: one WARNING per file.
    installation.accountsRules =
        "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=*\naccount=%60%\n}\n}\n}\n}\n}\n";
    installation.write();

    const std::string output = installation.base() + "\\collector.txt";
    const std::string errors = installation.base() + "\\collector-errors.txt";
    Process collector(quotedArgument(programDirectory() + "\\hoardscan-collector.exe") + " -o " +
                          quotedArgument(output) + " -m " + quotedArgument(exampleInstallation() + "LogMessages"),
                      installation.base(), errors);
    ASSERT_TRUE(collector.started());
    ASSERT_TRUE(eventually([&] { return readText(errors).find("receiving on mailslot") != std::string::npos; }))
        << readText(errors);

    ASSERT_EQ(installation.run(), 0) << installation.log();
    const std::string expected = "Account placeholder number 60 goes deeper than the path";
    EXPECT_TRUE(eventually([&] { return readText(output).find(expected) != std::string::npos; }))
        << "collector output:\n" << readText(output) << "\ncollector errors:\n" << readText(errors);
    const std::string lines = readText(output);
    EXPECT_NE(lines.find("WARNING"), std::string::npos) << lines;
    EXPECT_NE(lines.find("enough.txt"), std::string::npos) << lines;
    EXPECT_TRUE(collector.running()) << "the collector goes on receiving";
}

}  // namespace
}  // namespace Quilna::WindowsEndToEnd
