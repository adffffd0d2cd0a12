#pragma once
// The four questions the directory walk asks of the loaded rules: may a directory tree be
// entered, is a directory of interest to the accounts file, is a file included, and which
// account and site a file belongs to. The first matching rule in file order decides; paths are
// compared lower-cased.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "hoardscan/RuleTables.h"
#include "hoardscan/ScanIdentity.h"

namespace Quilna {

class LoggerUnit;

class RuleDecisions {
public:
    RuleDecisions(LoggerUnit& logger, const ScanIdentity& identity, const RuleTables& tables);

    // Directory is a root, an absolute path or a name below parentDirectory (the current
    // directory text, ending in a separator); true when an exclude_all rule covers it.
    bool isExcludedTree(const std::string& parentDirectory, const std::string& directory,
                        const std::string& fileSystem);
    // False when the first file-system rule matching the file is an exclude rule.
    bool isIncludedFile(const std::string& currentDirectory, const std::string& name,
                        const std::string& fileSystem);
    // False when no account entry lies inside the directory or on the way to it.
    bool isAccountedDirectory(const std::string& currentDirectory);
    // False when the file is not accounted. Otherwise account gets the entry's account with
    // its "%N%" placeholders replaced by path components, and site gets the domain.
    bool accountOf(const std::string& currentDirectory, const std::string& name, std::string& account,
                   std::string& site);

private:
    const FileSystemRule* firstFileSystemRule(const std::string& fileSystem, const std::string& path) const;
    bool isAbsolute(const std::string& directory) const;
    const std::string& lowerDirectory(const std::string& currentDirectory);
    bool expandPlaceholders(const std::string& currentDirectory, const std::string& name, std::string& account);
    // The system attribute of a placeholder's directory; directories are asked once per run.
    bool isSystemDirectory(std::string_view path, bool isDirectory);

    LoggerUnit& logger_;
    const ScanIdentity& identity_;
    const RuleTables& tables_;
    // Reused per call so that deciding about a file allocates nothing once warmed up.
    std::string path_;
    std::string lastDirectory_;
    std::string lastLowerDirectory_;
    std::map<std::string, bool, std::less<>> systemDirectories_;
};

}  // namespace Quilna
