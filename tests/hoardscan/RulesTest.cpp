#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "RulesTestSupport.h"
#include "config/ConfReader.h"
#include "hoardscan/app/CommandLine.h"
#include "hoardscan/rules/RuleDecisions.h"
#include "hoardscan/rules/RulesFiles.h"
#include "hoardscan/app/ScanSettings.h"
#include "hoardscan/rules/WildcardMatch.h"
#include "hoardscan/rules/WildcardPattern.h"
#include "hoardscan/rules/WildcardText.h"
#include "logger/ConfigurationLog.h"
#include "logger/LogCommons.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"
#include "text/StringUtils.h"

namespace Quilna {
namespace {

using Texts = std::vector<std::string>;

TEST(CommandLine, WordsSplitIntoOptionsAndValuesThatMakeARequestOrARefusal) {
    const std::vector<std::pair<std::string, CommandLine::Options>> cases = {
        {"dummy-c C:\\conf\\h.conf", {{"", "dummy"}, {"c", "C:\\conf\\h.conf"}}},  // the leading dummy word
        {"dummy -c /etc/h.conf", {{"", "dummy"}, {"c", "/etc/h.conf"}}},
        {" \t\r\n", {}},
        {"-a -b x", {{"a", ""}, {"b", "x"}}},
        {"-ab", {{"a", "b"}}},                                    // the name is one character, the rest a value
        {"-c /data/my-conf", {{"c", "/data/my"}, {"c", "onf"}}},  // an unquoted dash starts an option again
        {"-c \"/data/my-conf file\"", {{"c", "/data/my-conf file"}}},
        {"-c 'it \"is\"'", {{"c", "it \"is\""}}},
        {"ab\"c d\"e", {{"", "ab"}, {"", "c d"}, {"", "e"}}},  // a quote inside a word splits it
        {"--config h.conf -v", {{"config", "h.conf"}, {"v", ""}}},
        {"-c \"C:\\a b", {{"c", "\"C:\\a b"}}},  // an unterminated quote keeps its opening quote
    };
    for (const auto& [text, options] : cases) EXPECT_EQ(CommandLine::split(text), options) << text;
    using Request = CommandLine::Request;
    const std::vector<std::tuple<std::string, Request::Action, std::string>> requests = {
        {"dummy", Request::Scan, ""},
        {"dummy -c h.conf", Request::Scan, ""},
        {"dummy -h", Request::Help, ""},
        {"dummy --help -c x", Request::Help, ""},
        {"dummy --check -c h.conf", Request::Check, ""},
        {"dummy --check --help", Request::Help, ""},
        {"dummy --version", Request::Version, ""},
        {"dummy -c a -c b", Request::Refuse, "-c is given twice"},
        {"dummy -c", Request::Refuse, "-c needs the path of the configuration file"},
        {"dummy stray", Request::PathScan, ""},
        {"dummy -c h.conf /home", Request::Refuse,
         "a scan of a PATH takes no installation: -c and --check do not go with it"},
        {"dummy --json -o out", Request::Refuse, "-o and --json need a PATH to scan"},
        {"dummy -o a -o b /home", Request::Refuse, "-o needs one directory for the result files"},
        {"dummy --help x", Request::Refuse, "unexpected argument 'x' after --help"},
        {"dummy -x", Request::Refuse, "unknown option -x"},
        {"dummy -c h.conf --explain /srv", Request::Explain, ""},
        {"dummy --check --explain", Request::Refuse, "--explain needs a PATH to explain"},
        {"dummy --explain /srv --json", Request::Refuse, "-o and --json do not go with --explain"},
    };
    for (const auto& [text, action, problem] : requests) {
        const Request request = CommandLine::interpret(text);
        EXPECT_EQ(std::make_pair(request.action, request.problem), std::make_pair(action, problem)) << text;
    }
    // A word after --json is a path, not its value.
    const Request paths = CommandLine::interpret("dummy /srv --json /home -o out '/a b'");
    EXPECT_EQ(paths.paths, (std::vector<std::string>{"/srv", "/home", "/a b"}));
    EXPECT_EQ(std::make_pair(paths.outputDirectory, paths.json), std::make_pair(std::string("out"), true));
}

// A path inside a quoted configuration value, where a backslash escapes the next character.
std::string quotedPath(std::string path) {
    for (size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) path.insert(at, 1, '\\');
    return path;
}

// A complete configuration; then one setting at a time made unusable, reported by key with a debug line.
TEST(ScanSettings, ReadIntoOneValueOrReportedByKey) {
    using Entries = std::map<std::string, std::pair<std::string, std::string>>;  // key: (type, value)
    TestSupport::TestDirectory dir;
    const std::string base = quotedPath(dir.text());
    for (const char* name : {"fs.rules", "accounts.rules", "types.rules", "t.rules"}) dir.write(name, "");
    const Entries complete{{"extension", {"Bool", "true"}},
                           {"inactive-log", {"Bool", "true"}},
                           {"temperature-log", {"Bool", "true"}},
                           {"temperature-monitor", {"String", "frozen"}},
                           {"temperature-monitor-size", {"Integer", "2"}},
                           {"working-dir", {"DirName", base + "/work/"}},
                           {"temp-dir", {"DirName", base + "/side"}},
                           {"filesystems", {"FileName", base + "/fs.rules"}},
                           {"hoardscan", {"FileName", base + "/accounts.rules"}},
                           {"filetype", {"Integer", "1"}},
                           {"filename", {"FileName", base + "/types.rules"}},
                           {"temperatures", {"FileName", base + "/t.rules"}},
                           {"read-ahead", {"Integer", "3"}},
                           {"filesystems-in-parallel", {"Integer", "1"}}};
    NativePlatform native;
    RulesTest::TestLog log{1};
    ConfReader reader{platform(), makeSmart<ConfigurationLog>(platform(), log.centre)};
    // The complete configuration with one key changed, or left out when its type is "".
    const auto read = [&](const std::string& key = "", const std::string& type = "", const std::string& value = "") {
        auto settings = complete;
        if (type.empty()) settings.erase(key);
        else settings[key] = {type, value};
        std::string text = "hoardscan () = '' {";
        for (const auto& [name, entry] : settings)
            text += " " + name + " (" + entry.first + ") = '" + entry.second + "' {}";
        EXPECT_TRUE(reader.buildTreeFromText(text + " }", "test.conf"));
        log.clear();
        return readSettings(native, native, reader, log.unit());
    };

    const std::optional<ScanSettings> settings = read();
    ASSERT_TRUE(settings);
    // Made, and ending in a separator.
    EXPECT_TRUE(std::filesystem::equivalent(settings->workingDirectory + ".", dir.child("work")));
    EXPECT_TRUE(std::filesystem::equivalent(settings->tempDirectory + ".", dir.child("side")));
    EXPECT_EQ(std::make_tuple(settings->temperaturesFile, settings->temperatureMonitorSize, settings->readAhead,
                              settings->bufferSize, settings->filesystemsInParallel, settings->userDirectories,
                              settings->inactiveLogLimit),
              std::make_tuple(dir.child("t.rules"), int64_t{2 * 1048576}, 3u, 1000, std::optional<int32_t>{1},
                              Texts{"documents and settings"}, int64_t{256 * 1048576}));

    const std::string missing = dir.child("missing.txt"),
                      notMade = std::filesystem::path(dir.text() + "/fs.rules/x/").make_preferred().string();
    const std::vector<std::tuple<std::string, std::string, std::string, int, std::string, std::string>> cases = {
        {"temperatures", "", "", 2, "hoardscan.temperatures", "No temperatures file configured."},
        {"temperatures", "FileName", quotedPath(missing), 3, "hoardscan.temperatures|" + missing,
         "Temperaturs file \"" + missing + "\" does not exist."},
        {"temperatures", "FileName", base + "/sub/", 34,
         "hoardscan.temperatures|" + dir.text() +
             "/sub/|a file name without * or ? that does not end in a separator expected",
         ""},
        {"filename", "", "", 2, "hoardscan.filename", "No filename extension mapping file configured."},
        {"filename", "FileName", quotedPath(missing), 3, "hoardscan.filename|" + missing,
         "Filename extension mapping file \"" + missing + "\" does not exist."},
        {"working-dir", "DirName", "", 2, "hoardscan.working-dir", "No log directory configured."},
        {"temp-dir", "DirName", base + "/fs.rules/x", 3, "hoardscan.temp-dir|" + notMade,
         "Temp directory \"" + notMade + "\" does not exist."},
        {"read-ahead", "Integer", "17", 34,
         "hoardscan.read-ahead|17|a number of helper threads from 0 (none) to 16 expected", ""},
        {"inactive-log-limit", "Integer", "0", 34, "hoardscan.inactive-log-limit|0|a size of at least 1 MiB expected",
         ""},
    };
    for (const auto& [key, type, value, id, parameters, debugLine] : cases) {
        SCOPED_TRACE(key + " " + value);
        EXPECT_FALSE(read(key, type, value));
        EXPECT_EQ(log.messages("FATAL", id), (Texts{parameters}));
        EXPECT_EQ(debugLine.empty() ? "" : log.debugTexts().back(), debugLine);
    }
}

struct Loader {
    NativePlatform native;
    PathSyntax syntax = native.pathSyntax();  // the rules read paths as written here
    RulesTest::TestLog log;
    ScanIdentity identity{"PC42", "OSLO"};
    RuleTables tables;
    RulesFiles files{native, syntax, log.unit(), identity, tables};
};

// Decisions on Windows (or POSIX) paths, with rules loaded from the texts of the rules files.
struct Decider : Loader {
    explicit Decider(bool windows = true) {
        syntax = windows ? FakePlatform::windowsSyntax() : PathSyntax{};
        fake.syntax = syntax;
    }
    void fileSystems(const std::string& text) {
        ASSERT_TRUE(files.loadFileSystemsText(text, "fs.txt"));
        log.clear();
    }
    void accounts(const std::string& text) {
        ASSERT_TRUE(files.loadAccountsText(text, "acc.txt"));
        log.clear();
    }
    // The questions the walk asks, in its order: a directory's state, then a name on it.
    PathRules::Probe directoryState(const PathRules& rules, const std::string& directory) {
        PathRules::Probe state;
        rules.start(state);
        rules.feed(state, directory);
        return state;
    }
    bool included(const std::string& directory, const std::string& name, const std::string& fileSystem) {
        const std::unique_ptr<PathRules> rules = decisions.compile(fileSystem);
        PathRules::Probe state = directoryState(*rules, directory);
        rules->feedFileName(state, name);
        return decisions.isIncludedFile(rules->firstFileSystemRule(state), directory, name);
    }
    bool accounted(const std::string& directory) {
        const std::unique_ptr<PathRules> rules = decisions.compile(std::string());
        return rules->isAccountedDirectory(directoryState(*rules, directory));
    }
    std::string account(const std::string& directory, const std::string& name) {
        const std::unique_ptr<PathRules> rules = decisions.compile(std::string());
        const PathRules::Probe state = directoryState(*rules, directory);
        std::string account = "-", site = "-";
        if (!decisions.accountOf(*rules, state, rules->accountEntry(state, name, nullptr), directory, name, account,
                                 site))
            return "(not accounted)";
        EXPECT_EQ(site, identity.domain);
        return account;
    }

