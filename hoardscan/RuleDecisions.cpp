#include "hoardscan/RuleDecisions.h"

#include "common/FileOps.h"
#include "common/StringUtils.h"
#include "hoardscan/MessageNumbers.h"
#include "hoardscan/WildcardMatch.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna {

using namespace StringUtils;

namespace {

// Where one placeholder's component lies in the path (current directory text + name).
struct Component {
    uint64_t pieces = 0;       // pieces of the split into at most N + 1
    size_t begin = 0;          // the N-th piece, as positions in the path
    size_t end = 0;
    bool network = false;      // piece 1 of a "\\server" path gets the "\\" back
    bool wholePath = false;    // the N-th piece is the last one: the prefix is the file itself
};

Component findComponent(std::string_view path, uint64_t n, const PathSyntax& syntax) {
    Component found;
    size_t start = 0;
    if (syntax.networkPaths && path.size() >= 3 && path[0] == syntax.separator && path[1] == syntax.separator) {
        found.network = true;
        start = 2;
    }
    if (n == 0) {  // a split into one piece, the whole path
        found.pieces = 1;
        return found;
    }
    size_t pieceBegin = start;
    for (uint64_t piece = 1;; ++piece) {
        size_t separator = path.find(syntax.separator, pieceBegin);
        found.pieces = piece;
        if (piece == n) {
            found.begin = pieceBegin;
            found.end = separator == std::string_view::npos ? path.size() : separator;
            found.wholePath = separator == std::string_view::npos;
            return found;
        }
        if (separator == std::string_view::npos) return found;
        pieceBegin = separator + 1;
    }
}

}  // namespace

RuleDecisions::RuleDecisions(LoggerUnit& logger, const ScanIdentity& identity, const RuleTables& tables)
    : logger_(logger), identity_(identity), tables_(tables) {}

const FileSystemRule* RuleDecisions::firstFileSystemRule(const std::string& fileSystem,
                                                          const std::string& path) const {
    for (const FileSystemRule& rule : tables_.fileSystems)
        if (wildcardMatch(rule.host, identity_.hostName) && wildcardMatch(rule.fileSystem, fileSystem) &&
            wildcardMatch(rule.path, path))
            return &rule;
    return nullptr;
}

bool RuleDecisions::isAbsolute(const std::string& directory) const {
    const PathSyntax& syntax = platform().pathSyntax();
    if (!syntax.driveLetters) return !directory.empty() && directory[0] == syntax.separator;
    if (directory.size() <= 1) return false;
    if (syntax.networkPaths && directory[0] == syntax.separator && directory[1] == syntax.separator) return true;
    const char driveRoot[] = {':', syntax.separator, '\0'};
    return directory.find(driveRoot) != std::string::npos;
}

bool RuleDecisions::isExcludedTree(const std::string& parentDirectory, const std::string& directory,
                                   const std::string& fileSystem) {
    path_.clear();
    if (!isAbsolute(directory)) path_ = parentDirectory;
    path_ += directory;
    toLower(path_);
    const FileSystemRule* rule = firstFileSystemRule(fileSystem, path_);
    if (!rule || !rule->excludeAll) return false;
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "   System \"%s\" was excluded because of \"%s:%s:%s exclude_all\".",
                      ParamStream() << path_ << rule->host << rule->fileSystem << rule->path);
    return true;
}

bool RuleDecisions::isIncludedFile(const std::string& currentDirectory, const std::string& name,
                                   const std::string& fileSystem) {
    path_.assign(currentDirectory).append(name);
    toLower(path_);
    const FileSystemRule* rule = firstFileSystemRule(fileSystem, path_);
    if (!rule || rule->include) return true;
    // The word "exclude" also for an exclude_all rule, as the line has always read.
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "   File \"%s\" was excluded because of \"%s:%s:%s exclude\".",
                      ParamStream() << path_ << rule->host << rule->fileSystem << rule->path);
    return false;
}

const std::string& RuleDecisions::lowerDirectory(const std::string& currentDirectory) {
    if (currentDirectory != lastDirectory_) {
        lastDirectory_ = currentDirectory;
        lastLowerDirectory_ = currentDirectory;
        toLower(lastLowerDirectory_);
    }
    return lastLowerDirectory_;
}

