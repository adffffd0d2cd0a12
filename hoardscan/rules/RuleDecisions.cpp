#include "hoardscan/rules/RuleDecisions.h"

#include <algorithm>

#include "files/FileOps.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/rules/WildcardMatch.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"

namespace Quilna {

using namespace StringUtils;

namespace {

// A file's path as its directory and its name, never joined: a deep directory's path is long,
// and the placeholders need only its first components.
struct FilePath {
    std::string_view directory, name;

    size_t size() const { return directory.size() + name.size(); }
    char operator[](size_t i) const { return i < directory.size() ? directory[i] : name[i - directory.size()]; }
    size_t find(char c, size_t from) const {
        if (from < directory.size()) {
            const size_t found = directory.find(c, from);
            if (found != std::string_view::npos) return found;
            from = directory.size();
        }
        const size_t found = name.find(c, from - directory.size());
        return found == std::string_view::npos ? found : found + directory.size();
    }
    void append(std::string& out, size_t begin, size_t end) const {
        if (begin < directory.size()) {
            const size_t inDirectory = std::min(end, directory.size()) - begin;
            out.append(directory, begin, inDirectory);
            begin += inDirectory;
        }
        if (begin < end) out.append(name, begin - directory.size(), end - begin);
    }
    std::string whole() const {
        std::string text;
        append(text, 0, size());
        return text;
    }
};

// Where one placeholder's component lies in the path (current directory text + name).
struct Component {
    uint64_t pieces = 0;  // pieces of the split into at most N + 1
    size_t begin = 0;     // the N-th piece, as positions in the path
    size_t end = 0;
    bool network = false;    // piece 1 of a "\\server" path gets the "\\" back
    bool wholePath = false;  // the N-th piece is the last one: the prefix is the file itself
};

Component findComponent(const FilePath& path, uint64_t n, const PathSyntax& syntax) {
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

RuleDecisions::RuleDecisions(FileSystem& files, const PathSyntax& syntax, LoggerUnit& logger,
                             const ScanIdentity& identity, const RuleTables& tables)
    : files_(files), syntax_(syntax), logger_(logger), identity_(identity), tables_(tables) {}

std::unique_ptr<PathRules> RuleDecisions::compile(const std::string& fileSystem) const {
    return std::make_unique<PathRules>(tables_, identity_, fileSystem);
}

void RuleDecisions::stateOf(const PathRules& rules, std::string_view path, PathRules::Probe& state) const {
    rules.start(state);
    rules.feed(state, path);
}

bool RuleDecisions::isAbsolute(const std::string& directory) const {
    if (!syntax_.driveLetters) return !directory.empty() && directory[0] == syntax_.separator;
    if (directory.size() <= 1) return false;
    if (syntax_.networkPaths && directory[0] == syntax_.separator && directory[1] == syntax_.separator) return true;
    const char driveRoot[] = {':', syntax_.separator, '\0'};
    return directory.find(driveRoot) != std::string::npos;
}

bool RuleDecisions::isExcludedTree(const std::string& parentDirectory, const std::string& directory,
                                   const std::string& fileSystem) {
    path_.clear();
    if (!isAbsolute(directory)) path_ = parentDirectory;
    path_ += directory;
    const std::unique_ptr<PathRules> rules = compile(fileSystem);
    stateOf(*rules, path_, probe_);
    const FileSystemRule* rule = rules->firstFileSystemRule(probe_);
    if (!rule || !rule->excludeAll) return false;
    if (LoggerUnit::isDebugOn(5)) reportExcludedTree(*rule, toLower(path_));
    return true;
}

void RuleDecisions::reportExcludedTree(const FileSystemRule& rule, const std::string& lowerPath) {
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "   System \"%s\" was excluded because of \"%s:%s:%s exclude_all\".",
                      ParamStream() << lowerPath << rule.host << rule.fileSystem << rule.path);
}

bool RuleDecisions::isIncludedFile(const FileSystemRule* firstRule, const std::string& currentDirectory,
                                   const std::string& name) {
    if (!firstRule || firstRule->include) return true;
    // The word "exclude" also for an exclude_all rule, as the line has always read.
    if (LoggerUnit::isDebugOn(5)) {
        path_.assign(currentDirectory).append(name);
        logger_.debug(5, "   File \"%s\" was excluded because of \"%s:%s:%s exclude\".",
                      ParamStream() << toLower(path_) << firstRule->host << firstRule->fileSystem << firstRule->path);
    }
    return false;
}

namespace {

// The debug lines of the accounts file's sites, as the search meets them.
class AccountTrace : public PathRules::Trace {
public:
    explicit AccountTrace(LoggerUnit& logger) : logger_(logger) {}
    void siteMismatch() override { logger_.debug(5, "      Mismatching site."); }
    void excludedByName() override { logger_.debug(5, "      Excluded."); }

private:
    LoggerUnit& logger_;
};

}  // namespace

bool RuleDecisions::accountOf(const PathRules& rules, const PathRules::Probe& directoryState, const AccountEntry* entry,
                              const std::string& currentDirectory, const std::string& name, std::string& account,
                              std::string& site) {
    if (!rules.hasSites()) {
        account = "undef";
        site = identity_.domain;
        return true;
    }
    if (LoggerUnit::isDebugOn(5)) {
        AccountTrace trace(logger_);
        rules.accountEntry(directoryState, name, &trace);
    }
    if (!entry) return false;
    site = identity_.domain;
    Expansion& last = lastExpansion_;
    if (last.valid && last.pattern == entry->account && last.directory == currentDirectory) {
        account = last.account;
        return true;
    }
    account = entry->account;
    bool reusable = true;
    if (!expandPlaceholders(currentDirectory, name, account, reusable)) return false;
    last.valid = reusable;
    if (reusable) {
        last.pattern = entry->account;
        last.directory = currentDirectory;
        last.account = account;
    }
    return true;
}

// Replaces each "%N%" by the N-th component of the file's path, counted from 1 ("c:" or the
// empty piece before a leading "/"). A component beyond the path's depth, or N = 0, gives
// "UNDEF"; an unpaired "%" stays as written. A component whose prefix carries the system
// attribute excludes the file.
bool RuleDecisions::expandPlaceholders(const std::string& currentDirectory, const std::string& name,
                                       std::string& account, bool& reusable) {
    size_t start = account.find('%');
    while (start != std::string::npos) {
        size_t close = account.find('%', start + 1);
        if (close == std::string::npos) break;
        uint64_t n = leadingDigits(std::string_view(account).substr(start + 1, close - start - 1));
        account.erase(start, close - start + 1);
        const FilePath path{currentDirectory, name};
        Component component = findComponent(path, n, syntax_);
        if (n == 0 || component.pieces < n) {
            logger_.warning(Message::PlaceholderTooDeep, ParamStream()
                                                             << static_cast<unsigned long long>(n) << path.whole()
                                                             << static_cast<unsigned long long>(component.pieces));
            reusable = false;
            account.insert(start, "UNDEF");
            start = account.find('%', start + 5);
            continue;
        }
        if (component.wholePath) reusable = false;
        path_.clear();
        path.append(path_, 0, component.end);
        if (isSystemDirectory(path_, !component.wholePath)) {
            logger_.debug(5, "      System directory. Excluded.");
            return false;
        }
        size_t inserted = component.end - component.begin;
        account.insert(start, path_, component.begin, inserted);
        if (component.network && n == 1) {
            account.insert(start, 2, syntax_.separator);
            inserted += 2;
        }
        start = account.find('%', start + inserted);
    }
    return true;
}

bool RuleDecisions::hasSystemAttribute(std::string_view path) const {
    FileStatus status;
    return FileOps::fileStatus(files_, std::string(path), status) && (status.attributes & FileAttribute::System);
}

bool RuleDecisions::isSystemDirectory(std::string_view path, bool isDirectory) {
    if (path.empty()) return false;
    if (isDirectory) {
        auto known = systemDirectories_.find(path);
        if (known == systemDirectories_.end()) known = systemDirectories_.emplace(path, hasSystemAttribute(path)).first;
        return known->second;
    }
    // The prefix of the file itself changes with every file: not worth keeping.
    return hasSystemAttribute(path);
}

}  // namespace Quilna
