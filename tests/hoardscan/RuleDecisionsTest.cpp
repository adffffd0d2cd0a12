#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using RulesTest::TestLog;

// Decisions on Windows paths, with rules loaded from the texts of the rules files.
struct Decider {
    explicit Decider(bool windows = true) {
        fake.syntax = windows ? FakePlatform::windowsSyntax() : PathSyntax{};
    }
    void fileSystems(const std::string& text) {
        ASSERT_TRUE(files.loadFileSystemsText(text, "fs.txt"));
        log.clear();
    }
    void accounts(const std::string& text) {
        ASSERT_TRUE(files.loadAccountsText(text, "acc.txt"));
        log.clear();
    }
    // One site block of the accounts file with one host and its entries.
    static std::string site(const std::string& site, const std::string& host, const std::string& entries,
                            const std::string& excludes = "") {
        return "{\nsite=" + site + "\n" + excludes + "map\nhosts\nhost=" + host + "\nentries\n" + entries + "}\n}\n}\n}\n";
    }
    static std::string entry(const std::string& dir, const std::string& account) {
        return "entry\ndir=" + dir + "\naccount=" + account + "\n}\n";
    }
    std::string account(const std::string& directory, const std::string& name, bool* accounted = nullptr) {
        std::string account = "-", site = "-";
        bool result = decisions.accountOf(directory, name, account, site);
        if (accounted) *accounted = result;
        if (!result) return "(not accounted)";
        EXPECT_EQ(site, identity.domain);
        return account;
    }

    FakePlatform fake;
    TestLog log;
    ScanIdentity identity{"PC42", "OSLO"};
    RuleTables tables;
    RulesFiles files{log.unit(), identity, tables};
    RuleDecisions decisions{log.unit(), identity, tables};
};

TEST(RuleDecisions, ExcludeAllCoversTheDirectoryAndEverythingBelow) {
    Decider d;
    d.fileSystems("@part2\nPC42:fixed:c:\\windows* exclude_all\n");
    EXPECT_FALSE(d.decisions.isExcludedTree("", "C:\\", "fixed"));
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\", "Windows", "fixed"));
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\windows\\", "System32", "fixed"));
    EXPECT_TRUE(d.decisions.isExcludedTree("d:\\elsewhere\\", "C:\\WINDOWS", "fixed"));  // absolute: no parent
    EXPECT_FALSE(d.decisions.isExcludedTree("c:\\", "Windows", "remote"));
    EXPECT_FALSE(d.decisions.isExcludedTree("c:\\", "users", "fixed"));
    EXPECT_EQ(d.log.debugTexts(), (std::vector<std::string>{
                                      "   System \"c:\\windows\" was excluded because of \"PC42:fixed:c:\\windows* exclude_all\".",
                                      "   System \"c:\\windows\\system32\" was excluded because of \"PC42:fixed:c:\\windows* exclude_all\".",
                                      "   System \"c:\\windows\" was excluded because of \"PC42:fixed:c:\\windows* exclude_all\"."}));
}

TEST(RuleDecisions, NetworkPathsAreAbsoluteOnWindows) {
    Decider d;
    d.fileSystems("@part2\n*:remote:\\\\server\\share* exclude_all\n");
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\somewhere\\", "\\\\Server\\Share", "remote"));
    EXPECT_FALSE(d.decisions.isExcludedTree("c:\\somewhere\\", "share", "remote"));
}

TEST(RuleDecisions, PosixPathsAreAbsoluteWithALeadingSlash) {
    Decider d(false);
    d.fileSystems("@part2\n*:fixed:/proc* exclude_all\n*:fixed:/home/ann/tmp* exclude_all\n");
    EXPECT_FALSE(d.decisions.isExcludedTree("/home/ann/", "/", "fixed"));
    EXPECT_TRUE(d.decisions.isExcludedTree("/home/ann/", "/proc", "fixed"));
    EXPECT_TRUE(d.decisions.isExcludedTree("/home/ann/", "tmp", "fixed"));
    EXPECT_FALSE(d.decisions.isExcludedTree("/home/bob/", "tmp", "fixed"));
    // No drive letters on POSIX: "c:\" is an ordinary relative name.
    EXPECT_FALSE(d.decisions.isExcludedTree("/home/ann/", "c:\\proc", "fixed"));
}

