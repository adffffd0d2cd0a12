#pragma once
// The rules that decide about paths in one walk, compiled so that a directory is decided from its
// parent's state and its own name, whatever the depth: the file systems file's rules for this
// computer and file system, and the accounts file's entries for this domain and computer. Every
// question is a const function of a state, so threads reading ahead of the walk may ask as well.
//
// A state is a path fed byte by byte into every rule at once (paths lower-cased, as the rules are).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hoardscan/rules/RuleTables.h"
#include "hoardscan/app/ScanIdentity.h"
#include "hoardscan/rules/WildcardPattern.h"
#include "hoardscan/rules/WildcardText.h"

namespace Quilna {

class PathRules {
public:
    // A path's state while it is worked on.
    using Probe = std::vector<uint64_t>;
    // A directory's state, kept: a subdirectory whose name changes nothing shares its parent's.
    using State = std::shared_ptr<const Probe>;

    // What accountEntry met on its way, for the debug lines of a caller that wants them.
    class Trace {
    public:
        virtual ~Trace() = default;
        virtual void siteMismatch() = 0;
        virtual void excludedByName() = 0;
    };

    PathRules(const RuleTables& tables, const ScanIdentity& identity, const std::string& fileSystem);
    PathRules(const PathRules&) = delete;
    PathRules& operator=(const PathRules&) = delete;

    // The state of the empty path, and a path fed on.
    void start(Probe& state) const;
    void feed(Probe& state, std::string_view text) const;
    // A file's name fed on its directory's state: only what firstFileSystemRule asks (the account
    // entries match the directory, not the file).
    void feedFileName(Probe& state, std::string_view name) const;
    State keep(const Probe& state, const State& parent) const;

    // The first rule of the file systems file that matches the path, or null.
    const FileSystemRule* firstFileSystemRule(const Probe& state) const;
    // A directory (its path ending in the separator) that holds an account entry or lies on the
    // way to one; every directory when the accounts file has no sites.
    bool isAccountedDirectory(const Probe& state) const;
    // The entry that charges a file of the directory, or null: the first site matching the
    // domain whose exclusions pass the name and which has an entry matching the directory.
    const AccountEntry* accountEntry(const Probe& directory, std::string_view name, Trace* trace) const;
    bool hasSites() const { return hasSites_; }

private:
    struct Site {
        bool matchesDomain = false;
        std::vector<std::string> excludes;
        size_t firstEntry = 0, endEntry = 0;  // its entries in entries_
    };
    struct Entry {
        const AccountEntry* rule;
        WildcardPattern pattern;  // the entry's directory as a pattern over the path
        WildcardText text;        // the path followed by "*" as a pattern over the entry
        size_t patternAt, textAt;
    };
    struct FileSystemPattern {
        const FileSystemRule* rule;
        WildcardPattern pattern;
        size_t at;
    };

    std::vector<FileSystemPattern> fileSystemRules_;
    std::vector<Site> sites_;
    std::vector<Entry> entries_;
    size_t words_ = 0;
    bool hasSites_ = false;
};

}  // namespace Quilna
