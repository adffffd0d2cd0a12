#include "hoardscan/rules/PathRules.h"

#include "hoardscan/rules/WildcardMatch.h"

namespace Quilna {

PathRules::PathRules(const RuleTables& tables, const ScanIdentity& identity, const std::string& fileSystem)
    : hasSites_(!tables.sites.empty()) {
    // Host and file system are the same for every path of the walk: only the rules they let
    // through are compiled, in file order.
    for (const FileSystemRule& rule : tables.fileSystems) {
        if (!wildcardMatch(rule.host, identity.hostName) || !wildcardMatch(rule.fileSystem, fileSystem)) continue;
        fileSystemRules_.push_back(FileSystemPattern{&rule, WildcardPattern(rule.path), words_});
        words_ += fileSystemRules_.back().pattern.stateWords();
    }
    for (const SiteRule& siteRule : tables.sites) {
        Site site;
        site.matchesDomain = wildcardMatch(siteRule.name, identity.domain);
        site.excludes = siteRule.excludes;
        site.firstEntry = entries_.size();
        for (const HostRule& host : siteRule.hosts) {
            if (!site.matchesDomain || !wildcardMatch(host.name, identity.hostName)) continue;
            for (const AccountEntry& entry : host.entries) {
                entries_.push_back(Entry{&entry, WildcardPattern(entry.dir), WildcardText(entry.dir), 0, 0});
                Entry& added = entries_.back();
                added.patternAt = words_;
                words_ += added.pattern.stateWords();
                added.textAt = words_;
                words_ += added.text.stateWords();
            }
        }
        site.endEntry = entries_.size();
        sites_.push_back(std::move(site));
    }
}

void PathRules::start(Probe& state) const {
    state.assign(words_, 0);
    for (const FileSystemPattern& rule : fileSystemRules_) rule.pattern.start(&state[rule.at]);
    for (const Entry& entry : entries_) {
        entry.pattern.start(&state[entry.patternAt]);
        entry.text.start(&state[entry.textAt]);
    }
}

void PathRules::feed(Probe& state, std::string_view text) const {
    feedFileName(state, text);
    for (const Entry& entry : entries_) {
        if (!entry.pattern.isDead(&state[entry.patternAt])) entry.pattern.feed(&state[entry.patternAt], text);
        entry.text.feed(&state[entry.textAt], text);
    }
}

void PathRules::feedFileName(Probe& state, std::string_view name) const {
    // A rule that can match no longer path is left alone: most rules die within the first
    // components of a path.
    for (const FileSystemPattern& rule : fileSystemRules_)
        if (!rule.pattern.isDead(&state[rule.at])) rule.pattern.feed(&state[rule.at], name);
}

PathRules::State PathRules::keep(const Probe& state, const State& parent) const {
    if (parent && *parent == state) return parent;
    return std::make_shared<const Probe>(state);
}

const FileSystemRule* PathRules::firstFileSystemRule(const Probe& state) const {
    for (const FileSystemPattern& rule : fileSystemRules_)
        if (rule.pattern.matches(&state[rule.at])) return rule.rule;
    return nullptr;
}

bool PathRules::isAccountedDirectory(const Probe& state) const {
    if (!hasSites_) return true;
    for (const Entry& entry : entries_)
        if (entry.text.matchesWithStar(&state[entry.textAt]) || entry.pattern.matches(&state[entry.patternAt]))
            return true;
    return false;
}

const AccountEntry* PathRules::accountEntry(const Probe& directory, std::string_view name, Trace* trace) const {
    for (const Site& site : sites_) {
        if (!site.matchesDomain) {
            if (trace) trace->siteMismatch();
            continue;
        }
        for (const std::string& exclude : site.excludes) {
            if (wildcardMatch(exclude, name)) {
                if (trace) trace->excludedByName();
                return nullptr;
            }
        }
        for (size_t i = site.firstEntry; i < site.endEntry; ++i)
            if (entries_[i].pattern.matches(&directory[entries_[i].patternAt])) return entries_[i].rule;
    }
    return nullptr;
}

}  // namespace Quilna