TEST(RuleDecisions, TheFirstMatchingRuleDecides) {
    Decider d;
    d.fileSystems("@part2\n"
                  "*:fixed:c:\\data\\keep* include\n"
                  "*:fixed:c:\\data* exclude_all\n"
                  "*:fixed:*.tmp exclude\n"
                  "OTHER:*:* exclude\n");
    EXPECT_FALSE(d.decisions.isExcludedTree("c:\\", "data\\keep", "fixed"));
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\", "data", "fixed"));
    EXPECT_TRUE(d.decisions.isIncludedFile("c:\\data\\", "keep.tmp", "fixed"));
    EXPECT_FALSE(d.decisions.isIncludedFile("c:\\data\\", "other.doc", "fixed"));  // exclude_all excludes too
    EXPECT_FALSE(d.decisions.isIncludedFile("c:\\", "A.TMP", "fixed"));
    EXPECT_TRUE(d.decisions.isIncludedFile("c:\\", "a.doc", "fixed"));
    EXPECT_TRUE(d.decisions.isIncludedFile("c:\\", "a.tmp", "remote"));  // no rule: included
    auto texts = d.log.debugTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1], "   File \"c:\\data\\other.doc\" was excluded because of \"*:fixed:c:\\data* exclude\".");
    EXPECT_EQ(texts[2], "   File \"c:\\a.tmp\" was excluded because of \"*:fixed:*.tmp exclude\".");
}

TEST(RuleDecisions, OnlyTheStarPatternMatchesAnEmptyFileSystemName) {
    Decider d;
    d.fileSystems("@part2\n*:fix*:* exclude\n*:*:c:\\x* exclude\n");
    EXPECT_TRUE(d.decisions.isIncludedFile("c:\\", "a", ""));
    EXPECT_FALSE(d.decisions.isIncludedFile("c:\\", "x", ""));
}

TEST(RuleDecisions, DebugLinesAreLeftOutBelowLevelFive) {
    Decider d;
    setDebugLevel(4);
    d.fileSystems("@part2\n*:*:* exclude_all\n");
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\", "x", "fixed"));
    EXPECT_FALSE(d.decisions.isIncludedFile("c:\\", "x", "fixed"));
    for (const std::string& text : d.log.debugTexts()) EXPECT_EQ(text.find("was excluded"), std::string::npos);
}

TEST(RuleDecisions, WithoutSitesEveryDirectoryAndFileIsAccounted) {
    Decider d;
    EXPECT_TRUE(d.decisions.isAccountedDirectory("c:\\anything\\"));
    EXPECT_EQ(d.account("c:\\anything\\", "f.txt"), "undef");
}

TEST(RuleDecisions, EntryDirectoriesMustCoverTheTrailingSeparator) {
    Decider d;
    d.accounts(Decider::site("OSLO", "PC*", Decider::entry("c:\\users\\*", "%3%") + Decider::entry("c:\\projects", "p")));
    EXPECT_TRUE(d.decisions.isAccountedDirectory("C:\\"));
    EXPECT_TRUE(d.decisions.isAccountedDirectory("c:\\users\\"));
    EXPECT_TRUE(d.decisions.isAccountedDirectory("c:\\Users\\Ann\\"));
    EXPECT_TRUE(d.decisions.isAccountedDirectory("c:\\users\\ann\\deep\\"));
    EXPECT_FALSE(d.decisions.isAccountedDirectory("c:\\windows\\"));
    EXPECT_FALSE(d.decisions.isAccountedDirectory("c:\\projects\\"));
    EXPECT_EQ(d.account("c:\\Users\\Ann\\", "report.doc"), "Ann");
    EXPECT_EQ(d.account("c:\\", "x.doc"), "(not accounted)");
    EXPECT_EQ(d.account("c:\\projects\\", "x.doc"), "(not accounted)");
}

TEST(RuleDecisions, SitesAndHostsMustMatch) {
    Decider d;
    d.accounts(Decider::site("oslo", "PC*", Decider::entry("*", "lower-case site")) +
               Decider::site("OS*", "SERVER*", Decider::entry("*", "other host")) +
               Decider::site("O?LO", "pc4?", Decider::entry("*", "matched")));
    EXPECT_EQ(d.account("c:\\", "a.txt"), "matched");
    EXPECT_EQ(d.log.debugTexts(), (std::vector<std::string>{"      Mismatching site."}));
    EXPECT_TRUE(d.decisions.isAccountedDirectory("c:\\x\\"));

    Decider none;
    none.accounts(Decider::site("BERGEN", "*", Decider::entry("*", "x")));
    EXPECT_EQ(none.account("c:\\", "a.txt"), "(not accounted)");
    EXPECT_FALSE(none.decisions.isAccountedDirectory("c:\\"));
}

TEST(RuleDecisions, SiteExcludesMatchTheBareNameWithCase) {
    Decider d;
    d.accounts(Decider::site("OSLO", "*", Decider::entry("*", "acc"), "exclude=*.TMP\nexclude=~*\n"));
    EXPECT_EQ(d.account("c:\\", "a.tmp"), "acc");
    EXPECT_EQ(d.account("c:\\", "A.TMP"), "(not accounted)");
    EXPECT_EQ(d.account("c:\\", "~lock.doc"), "(not accounted)");
    EXPECT_EQ(d.log.debugTexts(), (std::vector<std::string>{"      Excluded.", "      Excluded."}));
}