    FakePlatform fake;
    RuleDecisions decisions{fake, syntax, log.unit(), identity, tables};
};

TEST(RulesFiles, FileSystemsExampleLoadsIntoRules) {
    Decider d;
    ASSERT_TRUE(d.files.loadFileSystemsText(
        "# rules of the office\n@part1\nPC42: D:\\Data   # the archive disk\npc42 : e:\\\nPC4*: f:\\\nOTHER: g:\\\n"
        "@part2\nPC42:fixed:c:\\windows* exclude_all\n*:*:\"C:\\Program Files\\*\" exclude\npc*:Remote:*.tmp 0\n"
        "*:fixed:c:\\users\\* include\n*:cdrom:* 1\n*:fixed:c:\\a:b  exclude\n*:fixed:\"\" 0\n",
        "fs.txt"));
    EXPECT_EQ(d.tables.drives, (Texts{"d:\\data", "e:\\"}));
    Texts rules;
    for (const FileSystemRule& rule : d.tables.fileSystems)
        rules.push_back(rule.host + "|" + rule.fileSystem + "|" + rule.path + (rule.include ? "|include" : "") +
                        (rule.excludeAll ? "|all" : ""));
    EXPECT_EQ(rules, (Texts{"PC42|fixed|c:\\windows*|all", "*|*|c:\\program files\\*", "PC*|remote|*.tmp",
                            "*|fixed|c:\\users\\*|include", "*|cdrom|*|include", "*|fixed|c:\\a:b",
                            "*|fixed|"}));  // only the first two colons separate
    EXPECT_EQ(d.log.debugTexts(), (Texts{"Got 2 file system(s) to investigate and 7 to account."}));
    EXPECT_EQ(d.log.messageCount(), 0u);
    // Drive paths keep their case where paths are case-sensitive.
    d.syntax = PathSyntax{};
    ASSERT_TRUE(d.files.loadFileSystemsText("@part1\nPC42: /srv/Data\n", "fs.txt"));
    EXPECT_EQ(d.tables.drives.back(), "/srv/Data");
}

TEST(RulesFiles, FileSystemsErrorsNameTheLineAndTheFileAndKeepTheRulesBefore) {
    const std::vector<std::tuple<std::string, int, std::string, size_t>> cases = {
        {"# head\n@part1\n\n@part3\n", 11, "@part3|4|fs.txt", 0},
        {"\n@part\n", 25, "@part1|@part|2|fs.txt", 0},  // shorter than six characters: a rule line
        {"PC42:fixed:c:\\ include\n", 25, "@part1|PC42:fixed:c:\\ include|1|fs.txt", 0},
        // Without quotes the first blank ends the path and the rest is the keyword.
        {"@part2\n*:fixed:c:\\a\\* 1\n*:fixed:c:\\program files\\* exclude\n", 9, "3|fs.txt", 1},
        {"@part2\n*:fixed:c:\\ Include\n", 9, "2|fs.txt", 0},
        {"@part2\n*:fixed: \"c:\\a b\" include\n", 9, "2|fs.txt", 0},
    };
    for (const auto& [text, id, parameters, rules] : cases) {
        Loader loader;
        EXPECT_FALSE(loader.files.loadFileSystemsText(text, "fs.txt")) << text;
        EXPECT_EQ(loader.log.messages("FATAL", id), (Texts{parameters})) << text;
        EXPECT_EQ(loader.tables.fileSystems.size(), rules) << text;
    }
}

TEST(RulesFiles, RulesFilesAreReadFromDisk) {
    TestSupport::TestDirectory dir;
    Loader loader;
    ASSERT_TRUE(
        loader.files.loadFileSystems(dir.write("fs.txt", "@part1\r\nPC42: /data\r\n@part2\r\n*:*:/tmp* exclude_all")));
    EXPECT_EQ(loader.tables.drives, (Texts{"/data"}));
    ASSERT_EQ(loader.tables.fileSystems.size(), 1u);
    EXPECT_TRUE(loader.tables.fileSystems[0].excludeAll);
    ASSERT_TRUE(loader.files.loadAccounts(dir.write("empty.txt", "")));
    EXPECT_TRUE(loader.tables.sites.empty());

    std::string missing = dir.child("missing.txt");
    EXPECT_FALSE(loader.files.loadFileSystems(missing) || loader.files.loadAccounts(missing));
    EXPECT_EQ(loader.log.messages("FATAL", 8), (Texts{missing, missing}));
}

TEST(RulesFiles, AccountsExampleLoadsIntoRules) {
    Loader loader;
    ASSERT_TRUE(loader.files.loadAccountsText(
        "{\n site=OSLO\n exclude=*.tmp\n exclude =\n map\n {\n hosts\n {\n host=pc*\n entries\n {\n  entry\n {\n"
        " dir=C:\\Users\\*\n account=%3%\n }\n entry\n {\n dir = c:\\projects\\*\n account = Dept-%2%\n }\n }\n }\n"
        " hosts\n {\n host=SERVER\n }\n }\n}\n{\n site = BERGEN\n site =\n}\n",
        "accounts.txt"));
    Texts rules;
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
              (Texts{"OSLO exclude *.tmp host PC* c:\\users\\*=%3% c:\\projects\\*=Dept-%2% host SERVER", "BERGEN"}));
    EXPECT_EQ(loader.log.messageCount(), 0u);
}

TEST(RulesFiles, AccountsErrorsNameTheLineAndTheFile) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"{\nsite=A\ncolour=red\n}\n", 11, "colour=red|3|acc.txt"},
        {"{\nsite=A\nbogus\n", 11, "bogus|3|acc.txt"},
        {"{\nmap\n{\nhost=PC\n}\n}\n", 11, "host=PC|4|acc.txt"},
        {"{\nmap\nhosts\nentries\ndir=x\n", 11, "dir=x|5|acc.txt"},
        {"{\nmap\nhosts\nentries\nentry\nuser=x\n", 11, "user=x|6|acc.txt"},
        {"{\nsite=A\n\n# end\n", 10, "4|acc.txt"},
        {"{\nmap\nhosts\nentries\nentry\ndir=x\n}\n}\n", 10, "8|acc.txt"},
    };
    for (const auto& [text, id, parameters] : cases) {
        Loader loader;
        EXPECT_FALSE(loader.files.loadAccountsText(text, "acc.txt")) << text;
        EXPECT_EQ(loader.log.messages("FATAL", id), (Texts{parameters})) << text;
        EXPECT_EQ(loader.log.messageCount(), 1u) << text;
    }
    Loader loader;  // sites before an error stay
    EXPECT_FALSE(loader.files.loadAccountsText("{\nsite=A\n}\n{\nsite=B\n", "acc.txt"));
    EXPECT_EQ(loader.tables.sites.size(), 1u);
}

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
    const std::string windows =
        "@part2\nPC42:fixed:c:\\windows* exclude_all\n*:remote:\\\\server\\share* exclude_all\n"
        "*:fixed:c:\\data\\keep* include\n*:fixed:c:\\data* exclude_all\n*:fixed:*.tmp exclude\n"
        "OTHER:*:* exclude\n*:fix*:*.x exclude\n*:*:c:\\y* exclude\n";
    const std::string posix = "@part2\n*:fixed:/proc* exclude_all\n*:fixed:/home/ann/tmp* exclude_all\n";
    const std::vector<std::tuple<bool, std::string, std::string, std::string, std::string, bool, bool>> cases = {
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
    for (const auto& [onWindows, rules, parent, name, fileSystem, tree, excluded] : cases) {
        SCOPED_TRACE(parent + " " + name + " " + fileSystem);
        Decider d(onWindows);
        d.fileSystems(rules);
        if (tree) EXPECT_EQ(d.decisions.isExcludedTree(parent, name, fileSystem), excluded);
        else EXPECT_EQ(d.included(parent, name, fileSystem), !excluded);
    }
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
        EXPECT_EQ(d.accounted(c.directory), c.accounted);
        EXPECT_EQ(d.log.messages("WARNING", 19), Texts{});
    }
    // File after file: an account made from one directory or file name is not given to the next.
    Decider d;
    d.accounts(placeholders);
    for (const auto& [directory, name, account] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"c:\\dept\\users\\ann\\", "x", "dept-dept-users"},
             {"c:\\dept\\staff\\ann\\", "x", "dept-dept-staff"},
             {"c:\\file\\", "f.txt", "f.txt"},
             {"c:\\file\\", "g.txt", "g.txt"}})
        EXPECT_EQ(d.account(directory, name), account) << directory << name;
}

