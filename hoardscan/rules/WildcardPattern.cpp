#include "hoardscan/rules/WildcardPattern.h"

namespace Quilna {

namespace {

char lowerByte(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

}  // namespace

WildcardPattern::WildcardPattern(std::string_view pattern) : matchesAll_(pattern == "*") {
    // wildcardMatch lets a "*" swallow every "*" and "?" right after it.
    for (size_t i = 0; i < pattern.size(); ++i) {
        simplified_.push_back(pattern[i]);
        if (pattern[i] != '*') continue;
        while (i + 1 < pattern.size() && (pattern[i + 1] == '*' || pattern[i + 1] == '?')) ++i;
    }
    if (!simplified_.empty() && simplified_.back() == '*') lastStar_ = simplified_.size() - 1;
    const size_t positions = simplified_.size() + 1;
    words_ = BitWords::wordsFor(positions);
    stars_.assign(words_, 0);
    advances_.assign(256 * words_, 0);
    for (size_t i = 0; i < simplified_.size(); ++i) {
        const char at = simplified_[i];
        if (at == '*') {
            BitWords::set(stars_.data(), i);
            continue;
        }
        for (unsigned byte = 0; byte < 256; ++byte)
            if (at == '?' || lowerByte(static_cast<unsigned char>(byte)) == at)
                BitWords::set(&advances_[byte * words_], i);
    }
}

void WildcardPattern::start(uint64_t* state) const {
    for (size_t i = 0; i < words_; ++i) state[i] = 0;
    BitWords::set(state, 0);
    if (!simplified_.empty() && simplified_[0] == '*') BitWords::set(state, 1);
}

void WildcardPattern::feed(uint64_t* state, std::string_view text) const {
    // "*" matches whatever follows, as does a text that has reached a last "*"; a dead state
    // stays dead.
    if (matchesAll_ || isSettled(state)) return;
    for (char c : text) {
        const uint64_t* advance = &advances_[static_cast<unsigned char>(c) * words_];
        // A position steps over the byte, or stays on a "*"; a position after a "*" is reached
        // at once (no two stars follow each other in the simplified pattern).
        uint64_t carry = 0, starCarry = 0, alive = 0;
        for (size_t i = 0; i < words_; ++i) {
            const uint64_t old = state[i];
            const uint64_t stepped = old & advance[i];
            uint64_t next = (stepped << 1) | carry | (old & stars_[i]);
            carry = stepped >> 63;
            const uint64_t onStar = next & stars_[i];
            next |= (onStar << 1) | starCarry;
            starCarry = onStar >> 63;
            state[i] = next;
            alive |= next;
        }
        if (!alive || isSettled(state)) return;
    }
}

bool WildcardPattern::isSettled(const uint64_t* state) const {
    return lastStar_ != noNeed && BitWords::test(state, lastStar_);
}

bool WildcardPattern::matches(const uint64_t* state) const {
    return matchesAll_ || BitWords::test(state, simplified_.size());
}

}  // namespace Quilna