bool RuleDecisions::isAccountedDirectory(const std::string& currentDirectory) {
    if (tables_.sites.empty()) return true;
    const std::string& directory = lowerDirectory(currentDirectory);
    // The directory followed by "*" matches entry directories below it: it is on their way.
    path_.assign(directory).append(1, '*');
    for (const SiteRule& site : tables_.sites) {
        if (!wildcardMatch(site.name, identity_.domain)) continue;
        for (const HostRule& host : site.hosts) {
            if (!wildcardMatch(host.name, identity_.hostName)) continue;
            for (const AccountEntry& entry : host.entries)
                if (wildcardMatch(path_, entry.dir) || wildcardMatch(entry.dir, directory)) return true;
        }
    }
    return false;
}

bool RuleDecisions::accountOf(const std::string& currentDirectory, const std::string& name, std::string& account,
                              std::string& site) {
    if (tables_.sites.empty()) {
        account = "undef";
        site = identity_.domain;
        return true;
    }
    const std::string& directory = lowerDirectory(currentDirectory);
    for (const SiteRule& siteRule : tables_.sites) {
        if (!wildcardMatch(siteRule.name, identity_.domain)) {
            logger_.debug(5, "      Mismatching site.");
            continue;
        }
        for (const std::string& exclude : siteRule.excludes) {
            if (wildcardMatch(exclude, name)) {
                logger_.debug(5, "      Excluded.");
                return false;
            }
        }
        for (const HostRule& host : siteRule.hosts) {
            if (!wildcardMatch(host.name, identity_.hostName)) continue;
            for (const AccountEntry& entry : host.entries) {
                if (!wildcardMatch(entry.dir, directory)) continue;
                account = entry.account;
                site = identity_.domain;
                return expandPlaceholders(currentDirectory, name, account);
            }
        }
    }
    return false;
}

// Replaces each "%N%" by the N-th component of the file's path, counted from 1 ("c:" or the
// empty piece before a leading "/"). A component beyond the path's depth, or N = 0, gives
// "UNDEF"; an unpaired "%" stays as written. A component whose prefix carries the system
// attribute excludes the file.
bool RuleDecisions::expandPlaceholders(const std::string& currentDirectory, const std::string& name,
                                       std::string& account) {
    const PathSyntax& syntax = platform().pathSyntax();
    size_t start = account.find('%');
    while (start != std::string::npos) {
        size_t close = account.find('%', start + 1);
        if (close == std::string::npos) break;
        uint64_t n = leadingDigits(std::string_view(account).substr(start + 1, close - start - 1));
        account.erase(start, close - start + 1);
        path_.assign(currentDirectory).append(name);
        Component component = findComponent(path_, n, syntax);
        if (n == 0 || component.pieces < n) {
            logger_.warning(Message::PlaceholderTooDeep,
                            ParamStream() << static_cast<unsigned long long>(n) << path_
                                          << static_cast<unsigned long long>(component.pieces));
            account.insert(start, "UNDEF");
            start = account.find('%', start + 5);
            continue;
        }
        if (isSystemDirectory(std::string_view(path_).substr(0, component.end), !component.wholePath)) {
            logger_.debug(5, "      System directory. Excluded.");
            return false;
        }
        size_t inserted = component.end - component.begin;
        account.insert(start, path_, component.begin, inserted);
        if (component.network && n == 1) {
            account.insert(start, 2, syntax.separator);
            inserted += 2;
        }
        start = account.find('%', start + inserted);
    }
    return true;
}

bool RuleDecisions::isSystemDirectory(std::string_view path, bool isDirectory) {
    if (path.empty()) return false;
    if (isDirectory) {
        auto known = systemDirectories_.find(path);
        if (known != systemDirectories_.end()) return known->second;
    }
    FileStatus status;
    bool system = FileOps::fileStatus(std::string(path), status) && (status.attributes & FileAttribute::System);
    // The prefix of the file itself changes with every file: not worth keeping.
    if (isDirectory) systemDirectories_.emplace(path, system);
    return system;
}

}  // namespace Quilna