TEST(RuleDecisions, ExclusionsNameTheirRuleMismatchesAreTracedAndPlaceholdersBeyondThePathWarn) {
    Decider d;
    d.fileSystems("@part2\nPC42:fixed:c:\\windows* exclude_all\n*:fixed:*.tmp exclude\n");
    EXPECT_TRUE(d.decisions.isExcludedTree("c:\\", "Windows", "fixed"));
    EXPECT_FALSE(d.included("c:\\windows\\", "a.doc", "fixed"));
    EXPECT_FALSE(d.included("c:\\", "a.tmp", "fixed"));
    EXPECT_EQ(d.log.debugTexts(),
              (Texts{"   System \"c:\\windows\" was excluded because of \"PC42:fixed:c:\\windows* exclude_all\".",
                     "   File \"c:\\windows\\a.doc\" was excluded because of \"PC42:fixed:c:\\windows* exclude\".",
                     "   File \"c:\\a.tmp\" was excluded because of \"*:fixed:*.tmp exclude\"."}));
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

// Rows: pattern, text, match, match with "*" after the pattern; the automata agree after every byte fed.
TEST(WildcardMatch, MatcherAndAutomataAgreeOnATableAndLongPatternsEnd) {
    const std::string a63(63, 'a'), a70(70, 'a');
    const std::vector<std::tuple<std::string, std::string, bool, bool>> cases = {
        {"*", "", true, false},
        {"?", "", false, false},
        {"?", "a", true, true},
        {"?", "ab", false, true},
        {"?*", "", false, false},
        {"*?", "", false, false},
        {"a?b", "acb", true, true},
        {"a?b", "ab", false, false},
        {"a*b", "axxb", true, true},
        {"a*b", "axxbc", false, true},
        {"a*?", "a", true, true},  // a "*" swallows the "*" and "?" right after it
        {"*?a", "a", true, true},
        {"a*?*?b", "ab", true, true},
        {"*ab", "aab", true, true},
        {"*a*b", "bbab", true, true},
        {"a*", "ba", false, false},
        {"ab", "a", false, false},
        {"a", "ab", false, true},
        {"a?", "a*", true, true},
        {"a*", "*", false, false},
        {a63 + "*b", a63 + "xxb", true, true},  // beyond one word of state
        {a70 + "*b", a70 + "xb", true, true},
        {std::string(70, '?') + "b", std::string(69, 'a') + "b", false, false},
        {"*" + a70, "b" + a70, true, true},
        {"*b", std::string(150, 'a') + "ba", false, true},
    };
    for (const auto& [pattern, text, match, withStar] : cases) {
        SCOPED_TRACE(pattern + " " + text);
        const std::string upper = StringUtils::upperCopy(pattern), upperText = StringUtils::upperCopy(text);
        EXPECT_EQ(wildcardMatch(pattern, text), match);
        EXPECT_EQ(wildcardMatchNoCase(upper, text), match);
        EXPECT_EQ(wildcardMatch(upper, text), match && upper == pattern);
        const WildcardPattern forward(pattern);
        std::vector<uint64_t> state(forward.stateWords());
        forward.start(state.data());
        for (size_t n = 1; n <= text.size(); ++n) {
            forward.feed(state.data(), std::string_view(upperText).substr(n - 1, 1));
            EXPECT_EQ(forward.matches(state.data()), wildcardMatch(pattern, text.substr(0, n))) << n;
        }
        if (!text.empty()) {
            EXPECT_EQ(forward.matches(state.data()), match);
            forward.start(state.data());  // the whole text at once, as the walk feeds a name
            forward.feed(state.data(), upperText);
            EXPECT_EQ(forward.matches(state.data()), match);
        }
        const WildcardText reverse(text);
        std::vector<uint64_t> reached(reverse.stateWords());
        reverse.start(reached.data());
        for (size_t n = 1; n <= pattern.size(); ++n) {
            reverse.feed(reached.data(), std::string_view(upper).substr(n - 1, 1));
            EXPECT_EQ(reverse.matchesWithStar(reached.data()), wildcardMatch(pattern.substr(0, n) + "*", text)) << n;
        }
        EXPECT_EQ(reverse.matchesWithStar(reached.data()), withStar);
        reverse.start(reached.data());
        reverse.feed(reached.data(), upper);
        EXPECT_EQ(reverse.matchesWithStar(reached.data()), withStar);
    }
    // Many stars with a literal tail that never matches: a backtracking matcher would not end.
    std::string stars, hopeless;
    for (int i = 0; i < 5000; ++i) {
        stars += "*?";
        hopeless += "*a";
    }
    const std::string text(10000, 'a'), almost = std::string(9999, 'a') + 'c';
    EXPECT_TRUE(wildcardMatch(stars, text));
    EXPECT_FALSE(wildcardMatch(hopeless + "b", text));
    EXPECT_TRUE(wildcardMatch(std::string(10000, '?'), almost));
    EXPECT_TRUE(wildcardMatchNoCase(stars + "C", almost));
}

namespace fs = std::filesystem;

std::map<std::string, int32_t> int32Constants(const std::string& text) {
    static const std::regex constant(R"(constexpr\s+int32_t\s+(\w+)\s*=\s*(\d+)\s*;)");
    std::map<std::string, int32_t> found;
    for (std::sregex_iterator at(text.begin(), text.end(), constant), end; at != end; ++at)
        found[(*at)[1]] = std::stoi((*at)[2]);
    return found;
}

// Every number a logging call names has its text in the shipped LogMessages/, looked up per module.
TEST(MessageCatalogue, EveryNumberTheCodeLogsHasItsText) {
    const fs::path source = QUILNA_SOURCE_DIR;
    LogCommons catalogue;
    ASSERT_TRUE(catalogue.loadMessages(platform(), (source / "examples/installation/").string(), "all").status);
    const auto programMessages =
        int32Constants(TestSupport::TestDirectory::readFile((source / "hoardscan/app/MessageNumbers.h").string()));
    // The logger's own functions hand their caller's number on.
    const std::set<std::string> forwarded = {"id", "summaryMessage"};
    static const std::regex call(R"(\b(?:notice|warning|error|critical|fatal|reportRepeats)\(\s*([\w:]+)\s*[,)])");
    int calls = 0;
    for (const char* top : {"library", "hoardscan", "tools", "programs"}) {
        if (!fs::exists(source / top)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(source / top)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            const std::string text = TestSupport::TestDirectory::readFile(entry.path().string());
            const auto fileConstants = int32Constants(text);
            for (std::sregex_iterator at(text.begin(), text.end(), call), end; at != end; ++at) {
                const std::string name = (*at)[1];
                if (forwarded.count(name)) continue;
                const std::string where = fs::relative(entry.path(), source).string() + ": " + name;
                std::optional<int32_t> number;
                // The configuration reader's files log as the Configuration module, the rest as Storage.
                const bool configuration = entry.path().filename().string().rfind("Conf", 0) == 0;
                int32_t module = configuration ? Module::Configuration : Module::Storage;
                if (name.rfind("Message::", 0) == 0) {
                    if (const auto found = programMessages.find(name.substr(9)); found != programMessages.end())
                        number = found->second;
                    module = Module::Storage;
                } else if (const auto found = fileConstants.find(name); found != fileConstants.end()) {
                    number = found->second;
                } else if (std::regex_match(name, std::regex(R"(\d+)"))) {
                    number = std::stoi(name);
                }
                ASSERT_TRUE(number) << where << ": the message number of this logging call is not found";
                std::string template_;
                EXPECT_TRUE(catalogue.findMessage(module, *number, template_))
                    << where << " logs message " << *number << " of module " << LogCommons::moduleName(module)
                    << ", which has no text in LogMessages/";
                ++calls;
            }
        }
    }
    EXPECT_GE(calls, 50) << "the logging calls were not found";
}

}  // namespace
}  // namespace Quilna
