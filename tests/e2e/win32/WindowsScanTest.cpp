// hoardscan.exe scans a tree on drive C: with its resources imported by "reg import", and
// hoardscan-collector.exe receives its log records.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "e2e/win32/WindowsInstallation.h"
#include "support/Eventually.h"

namespace Quilna::WindowsEndToEnd {
namespace {

// First with the example installation's rules, then with an accounts file in UTF-8, the log
// rotated at the start and the records reaching the collector.
TEST(WindowsScan, ATreeOnDriveCIsCountedUnderItsOwnNamesWithTheResourcesOfTheKeyThatQuilnaEnvNames) {
    WindowsInstallation installation;
    std::map<std::string, size_t> counted = {
        {"docs/report.doc", 1000},
        {"docs/Mixed Case/Big File.TXT", 70000},
        {"odd, names/a b/c, d;e=f+g[h]{i}~j'k!l@m#n$o%p%s^q&r.txt", 11},
        {"odd, names/EMPTY.DOC", 0},
        {"busy/held.log", 7000},
    };
    for (const auto& [name, size] : counted) installation.file(name, size);
    std::set<std::string> inactive;
    for (const auto& [path, size] : UnicodeTree::files()) {
        installation.file(path, size, 400);
        counted[path] = size;
        inactive.insert(installation.path(path).substr(installation.tree().size() + 1));
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
    uint32_t cluster = 0;
    SystemError error;
    if (!platform().clusterSize("C:", cluster, error) || cluster == 0) cluster = 1;
    for (const auto& [name, size] : counted)
        expected += AccountValues{1, static_cast<double>(size),
                                  static_cast<double>((size + cluster - 1) / cluster * cluster), 0};
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
    const std::string opened = installation.resource("HoardscanLogOpened");
    EXPECT_TRUE(std::regex_match(opened, std::regex("\\d{8}T\\d{6}"))) << opened;

    installation.settings["hoardscan.filetype"] = {"Integer", "3"};
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    // Finished result files past their days go; a young one stays (no process has an odd id).
    installation.settings["hoardscan.keep-results"] = {"Integer", "30"};
    const std::string expired = installation.at("results/Hoardscan-1356998400-4000000001.data");
    const std::string young = installation.at("side/HoardscanExtension-1356998400-4000000001.log");
    WindowsInstallation::place(expired, 10, 31);
    WindowsInstallation::place(young, 10, 29);
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
        const bool accounted = path.starts_with(UnicodeTree::accountedDirectory + "\\");
        EXPECT_EQ(record.key[KeyField::Account], accounted ? UnicodeTree::accountOfDirectory : "other") << path;
    }
    std::set<std::string> expectedNames = {"docs\\scratch.tmp"};
    for (const auto& [name, size] : counted) expectedNames.insert(installation.path(name).substr(below));
    EXPECT_EQ(named, expectedNames) << installation.log();
    EXPECT_TRUE(!fs::exists(expired) && fs::exists(young));
    const std::string said = "Removed the result file " + expired + ": it was last written more than 30 days ago";
    EXPECT_EQ(countOf(installation.log(), said), 1u) << installation.log();
    for (const InactiveRow& row :
         ResultFileReader(platform(), platform(), installation.resultFile("side", "HoardscanInactive", ".csv"))
             .inactiveRows())
        listed.insert(row.directory.substr(below) + row.name);
    EXPECT_EQ(listed, inactive);
    EXPECT_TRUE(std::regex_match(installation.resource("HoardscanLogCounter"), std::regex("[1-9]\\d*")));
    const fs::directory_iterator logs(installation.at("log"));
    EXPECT_TRUE(std::any_of(begin(logs), end(logs), [](const fs::directory_entry& entry) {
        return std::regex_match(entry.path().filename().string(), std::regex("HoardscanDebug_\\d{8}T\\d{6}_0\\.log"));
    }));
}

// The default settings read ahead with helper threads. A fault that shows in one run of three
// at their start or end (a crash as the program ends) shows here: every run must end well.
TEST(WindowsScan, TwentyFourRunsWithHelpersOfATreeOfManyDirectoriesEachEndWellAndCountEveryFile) {
    WindowsInstallation installation;
    size_t files = 0;
    for (int top = 0; top < 8; ++top)
        for (int below = 0; below < 8; ++below)
            for (int file = 0; file < 3; ++file, ++files)
                installation.file(
                    "t" + std::to_string(top) + "/b" + std::to_string(below) + "/f" + std::to_string(file) + ".txt",
                    file);
    for (const auto& [path, size] : UnicodeTree::files()) installation.file(path, size), ++files;
    installation.writeInstallation();
    for (int run = 1; run <= 24; ++run) {
        ASSERT_EQ(installation.run(), 0) << "run " << run << "\n" << installation.log();
        double counted = 0;
        for (const AccountRecord& record : installation.records()) counted += record.values.files;
        ASSERT_EQ(counted, static_cast<double>(files)) << "run " << run;
    }
}

}  // namespace
}  // namespace Quilna::WindowsEndToEnd
