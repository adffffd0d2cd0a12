#pragma once
// A set of small numbers kept in a few machine words (bit i of word i / 64): the states of the
// wildcard automata, which follow every position of a pattern or text at once.

#include <cstddef>
#include <cstdint>

namespace Quilna::BitWords {

constexpr size_t wordsFor(size_t bits) { return (bits + 63) / 64; }

inline bool test(const uint64_t* words, size_t bit) { return (words[bit / 64] >> (bit % 64)) & 1; }
inline void set(uint64_t* words, size_t bit) { words[bit / 64] |= uint64_t{1} << (bit % 64); }

inline bool none(const uint64_t* words, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (words[i]) return false;
    return true;
}

// words = (words & mask) << 1, carrying across words; the top bit of the last word falls off.
inline void maskAndShiftUp(uint64_t* words, const uint64_t* mask, size_t count) {
    uint64_t carry = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t masked = words[i] & mask[i];
        words[i] = (masked << 1) | carry;
        carry = masked >> 63;
    }
}

}  // namespace Quilna::BitWords
