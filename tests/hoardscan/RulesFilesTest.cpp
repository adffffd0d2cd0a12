#include <gtest/gtest.h>

#include <tuple>

#include "RulesTestSupport.h"
#include "hoardscan/RulesFiles.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using RulesTest::TestLog;

struct Loader {
    TestLog log;
    ScanIdentity identity{"PC42", "OSLO"};
    RuleTables tables;
    RulesFiles files{log.unit(), identity, tables};
};

TEST(RulesFiles, FileSystemsExampleLoadsIntoRules) {
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    Loader loader;
    ASSERT_TRUE(
        loader.files.loadFileSystemsText("# rules of the office\n"
                                         "@part1\n"
                                         "PC42: D:\\Data   # the archive disk\n"
                                         "pc42 : e:\\\n"
                                         "PC4*: f:\\\n"
                                         "OTHER: g:\\\n"
                                         "@part2\n"
                                         "PC42:fixed:c:\\windows* exclude_all\n"
                                         "*:*:\"C:\\Program Files\\*\" exclude\n"
                                         "pc*:Remote:*.tmp 0\n"
                                         "*:fixed:c:\\users\\* include\n"
                                         "*:cdrom:* 1\n"
                                         "*:fixed:c:\\a:b  exclude\n",
                                         "fs.txt"));
    const RuleTables& tables = loader.tables;
    EXPECT_EQ(tables.drives, (std::vector<std::string>{"d:\\data", "e:\\"}));
    std::vector<std::string> rules;
    for (const FileSystemRule& rule : tables.fileSystems)
        rules.push_back(rule.host + "|" + rule.fileSystem + "|" + rule.path + (rule.include ? "|include" : "") +
                        (rule.excludeAll ? "|all" : ""));
    EXPECT_EQ(rules, (std::vector<std::string>{"PC42|fixed|c:\\windows*|all", "*|*|c:\\program files\\*",
                                               "PC*|remote|*.tmp", "*|fixed|c:\\users\\*|include", "*|cdrom|*|include",
                                               "*|fixed|c:\\a:b"}));  // only the first two colons separate
    EXPECT_EQ(loader.log.debugTexts(),
              (std::vector<std::string>{"Got 2 file system(s) to investigate and 6 to account."}));
    EXPECT_EQ(loader.log.messageCount(), 0u);
    // Drive paths keep their case where paths are case-sensitive.
    fake.syntax = PathSyntax{};
    ASSERT_TRUE(loader.files.loadFileSystemsText("@part1\nPC42: /srv/Data\n", "fs.txt"));
    EXPECT_EQ(loader.tables.drives.back(), "/srv/Data");
}

TEST(RulesFiles, FileSystemsErrorsNameTheLineAndTheFileAndKeepTheRulesBefore) {
    const std::vector<std::tuple<std::string, int, std::string, size_t>> cases = {
        {"# head\n@part1\n\n@part3\n", 11, "@part3|4|fs.txt", 0},
        // Shorter than six characters: a rule line, and before any section.
        {"\n@part\n", 25, "@part1|@part|2|fs.txt", 0},
        {"PC42:fixed:c:\\ include\n", 25, "@part1|PC42:fixed:c:\\ include|1|fs.txt", 0},
        // Without quotes the first blank ends the path and the rest is the keyword.
        {"@part2\n*:fixed:c:\\a\\* 1\n*:fixed:c:\\program files\\* exclude\n", 9, "3|fs.txt", 1},
        {"@part2\n*:fixed:c:\\ Include\n", 9, "2|fs.txt", 0},
        {"@part2\n*:fixed: \"c:\\a b\" include\n", 9, "2|fs.txt", 0},
    };
    for (const auto& [text, id, parameters, rules] : cases) {
        Loader loader;
        EXPECT_FALSE(loader.files.loadFileSystemsText(text, "fs.txt")) << text;
        EXPECT_EQ(loader.log.messages("FATAL", id), (std::vector<std::string>{parameters})) << text;
        EXPECT_EQ(loader.tables.fileSystems.size(), rules) << text;
    }
}

