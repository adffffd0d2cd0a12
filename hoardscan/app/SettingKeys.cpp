#include "hoardscan/app/SettingKeys.h"

#include <algorithm>
#include <iterator>

#include "config/DOMNode.h"

namespace Quilna::SettingKeys {

namespace {

// One key a line, so that the documentation can be checked against this list.
const char* const keys[] = {
    "Quilna.directories.conf",
    "Quilna.directories.log",
    "Quilna.directories.rules",
    "Quilna.directories.data",
    "log.time",
    "log.syslog",
    "log.rotation.scheme",
    "log.rotation.time",
    "log.rotation.size",
    "log.rotation.keep",
    "log.global.severity",
    "log.global.debug-level",
    "hoardscan.log.debug-level",
    "hoardscan.log.repeated-messages",
    "hoardscan.working-dir",
    "hoardscan.temp-dir",
    "hoardscan.filesystems",
    "hoardscan.hoardscan",
    "hoardscan.filename",
    "hoardscan.temperatures",
    "hoardscan.extension",
    "hoardscan.inactive-log",
    "hoardscan.inactive-log-limit",
    "hoardscan.temperature-log",
    "hoardscan.temperature-monitor",
    "hoardscan.temperature-monitor-size",
    "hoardscan.user-dirs",
    "hoardscan.filetype",
    "hoardscan.buffer",
    "hoardscan.read-ahead",
    "hoardscan.filesystems-in-parallel",
    "hoardscan.keep-results",
    "hoardscan.directory-totals",
    "hoardscan.directory-totals-size",
    "hoardscan.mft",
};

constexpr size_t longestCompared = 64;

std::string parentOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(0, dot);
}

// Whether the key lies within the block.
bool leadsFrom(const std::string& key, const std::string& block) {
    return key.size() > block.size() && key.compare(0, block.size(), block) == 0 && key[block.size()] == '.';
}

// Whether the path is a key's block or one of the blocks around it.
bool leadsToKeys(const std::string& path) {
    return std::any_of(std::begin(keys), std::end(keys), [&](const char* key) { return leadsFrom(key, path); });
}

bool isKey(const std::string& path) {
    return std::any_of(std::begin(keys), std::end(keys), [&](const char* key) { return path == key; });
}

bool holdsKeys(const std::string& block) {
    return std::any_of(std::begin(keys), std::end(keys), [&](const char* key) { return parentOf(key) == block; });
}

// The names of the keys and blocks directly in a block ("": the top level).
std::vector<std::string> namesIn(const std::string& block) {
    std::vector<std::string> names;
    for (const char* key : keys) {
        std::string rest = key;
        if (!block.empty()) {
            if (!leadsFrom(rest, block)) continue;
            rest.erase(0, block.size() + 1);
        }
        rest = rest.substr(0, rest.find('.'));
        if (std::find(names.begin(), names.end(), rest) == names.end()) names.push_back(rest);
    }
    return names;
}

// Levenshtein distance of two short texts, one row at a time.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Other programs' blocks may stand beside ours at the top level: only a name close to one of
// ours is taken for a mistyped one there.
void collect(const DOMNode& block, const std::string& path, std::vector<UnknownKey>& out) {
    const bool checked = holdsKeys(path);
    for (const DOMNode* child = block.firstChild(); child; child = child->nextSibling()) {
        const std::string childPath = path.empty() ? child->name() : path + "." + child->name();
        if (leadsToKeys(childPath)) {
            collect(*child, childPath, out);
            continue;
        }
        const std::string nearest = nearestName(child->name(), namesIn(path));
        if ((checked && !isKey(childPath)) || (path.empty() && !nearest.empty()))
            out.push_back({childPath, child->line(), nearest});
    }
}

}  // namespace

std::span<const char* const> all() { return keys; }

std::vector<UnknownKey> unknownKeys(const DOMNode& root) {
    std::vector<UnknownKey> found;
    collect(root, std::string(), found);
    return found;
}

std::string nearestName(const std::string& name, const std::vector<std::string>& candidates) {
    if (name.size() > longestCompared) return std::string();
    std::string nearest;
    size_t best = std::max<size_t>(1, name.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        if (const size_t distance = editDistance(name, candidate); distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest;
}

}  // namespace Quilna::SettingKeys
