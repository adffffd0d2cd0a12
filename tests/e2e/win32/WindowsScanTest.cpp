// The Windows programs end to end: hoardscan.exe scans a generated tree on drive C: with its
// resources in the registry, and hoardscan-collector.exe receives its log records.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "e2e/UnicodeTree.h"
#include "e2e/win32/WindowsInstallation.h"
#include "support/EnvironmentScope.h"
#include "support/Eventually.h"
#include "support/TestRegistryKey.h"

namespace Quilna::WindowsEndToEnd {
namespace {

// A key below SOFTWARE\Quilna\Tests, named by QUILNA_ENV for the programs and removed afterwards.
class TestKey {
public:
    ~TestKey() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, name.c_str()); }
    const std::string name = TestSupport::uniqueResourceKey();

private:
    TestSupport::EnvironmentScope variable_{"QUILNA_ENV", name};
};

// Punctuation in names, a file held open without sharing, several scripts and a long path: first
// with the example installation's rules, then by name with an accounts file in UTF-8, the log
// rotated at the start and the records reaching the collector over the mailslot.
TEST(WindowsScan, ATreeOnDriveCIsCountedUnderItsOwnNamesWithTheResourcesOfTheKeyThatQuilnaEnvNames) {
    TestKey key;
    WindowsInstallation installation(key.name);
    std::map<std::string, size_t> counted = {
        {"docs/report.doc", 1000},
        {"docs/Mixed Case/Big File.TXT", 70000},
        {"odd, names/a b/c, d;e=f+g[h]{i}~j'k!l@m#n$o%p%s^q&r.txt", 11},
        {"odd, names/EMPTY.DOC", 0},
        {"busy/held.log", 7000},
    };
    for (const auto& [name, size] : counted) installation.file(name, size);
    std::set<std::string> inactive;
    for (const UnicodeTree::File& file : UnicodeTree::files()) {
        installation.file(file.path, file.size, 400);
        counted[file.path] = file.size;
        inactive.insert(installation.path(file.path).substr(installation.tree().size() + 1));
    }
    ASSERT_GT(installation.path(UnicodeTree::longWay()).size(), 300u);
    installation.file("Excluded Here/skip.doc", 500);
    installation.file("docs/scratch.tmp", 300);  // the example accounts file excludes *.tmp
    // Rules compare in lower case, whatever case they and the paths are written in.
    installation.extraRules =
        "*:*:\"" + StringUtils::upperCopy(installation.tree()) + "\\EXCLUDED HERE*\" exclude_all\n";
    installation.writeInstallation();
    HANDLE held = ::CreateFileA(installation.path("busy/held.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const int code = installation.run();
    ::CloseHandle(held);
    ASSERT_EQ(code, 0) << installation.log();

    AccountValues expected, sum;
    for (const auto& [name, size] : counted)
        expected += AccountValues{1, static_cast<double>(size), static_cast<double>(onDisk(size)), 0};
    const std::string account = StringUtils::lowerCopy(StringUtils::split(installation.tree(), '\\').at(2));
    for (const AccountRecord& record : installation.records()) {
        sum += record.values;
        EXPECT_EQ(record.key[KeyField::Host], host());
        EXPECT_EQ(record.key[KeyField::FileSystem], "C") << "the drive letter under file type schemes 0 and 1";
        EXPECT_EQ(StringUtils::lowerCopy(record.key[KeyField::Account]), account);  // the example's third piece
    }
    EXPECT_EQ(sum.files, expected.files) << installation.log();
    EXPECT_EQ(sum.bytes, expected.bytes);
    EXPECT_EQ(sum.bytesOnDisk, expected.bytesOnDisk);
    const std::optional<std::string> opened = installation.resource("HoardscanLogOpened");
    ASSERT_TRUE(opened);
    EXPECT_TRUE(std::regex_match(*opened, std::regex("\\d{8}T\\d{6}"))) << *opened;

    installation.settings["hoardscan.filetype"] = {"Integer", "3"};
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.accountsRules = UnicodeTree::accountsRules(installation.tree(), '\\');
    installation.writeInstallation();
    const std::string output = installation.at("collector.txt"), errors = installation.at("collector-errors.txt");
    TestSupport::ChildProcess collector({TestSupport::ChildProcess::besideThisProgram("hoardscan-collector"), "-o",
                                         output, "-m", installation.at("conf")},
                                        {errors, "", {}, installation.base()});
    ASSERT_TRUE(TestSupport::eventually([&] {
        return readText(errors).find("receiving on mailslot") != std::string::npos;
    })) << readText(errors);
    ASSERT_EQ(installation.run(), 0) << installation.log();
    EXPECT_TRUE(TestSupport::eventually([&] {
        return readText(output).find("NOTICE") != std::string::npos &&
               readText(output).find("Hoardscan has finished with exit code 0") != std::string::npos;
    })) << readText(output)
        << readText(errors);
    const size_t below = installation.tree().size() + 1;
    std::set<std::string> named, listed;
    for (const AccountRecord& record : installation.records()) {
        const std::string path = record.key[KeyField::FileSystem].substr(below) + record.key[KeyField::FileType];
        EXPECT_TRUE(named.insert(path).second && record.values.files == 1) << path;
        EXPECT_NE(record.key[KeyField::User], "UNDEF") << path;
        const bool accounted = path.starts_with(UnicodeTree::accountedDirectory() + "\\");
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory() : "other") << path;
    }
    std::set<std::string> expectedNames = {"docs\\scratch.tmp"};
    for (const auto& [name, size] : counted) expectedNames.insert(installation.path(name).substr(below));
    EXPECT_EQ(named, expectedNames) << installation.log();
    for (const InactiveRow& row :
         ResultFileReader(installation.resultFile("side", "HoardscanInactive", ".csv")).inactiveRows())
        listed.insert(row.directory.substr(below) + row.name);
    EXPECT_EQ(listed, inactive);
    const std::optional<std::string> counter = installation.resource("HoardscanLogCounter");
    ASSERT_TRUE(counter) << installation.log();
    EXPECT_GE(StringUtils::toInt32(*counter), 1);
    bool rotated = false;
    for (const auto& entry : fs::directory_iterator(installation.base() + "\\log"))
        rotated = rotated || std::regex_match(entry.path().filename().string(),
                                              std::regex("HoardscanDebug_\\d{8}T\\d{6}_0\\.log"));
    EXPECT_TRUE(rotated);
}

}  // namespace
}  // namespace Quilna::WindowsEndToEnd
