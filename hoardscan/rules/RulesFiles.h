#pragma once
// Loads the file systems file and the accounts file into the rule tables, and reads the line
// syntax that all four rules files share. Every error is reported as a FATAL catalogue message
// naming the file and the line; rules stored before the error stay stored.

#include <string>
#include <string_view>
#include <vector>

#include "hoardscan/rules/RuleTables.h"
#include "hoardscan/rules/RuleText.h"
#include "hoardscan/app/ScanIdentity.h"
#include "platform/FileSystem.h"
#include "platform/PathSyntax.h"

namespace Quilna {

class LoggerUnit;

class RulesFiles {
public:
    RulesFiles(FileSystem& files, const PathSyntax& syntax, LoggerUnit& logger, const ScanIdentity& identity,
               RuleTables& tables);

    // True when the file was read to its end; false after an error that was reported.
    bool loadFileSystems(const std::string& path);
    bool loadAccounts(const std::string& path);
    // The same for a text already in memory; fileName names it in the messages.
    bool loadFileSystemsText(std::string_view text, const std::string& fileName);
    bool loadAccountsText(std::string_view text, const std::string& fileName);

    // The next line that is neither empty nor a comment: blanks cut at both ends, the text from
    // the first "#" on cut away. False (line empty) at the end of the text.
    static bool readSignificantLine(RuleText& text, std::string& line);
    // The whole file; false, told as FATAL, when it cannot be opened or read.
    static bool readRulesFile(FileSystem& files, LoggerUnit& logger, const std::string& path, std::string& text);

private:
    enum class Part { None, Drives, Rules };
    enum class Block { Site, Map, Host, Entries, Entry };

    bool fileSystemLine(RuleText& text, std::string& line, Part& part);
    void addDrive(std::string& rest);
    bool addFileSystemRule(const RuleText& text, std::string host, std::string& rest);

    // One block of the accounts file up to its "}"; false after a reported error.
    bool readSite(RuleText& text, SiteRule& site);
    bool readHost(RuleText& text, HostRule& host);
    bool readEntry(RuleText& text, AccountEntry& entry);
    // A block that holds only blocks (a site's map of hosts, a host's entries): each one read
    // by readItem into a new item.
    template <typename Item>
    bool readBlockList(RuleText& text, std::vector<Item>& items, bool (RulesFiles::*readItem)(RuleText&, Item&));
    // Reads the block's next line: "{" lines are skipped. Sets closed at "}"; false (reported)
    // at the end of the text.
    bool nextBlockLine(RuleText& text, std::string& line, bool& closed);

    void reportUnexpected(const RuleText& text, const std::string& line);

    FileSystem& files_;
    const PathSyntax& syntax_;
    LoggerUnit& logger_;
    const ScanIdentity& identity_;
    RuleTables& tables_;
};

}  // namespace Quilna
