#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using RulesTest::TestLog;
using Texts = std::vector<std::string>;

// Decisions on Windows (or POSIX) paths, with rules loaded from the texts of the rules files.
struct Decider {
    explicit Decider(bool windows = true) { fake.syntax = windows ? FakePlatform::windowsSyntax() : PathSyntax{}; }
    void fileSystems(const std::string& text) {
        ASSERT_TRUE(files.loadFileSystemsText(text, "fs.txt"));
        log.clear();
    }
    void accounts(const std::string& text) {
        ASSERT_TRUE(files.loadAccountsText(text, "acc.txt"));
        log.clear();
    }
    std::string account(const std::string& directory, const std::string& name) {
        std::string account = "-", site = "-";
        if (!decisions.accountOf(directory, name, account, site)) return "(not accounted)";
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

// One site block of the accounts file with one host and its entries "directory=account".
std::string site(const std::string& site, const std::string& host, const Texts& entries,
                 const std::string& excludes = "") {
    std::string text = "{\nsite=" + site + "\n" + excludes + "map\nhosts\nhost=" + host + "\nentries\n";
    for (const std::string& entry : entries) {
        const size_t equals = entry.find('=');
        text += "entry\ndir=" + entry.substr(0, equals) + "\naccount=" + entry.substr(equals + 1) + "\n}\n";
    }
    return text + "}\n}\n}\n}\n";
}

TEST(RuleDecisions, TheFirstMatchingFileSystemRuleDecidesOverTreesAndFiles) {
    struct Case {
        bool windows;
        std::string rules, parent, name, fileSystem;
        bool tree, excluded;
    };
    const std::string windows =
        "@part2\nPC42:fixed:c:\\windows* exclude_all\n*:remote:\\\\server\\share* exclude_all\n"
        "*:fixed:c:\\data\\keep* include\n*:fixed:c:\\data* exclude_all\n*:fixed:*.tmp exclude\n"
        "OTHER:*:* exclude\n*:fix*:*.x exclude\n*:*:c:\\y* exclude\n";
    const std::string posix = "@part2\n*:fixed:/proc* exclude_all\n*:fixed:/home/ann/tmp* exclude_all\n";
    const std::vector<Case> cases = {
        {true, windows, "", "C:\\", "fixed", true, false},
        {true, windows, "c:\\", "Windows", "fixed", true, true},
        {true, windows, "d:\\elsewhere\\", "C:\\WINDOWS", "fixed", true, true},  // absolute: no parent
        {true, windows, "c:\\somewhere\\", "\\\\Server\\Share", "remote", true, true},
        {true, windows, "c:\\", "data\\keep", "fixed", true, false},
        {true, windows, "c:\\", "data", "fixed", true, true},
        {true, windows, "c:\\data\\", "keep.tmp", "fixed", false, false},
        {true, windows, "c:\\data\\", "other.doc", "fixed", false, true},  // exclude_all excludes files too
        {true, windows, "c:\\", "A.TMP", "fixed", false, true},
        {true, windows, "c:\\", "a.doc", "fixed", false, false},
        {true, windows, "c:\\", "a.x", "", false, false},  // only "*" matches no file system name
        {true, windows, "c:\\", "y", "", false, true},
        {false, posix, "/home/ann/", "/", "fixed", true, false},
        {false, posix, "/home/ann/", "/proc", "fixed", true, true},
        {false, posix, "/home/ann/", "c:\\proc", "fixed", true, false},  // no drive letters on POSIX
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parent + " " + c.name + " " + c.fileSystem);
        Decider d(c.windows);
        d.fileSystems(c.rules);
        if (c.tree) EXPECT_EQ(d.decisions.isExcludedTree(c.parent, c.name, c.fileSystem), c.excluded);
        else EXPECT_EQ(d.decisions.isIncludedFile(c.parent, c.name, c.fileSystem), !c.excluded);
    }
}

TEST(RuleDecisions, ExclusionsNameTheirRuleAtDebugLevelFive) {
    Decider d;
    d.fileSystems("@part2\nPC42:fixed:c:\\windows* exclude_all\n*:fixed:*.tmp exclude\n");
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\", "Windows", "fixed"));
    EXPECT_FALSE(d.decisions.isIncludedFile("c:\\windows\\", "a.doc", "fixed"));
    EXPECT_FALSE(d.decisions.isIncludedFile("c:\\", "a.tmp", "fixed"));
    EXPECT_EQ(d.log.debugTexts(),
              (Texts{"   System \"c:\\windows\" was excluded because of \"PC42:fixed:c:\\windows* exclude_all\".",
                     "   File \"c:\\windows\\a.doc\" was excluded because of \"PC42:fixed:c:\\windows* exclude\".",
                     "   File \"c:\\a.tmp\" was excluded because of \"*:fixed:*.tmp exclude\"."}));
}

// Only directories on the way to an entry are accounted.
TEST(RuleDecisions, AccountsComeFromTheFirstMatchingSiteHostAndEntry) {
    struct Case {
        bool windows;
        std::string accounts, directory, name, account;
        bool accounted = true;
    };
    const std::string users = site("OSLO", "PC*", {"c:\\users\\*=%3%", "c:\\projects=p"});
    const std::string sites = site("oslo", "PC*", {"*=lower-case site"}) + site("OS*", "SERVER*", {"*=other host"}) +
                              site("O?LO", "pc4?", {"*=matched"});
    const std::string placeholders =
        site("OSLO", "*",
             {"c:\\dept\\*=dept-%2%-%3%", "c:\\open\\*=50% off", "c:\\file\\*=%3%", "c:\\twice\\*=%2%%2%",
              "c:\\pct\\*=%3%-%2%", "\\\\*=%1%:%2%:%3%", "c:\\*=acc"},
             "exclude=*.TMP\nexclude=~*\n");
    const std::vector<Case> cases = {
        {true, "", "c:\\anything\\", "f.txt", "undef"},  // without sites everything is accounted
        {true, users, "c:\\Users\\Ann\\", "report.doc", "Ann"},
        {true, users, "c:\\", "x.doc", "(not accounted)"},
        {true, users, "c:\\windows\\", "x.doc", "(not accounted)", false},
        {true, users, "c:\\projects\\", "x.doc", "(not accounted)", false},
        {true, sites, "c:\\", "a.txt", "matched"},
        {true, site("BERGEN", "*", {"*=x"}), "c:\\", "a.txt", "(not accounted)", false},
        {true, placeholders, "c:\\", "a.tmp", "acc"},  // excludes match the bare name with case
        {true, placeholders, "c:\\", "A.TMP", "(not accounted)"},
        {true, placeholders, "c:\\dept\\users\\ann\\", "x", "dept-dept-users"},
        {true, placeholders, "c:\\file\\", "f.txt", "f.txt"},    // the last component is the name
        {true, placeholders, "c:\\open\\", "f", "50% off"},      // an unpaired "%" stays
        {true, placeholders, "c:\\pct\\%1%\\", "x", "%1%-pct"},  // an inserted component is not searched again
        {true, placeholders, "\\\\files\\home\\", "a.doc", "\\\\files:home:a.doc"},  // the server stays whole
        {false, site("OSLO", "*", {"/home/*=[%1%][%2%][%3%]"}), "/home/Ann/", "x.doc", "[][home][Ann]"},
        {false, site("OSLO", "*", {"/home/*=x"}), "/var/", "x.doc", "(not accounted)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory + c.name);
        Decider d(c.windows);
        d.accounts(c.accounts);
        EXPECT_EQ(d.account(c.directory, c.name), c.account);
        EXPECT_EQ(d.decisions.isAccountedDirectory(c.directory), c.accounted);
        EXPECT_EQ(d.log.messages("WARNING", 19), Texts{});
    }
}

TEST(RuleDecisions, ExcludesAndMismatchesAreTracedAndPlaceholdersBeyondThePathWarn) {
    Decider d;
    d.accounts(site("BERGEN", "*", {"*=x"}) +
               site("OSLO", "*", {"c:\\deep\\*=%9%/%3%", "c:\\zero\\*=a%0%b%x%c", "c:\\huge\\*=%18446744073709551618%"},
                    "exclude=~*\n"));
    EXPECT_EQ(d.account("c:\\", "~lock.doc"), "(not accounted)");
    EXPECT_EQ(d.log.debugTexts(), (Texts{"      Mismatching site.", "      Excluded."}));
    EXPECT_EQ(d.account("c:\\deep\\ann\\", "x"), "UNDEF/ann");
    // A placeholder without a number names no component, nor does one of 2^64 + 2.
    EXPECT_EQ(d.account("c:\\zero\\", "x"), "aUNDEFbUNDEFc");
    EXPECT_EQ(d.account("c:\\huge\\", "x"), "UNDEF");
    EXPECT_EQ(d.log.messages("WARNING", 19), (Texts{"9|c:\\deep\\ann\\x|4", "0|c:\\zero\\x|1", "0|c:\\zero\\x|1",
                                                    "18446744073709551615|c:\\huge\\x|3"}));
}

TEST(RuleDecisions, ASystemDirectoryOnThePlaceholdersWayExcludesTheFile) {
    Decider d;
    FileInfo directory;
    directory.exists = true;
    directory.attributes = FileAttribute::Directory;
    d.fake.files["c:\\users\\ann"] = directory;
    directory.attributes |= FileAttribute::System;
    d.fake.files["c:\\users\\Default"] = directory;
    d.accounts(site("OSLO", "*", {"c:\\users\\*=%3%"}));

    const int before = d.fake.fileInfoCalls;
    EXPECT_EQ(d.account("c:\\users\\Default\\", "ntuser.dat"), "(not accounted)");
    EXPECT_EQ(d.account("c:\\users\\Default\\", "other.dat"), "(not accounted)");
    EXPECT_EQ(d.account("c:\\users\\ann\\", "a.doc"), "ann");
    EXPECT_EQ(d.account("c:\\users\\ann\\", "b.doc"), "ann");
    // Each placeholder directory is asked once per run.
    EXPECT_EQ(d.fake.fileInfoCalls - before, 2);
    EXPECT_EQ(d.log.debugTexts(), (Texts{"      System directory. Excluded.", "      System directory. Excluded."}));
}

}  // namespace
}  // namespace Quilna
