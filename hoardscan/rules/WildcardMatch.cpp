#include "hoardscan/rules/WildcardMatch.h"

#include <cctype>

namespace Quilna {

namespace {

struct SameByte {
    bool operator()(char a, char b) const { return a == b; }
};

struct SameLetter {
    bool operator()(char a, char b) const {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    }
};

// Cases decided by the pattern as written, before any simplification.
// Returns 1 for a match, 0 for none, -1 when the general matcher must decide.
int specialCase(std::string_view pattern, std::string_view text) {
    if (pattern == "*") return 1;
    if (pattern == "?") return text.size() == 1 ? 1 : 0;
    if (text.empty()) return 0;
    if (pattern == "?*") return 1;
    return -1;
}

// Position after a "*" at p and every "*" or "?" that directly follows it: the simplified
// pattern keeps only that first "*".
size_t skipStarRun(std::string_view pattern, size_t p) {
    ++p;
    while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '?')) ++p;
    return p;
}

// Greedy two-pointer match with one backtrack point: the last "*" seen. A later "*" makes the
// earlier one irrelevant, so the cost stays about linear in practice and never exponential.
template <typename Same>
bool matchSimplified(std::string_view pattern, std::string_view text, Same same) {
    constexpr size_t none = std::string_view::npos;
    size_t p = 0;
    size_t t = 0;
    size_t resume = none;  // pattern position after the last star run
    size_t anchor = 0;     // text position that star run currently stretches to
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            p = skipStarRun(pattern, p);
            if (p == pattern.size()) return true;
            resume = p;
            anchor = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (resume != none) {
            p = resume;
            t = ++anchor;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') p = skipStarRun(pattern, p);
    return p == pattern.size();
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view text) {
    int decided = specialCase(pattern, text);
    if (decided >= 0) return decided == 1;
    return matchSimplified(pattern, text, SameByte{});
}

bool wildcardMatchNoCase(std::string_view pattern, std::string_view text) {
    // Lower-casing leaves "*" and "?" alone, so the special cases are the same.
    int decided = specialCase(pattern, text);
    if (decided >= 0) return decided == 1;
    return matchSimplified(pattern, text, SameLetter{});
}

}  // namespace Quilna
