#pragma once
// The other way round: a fixed text against a pattern that grows at its end. The accounts rules
// ask whether a directory lies on the way to an account entry, matching the directory's path
// followed by "*" as a pattern against the entry: fed the path one byte at a time, the state
// tells after any of them whether that path followed by "*" matches the text, exactly as
// wildcardMatch would.
//
// The pattern's bytes are compared lower-cased (A to Z), the text as written.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna {

class WildcardText {
public:
    explicit WildcardText(std::string_view text);

    size_t stateWords() const { return words_; }
    void start(uint64_t* state) const;
    void feed(uint64_t* state, std::string_view pattern) const;
    // Whether the pattern fed so far, followed by "*", matches the text.
    bool matchesWithStar(const uint64_t* state) const;

private:
    size_t length_ = 0;             // of the text
    size_t words_ = 1;              // text positions 0..length, then the flag "inside a run of stars"
    std::vector<uint64_t> equals_;  // per byte: text positions holding that byte
    std::vector<uint64_t> valid_;   // text positions 0..length
};

}  // namespace Quilna
