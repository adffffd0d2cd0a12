#pragma once
// The four questions the directory walk asks of the loaded rules: may a directory tree be
// entered, is a directory of interest to the accounts file, is a file included, and which
// account and site a file belongs to. The first matching rule in file order decides; paths are
// compared lower-cased. The walk asks through the states of PathRules, directory by directory;
// the questions by whole paths compile the rules for each answer.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "hoardscan/rules/PathRules.h"
#include "hoardscan/rules/RuleTables.h"
#include "hoardscan/app/ScanIdentity.h"
#include "platform/FileSystem.h"
#include "platform/PathSyntax.h"

namespace Quilna {

class LoggerUnit;

class RuleDecisions {
public:
    RuleDecisions(FileSystem& files, const PathSyntax& syntax, LoggerUnit& logger, const ScanIdentity& identity,
                  const RuleTables& tables);

    // The rules of one file system's walk, compiled.
    std::unique_ptr<PathRules> compile(const std::string& fileSystem) const;

    // Directory is a root, an absolute path or a name below parentDirectory (the current
    // directory text, ending in a separator); true when an exclude_all rule covers it.
    bool isExcludedTree(const std::string& parentDirectory, const std::string& directory,
                        const std::string& fileSystem);
    // Questions on a file with what PathRules found for it: the first file systems rule matching
    // it, and the entry charging it (its directory's state replays the search for the debug lines).
    // False when that rule is an exclude rule.
    bool isIncludedFile(const FileSystemRule* firstRule, const std::string& currentDirectory, const std::string& name);
    // False when the file is not accounted. Otherwise account gets the entry's account with
    // its "%N%" placeholders replaced by path components, and site gets the domain.
    bool accountOf(const PathRules& rules, const PathRules::Probe& directoryState, const AccountEntry* entry,
                   const std::string& currentDirectory, const std::string& name, std::string& account,
                   std::string& site);
    // The debug line of a tree that an exclude_all rule covers; lowerPath is its path lower-cased.
    void reportExcludedTree(const FileSystemRule& rule, const std::string& lowerPath);

private:
    bool isAbsolute(const std::string& directory) const;
    // The state of a whole path.
    void stateOf(const PathRules& rules, std::string_view path, PathRules::Probe& state) const;
    // Reusable is set false when the account took something from the name or warned.
    bool expandPlaceholders(const std::string& currentDirectory, const std::string& name, std::string& account,
                            bool& reusable);
    // The system attribute of a placeholder's directory; directories are asked once per run.
    bool isSystemDirectory(std::string_view path, bool isDirectory);
    bool hasSystemAttribute(std::string_view path) const;

    FileSystem& files_;
    const PathSyntax& syntax_;
    LoggerUnit& logger_;
    const ScanIdentity& identity_;
    const RuleTables& tables_;
    // Reused per call so that deciding about a file allocates nothing once warmed up.
    std::string path_;
    PathRules::Probe probe_;
    std::map<std::string, bool, std::less<>> systemDirectories_;
    // The last account expanded from the directory alone: the directory's next file gets it again.
    struct Expansion {
        bool valid = false;
        std::string pattern, directory, account;
    } lastExpansion_;
};

}  // namespace Quilna
