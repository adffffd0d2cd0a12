#include "hoardscan/rules/WildcardText.h"

#include "hoardscan/rules/BitWords.h"

namespace Quilna {

namespace {

char lowerByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

WildcardText::WildcardText(std::string_view text) : length_(text.size()) {
    // Positions 0..length of the text, and one more bit: the pattern ends in a run of stars.
    words_ = BitWords::wordsFor(length_ + 2);
    equals_.assign(256 * words_, 0);
    valid_.assign(words_, 0);
    for (size_t i = 0; i <= length_; ++i) BitWords::set(valid_.data(), i);
    for (size_t i = 0; i < length_; ++i)
        for (unsigned byte = 0; byte < 256; ++byte)
            if (lowerByte(static_cast<char>(byte)) == text[i]) BitWords::set(&equals_[byte * words_], i);
}

void WildcardText::start(uint64_t* state) const {
    for (size_t i = 0; i < words_; ++i) state[i] = 0;
    BitWords::set(state, 0);
}

void WildcardText::feed(uint64_t* state, std::string_view pattern) const {
    const size_t starFlag = length_ + 1;
    // No position reached: no pattern can match any more, whatever follows.
    if (BitWords::none(state, words_)) return;
    for (char c : pattern) {
        const bool inStars = BitWords::test(state, starFlag);
        if (c == '*') {
            // Every text position from the first one reached on.
            size_t first = 0;
            while (first <= length_ && !BitWords::test(state, first)) ++first;
            if (first > length_) return;  // nothing reached: no pattern can match any more
            for (size_t i = first; i <= length_; ++i) BitWords::set(state, i);
            BitWords::set(state, starFlag);
            continue;
        }
        // wildcardMatch lets a "*" swallow every "?" right after it.
        if (c == '?' && inStars) continue;
        BitWords::maskAndShiftUp(state, c == '?' ? valid_.data() : &equals_[static_cast<unsigned char>(c) * words_],
                                 words_);
        // The text's end cannot step further, and the star flag is no position.
        uint64_t alive = 0;
        for (size_t i = 0; i < words_; ++i) alive |= state[i] &= valid_[i];
        if (!alive) return;
    }
}

bool WildcardText::matchesWithStar(const uint64_t* state) const {
    // An empty text matches no pattern but "*" alone, and the pattern here holds more.
    if (length_ == 0) return false;
    for (size_t i = 0; i < words_; ++i)
        if (state[i] & valid_[i]) return true;
    return false;
}

}  // namespace Quilna