TEST(RulesFiles, RulesFilesAreReadFromDisk) {
    TestSupport::TestDirectory dir;
    Loader loader;
    std::string path = dir.write("fs.txt", "@part1\r\nPC42: /data\r\n@part2\r\n*:*:/tmp* exclude_all");
    ASSERT_TRUE(loader.files.loadFileSystems(path));
    EXPECT_EQ(loader.tables.drives, (std::vector<std::string>{"/data"}));
    ASSERT_EQ(loader.tables.fileSystems.size(), 1u);
    EXPECT_TRUE(loader.tables.fileSystems[0].excludeAll);

    ASSERT_TRUE(loader.files.loadAccounts(dir.write("empty.txt", "")));
    EXPECT_TRUE(loader.tables.sites.empty());

    std::string missing = dir.child("missing.txt");
    EXPECT_FALSE(loader.files.loadFileSystems(missing));
    EXPECT_FALSE(loader.files.loadAccounts(missing));
    EXPECT_EQ(loader.log.messages("FATAL", 8), (std::vector<std::string>{missing, missing}));
}

const char* const accountsExample =
    "{\n site=OSLO\n exclude=*.tmp\n exclude =\n map\n {\n hosts\n {\n host=pc*\n entries\n {\n"
    "  entry\n {\n dir=C:\\Users\\*\n account=%3%\n }\n entry\n {\n dir = c:\\projects\\*\n account = Dept-%2%\n }\n"
    " }\n }\n hosts\n {\n host=SERVER\n }\n }\n}\n{\n site = BERGEN\n site =\n}\n";

TEST(RulesFiles, AccountsExampleLoadsIntoRules) {
    Loader loader;
    ASSERT_TRUE(loader.files.loadAccountsText(accountsExample, "accounts.txt"));
    std::vector<std::string> rules;
    for (const SiteRule& site : loader.tables.sites) {
        std::string text = site.name;
        for (const std::string& exclude : site.excludes) text += " exclude " + exclude;
        for (const HostRule& host : site.hosts) {
            text += " host " + host.name;
            for (const AccountEntry& entry : host.entries) text += " " + entry.dir + "=" + entry.account;
        }
        rules.push_back(text);
    }
    // An empty value leaves the name.
    EXPECT_EQ(rules,
              (std::vector<std::string>{
                  "OSLO exclude *.tmp host PC* c:\\users\\*=%3% c:\\projects\\*=Dept-%2% host SERVER", "BERGEN"}));
    EXPECT_EQ(loader.log.messageCount(), 0u);
}

TEST(RulesFiles, AccountsErrorsNameTheLineAndTheFile) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"{\nsite=A\ncolour=red\n}\n", 11, "colour=red|3|acc.txt"},
        {"{\nmap\n{\nhost=PC\n}\n}\n", 11, "host=PC|4|acc.txt"},
        {"{\nmap\nhosts\nentries\ndir=x\n", 11, "dir=x|5|acc.txt"},
        {"{\nmap\nhosts\nentries\nentry\nuser=x\n", 11, "user=x|6|acc.txt"},
        {"{\nsite=A\n\n# end\n", 10, "4|acc.txt"},
        {"{\nmap\nhosts\nentries\nentry\ndir=x\n}\n}\n", 10, "8|acc.txt"},
    };
    for (const auto& [text, id, parameters] : cases) {
        Loader loader;
        EXPECT_FALSE(loader.files.loadAccountsText(text, "acc.txt")) << text;
        EXPECT_EQ(loader.log.messages("FATAL", id), (std::vector<std::string>{parameters})) << text;
        EXPECT_EQ(loader.log.messageCount(), 1u) << text;
    }
    Loader loader;  // sites before an error stay
    EXPECT_FALSE(loader.files.loadAccountsText("{\nsite=A\n}\n{\nsite=B\n", "acc.txt"));
    EXPECT_EQ(loader.tables.sites.size(), 1u);
}

}  // namespace
}  // namespace Quilna
