// hoardscan --explain: every decision on a path with the rules line that took it, agreeing with
// what a run then counts, and nothing written.
#include <gtest/gtest.h>

#include <fstream>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

// "file:line" of the first line of the installation's rules file that is the text.
std::string placeOf(const ScanInstallation& installation, const std::string& file, const std::string& text) {
    const std::string path = installation.at("conf/" + file);
    std::ifstream in(path);
    int number = 1;
    for (std::string line; std::getline(in, line); ++number)
        if (line == text) return path + ":" + std::to_string(number);
    ADD_FAILURE() << "\"" << text << "\" is not a line of " << path;
    return {};
}

// The record key said for the path in the output.
std::string recordOf(const std::string& output, const std::string& path) {
    const size_t block = output.find(path + "\n");
    const size_t record = output.find("  record: ", block);
    if (block == std::string::npos || record == std::string::npos) return {};
    const size_t start = record + 10;
    return output.substr(start, output.find('\n', start) - start);
}

TEST(Explain, SaysEachDecisionWithItsLineOnNestedRulesAsTheRunThenCountsAndWritesNothing) {
    ScanInstallation i;
    const std::string tree = i.tree();
    const std::string keepRule = "*:*:" + tree + "/a/keep/* include", tmpRule = "*:*:" + tree + "/a/*.tmp exclude",
                      cacheRule = "*:*:" + tree + "/a/cache exclude_all", treeRule = "*:*:" + tree + "* include";
    i.extraRules = keepRule + "\n" + tmpRule + "\n" + cacheRule + "\n";
    // The first level below the tree names the account (the root "/" is the first component).
    const std::string level = "%" + std::to_string(countOf(tree, "/") + 2) + "%";
    i.accountsRules = "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" + tree +
                      "/*/keep/*\naccount=kept-" + level + "\n}\nentry\n{\ndir=" + tree + "/*\naccount=" + level +
                      "\n}\n}\n}\n}\n}\n";
    i.settings["hoardscan.filetype"].second = "1";
    i.fileTypesRules = "default=plain\ndocuments\n{\ndoc,txt\n}\nscratch\n{\ntm?\n}\n";
    i.file("a/x.doc", 1000, 100, 400);
    i.file("a/x.tmp", 10);
    i.file("a/keep/y.tmp", 20, 10, 10);
    i.file("a/cache/z.doc", 30);
    i.arguments = {"-c",
                   i.at("conf/hoardscan.conf"),
                   "--explain",
                   i.path("a/x.doc"),
                   i.path("a/x.tmp"),
                   i.path("a/keep/y.tmp"),
                   i.path("a/cache/z.doc"),
                   i.path("a"),
                   i.path("none")};
    EXPECT_EQ(i.run(), 1);  // a path is missing
    const std::string out = i.output();
    const auto fileSystems = [&](const std::string& how, const std::string& rule) {
        return "  file systems: " + how + " by " + placeOf(i, "filesystems.rules", rule) + " \"" +
               StringUtils::lowerCopy(rule) + "\"\n";
    };
    const auto account = [&](const std::string& dir, const std::string& pattern, const std::string& account) {
        return "  account: " + placeOf(i, "accounts.rules", "dir=" + dir) + " \"" + StringUtils::lowerCopy(dir) +
               " -> " + pattern + "\" -> " + account + " (site ";
    };
    const auto band = [&](const std::string& line) {
        return line.substr(0, line.find(' ')) + " (" + placeOf(i, "temperatures.rules", line) + " \"" + line + "\")";
    };
    EXPECT_TRUE(
        holds(out, i.path("a/x.doc") + "\n" + fileSystems("included", treeRule) + account(tree + "/*", level, "a")));
    EXPECT_TRUE(
        holds(out, "  type: documents (" + placeOf(i, "filetypes.rules", "doc,txt") + " \"doc\")\n" + "  status: "));
    EXPECT_TRUE(holds(out, "  access: " + band("cold 365") + "; modify: " + band("frozen infinity") + "\n"));
    EXPECT_TRUE(holds(out, i.path("a/x.tmp") + "\n" + fileSystems("excluded", tmpRule) + i.path("a/keep/y.tmp") + "\n" +
                               fileSystems("included", keepRule) +
                               account(tree + "/*/keep/*", "kept-" + level, "kept-a")));
    EXPECT_TRUE(holds(out, "  type: scratch (" + placeOf(i, "filetypes.rules", "tm?") + " \"tm?\")\n"));
    EXPECT_TRUE(holds(out, "  access: " + band("warm 30") + "; modify: " + band("warm 30") + "\n"));
    EXPECT_TRUE(holds(out, i.path("a/cache/z.doc") + "\n  file systems: not walked: " + i.path("a/cache") +
                               " is excluded by " + placeOf(i, "filesystems.rules", cacheRule) + " \"" +
                               StringUtils::lowerCopy(cacheRule) + "\"\n"));
    EXPECT_TRUE(holds(out, i.path("a") + "\n  walk: entered; its files are listed\n" +
                               fileSystems("included", treeRule) + account(tree + "/*", level, "a")));
    EXPECT_TRUE(holds(out, "  record: none: a directory is not counted itself, its files are\n" + i.path("none") +
                               "\n  not found: it cannot be explained\n"));
    for (const char* written : {"results", "side", "log"}) EXPECT_TRUE(fs::is_empty(i.at(written))) << written;

    // The run counts the two files under the keys said, and nothing else.
    i.arguments = {"-c", i.at("conf/hoardscan.conf")};
    ASSERT_EQ(i.run(), 0) << i.output();
    const auto totals = ResultFileReader(platform(), platform(), i.dataFile()).accountTotals();
    EXPECT_EQ(filesCounted(i.dataFile()), 2);
    for (const auto& [path, size] : {std::pair{"a/x.doc", 1000}, {"a/keep/y.tmp", 20}}) {
        const auto counted = totals.find(recordOf(out, i.path(path)));
        ASSERT_NE(counted, totals.end()) << path << " in " << out;
        EXPECT_EQ(counted->second.files, 1) << path;
        EXPECT_EQ(counted->second.bytes, size) << path;
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
