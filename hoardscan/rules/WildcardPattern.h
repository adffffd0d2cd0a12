#pragma once
// A wildcard pattern compiled for a text that grows at its end, as a path grows directory by
// directory: the text's bytes are fed one at a time into a state, and after any of them the state
// tells whether the text so far matches the whole pattern, exactly as wildcardMatch would. So a
// deep directory is decided from its parent's state and its own name, never from its whole path.
//
// The text is compared lower-cased (A to Z), the pattern as written: the rules are lower-cased
// when they are read. The state is a set of pattern positions in stateWords() words.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hoardscan/rules/BitWords.h"

namespace Quilna {

class WildcardPattern {
public:
    explicit WildcardPattern(std::string_view pattern);

    size_t stateWords() const { return words_; }
    // The state of the empty text.
    void start(uint64_t* state) const;
    void feed(uint64_t* state, std::string_view text) const;
    // Whether the text that led to the state (at least one byte) matches.
    bool matches(const uint64_t* state) const;
    // No longer text can match. Asked of every rule for every name: inline.
    bool isDead(const uint64_t* state) const { return !matchesAll_ && BitWords::none(state, words_); }

private:
    // At a last "*": matches whatever is fed on.
    bool isSettled(const uint64_t* state) const;

    std::string simplified_;   // every run of "*" and "?" after a "*" is one "*"
    bool matchesAll_ = false;  // the pattern "*"
    // A pattern ending in "*": once its state holds that last position, every longer text matches
    // too (noNeed when it ends otherwise).
    static constexpr size_t noNeed = static_cast<size_t>(-1);
    size_t lastStar_ = noNeed;
    size_t words_ = 1;
    std::vector<uint64_t> stars_;     // positions holding "*"
    std::vector<uint64_t> advances_;  // per byte: positions that byte (or "?") steps over
};

}  // namespace Quilna
