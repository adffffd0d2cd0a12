#pragma once
// The keys of the configuration file that this program reads, in one list, and the search for
// entries in their blocks that no part of the program reads (a mistyped key would otherwise be
// ignored without a word and its setting left at its default).

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace Quilna {

class DOMNode;

namespace SettingKeys {

// Every key, as a dotted path.
std::span<const char* const> all();

// An entry of a known block (one that holds keys of the list) that is neither a key nor a block
// of the list; suggestion is the nearest known name of that block, or empty when none is close.
struct UnknownKey {
    std::string key;
    size_t line = 0;
    std::string suggestion;
};

// In the order of the file.
std::vector<UnknownKey> unknownKeys(const DOMNode& root);

// The candidate nearest to the name in edit distance, when at most about a third of the name
// differs; else empty. Names longer than a key can be are not compared.
std::string nearestName(const std::string& name, const std::vector<std::string>& candidates);

}  // namespace SettingKeys
}  // namespace Quilna