TEST(RuleDecisions, PlaceholdersTakePathComponents) {
    Decider d;
    d.accounts(Decider::site("OSLO", "*",
                             Decider::entry("c:\\users\\*", "%3%") + Decider::entry("c:\\dept\\*", "dept-%2%-%3%") +
                                 Decider::entry("c:\\deep\\*", "%9%/%3%") + Decider::entry("c:\\zero\\*", "a%0%b%x%c") +
                                 Decider::entry("c:\\open\\*", "50% off") + Decider::entry("c:\\file\\*", "%3%") +
                                 Decider::entry("c:\\twice\\*", "%2%%2%") + Decider::entry("c:\\pct\\*", "%3%-%2%") +
                                 Decider::entry("c:\\huge\\*", "%18446744073709551618%")));
    EXPECT_EQ(d.account("c:\\users\\ann\\", "report.doc"), "ann");
    EXPECT_EQ(d.account("c:\\dept\\users\\ann\\", "x"), "dept-dept-users");
    EXPECT_EQ(d.account("c:\\file\\", "f.txt"), "f.txt");  // the last component is the name
    EXPECT_EQ(d.account("c:\\twice\\a\\", "f"), "twicetwice");
    EXPECT_EQ(d.account("c:\\open\\", "f"), "50% off");  // an unpaired "%" stays
    // An inserted component is not searched for placeholders again.
    EXPECT_EQ(d.account("c:\\pct\\%1%\\", "x"), "%1%-pct");
    EXPECT_EQ(d.log.messages("WARNING", 19).size(), 0u);

    EXPECT_EQ(d.account("c:\\deep\\ann\\", "x"), "UNDEF/ann");
    EXPECT_EQ(d.log.messages("WARNING", 19), (std::vector<std::string>{"9|c:\\deep\\ann\\x|4"}));
    d.log.clear();
    // A placeholder without a number names no component.
    EXPECT_EQ(d.account("c:\\zero\\", "x"), "aUNDEFbUNDEFc");
    EXPECT_EQ(d.log.messages("WARNING", 19), (std::vector<std::string>{"0|c:\\zero\\x|1", "0|c:\\zero\\x|1"}));
    d.log.clear();
    // 2^64 + 2 is beyond every path, not the second component.
    EXPECT_EQ(d.account("c:\\huge\\", "x"), "UNDEF");
    EXPECT_EQ(d.log.messages("WARNING", 19), (std::vector<std::string>{"18446744073709551615|c:\\huge\\x|3"}));
}

TEST(RuleDecisions, PlaceholdersOfNetworkPathsKeepTheServerWhole) {
    Decider d;
    d.accounts(Decider::site("OSLO", "*", Decider::entry("\\\\*", "%1%:%2%:%3%")));
    EXPECT_EQ(d.account("\\\\files\\home\\", "a.doc"), "\\\\files:home:a.doc");
}

TEST(RuleDecisions, PosixPathsCountTheEmptyPieceBeforeTheRoot) {
    Decider d(false);
    d.accounts(Decider::site("OSLO", "*", Decider::entry("/home/*", "[%1%][%2%][%3%]")));
    EXPECT_EQ(d.account("/home/Ann/", "x.doc"), "[][home][Ann]");
    EXPECT_TRUE(d.decisions.isAccountedDirectory("/"));
    EXPECT_TRUE(d.decisions.isAccountedDirectory("/home/ann/"));
    EXPECT_FALSE(d.decisions.isAccountedDirectory("/var/"));
}

TEST(RuleDecisions, ASystemDirectoryOnThePlaceholdersWayExcludesTheFile) {
    Decider d;
    FileInfo system;
    system.exists = true;
    system.attributes = FileAttribute::Directory | FileAttribute::System;
    d.fake.files["c:\\users\\Default"] = system;
    FileInfo plain;
    plain.exists = true;
    plain.attributes = FileAttribute::Directory;
    d.fake.files["c:\\users\\ann"] = plain;
    d.accounts(Decider::site("OSLO", "*", Decider::entry("c:\\users\\*", "%3%")));

    int before = d.fake.fileInfoCalls;
    EXPECT_EQ(d.account("c:\\users\\Default\\", "ntuser.dat"), "(not accounted)");
    EXPECT_EQ(d.account("c:\\users\\Default\\", "other.dat"), "(not accounted)");
    EXPECT_EQ(d.account("c:\\users\\ann\\", "a.doc"), "ann");
    EXPECT_EQ(d.account("c:\\users\\ann\\", "b.doc"), "ann");
    // Each placeholder directory is asked once per run.
    EXPECT_EQ(d.fake.fileInfoCalls - before, 2);
    EXPECT_EQ(d.log.debugTexts(), (std::vector<std::string>{"      System directory. Excluded.",
                                                            "      System directory. Excluded."}));
}

}  // namespace
}  // namespace Quilna
