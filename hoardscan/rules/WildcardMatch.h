#pragma once
// The one wildcard matcher of the rules: "*" matches any run of characters, "?" exactly one,
// every other byte itself. The whole text must match the whole pattern.

#include <string_view>

namespace Quilna {

// Case-sensitive. Quirks kept on purpose: a "*" swallows every "*" and "?" that follows it
// ("a*?b" acts as "a*b"); the pattern "*" alone matches the empty text, and apart from it an
// empty text matches nothing; "?" alone matches exactly one character.
bool wildcardMatch(std::string_view pattern, std::string_view text);

// As wildcardMatch with both sides lower-cased by the C locale's rules.
bool wildcardMatchNoCase(std::string_view pattern, std::string_view text);

}  // namespace Quilna
