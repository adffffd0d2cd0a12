#pragma once
#include <cstdint>
#include <string>

namespace Quilna {

// Decides where tokens end for a Tokenizer. A window of `count` characters from `start`
// (clamped to the text; npos means to the end) limits how far a searcher looks.
class StringSearcher {
public:
    static constexpr size_t npos = std::string::npos;

    virtual ~StringSearcher() = default;

    // Position just after the token that begins at start, or npos when there is none;
    // `significant` receives 0 for a whitespace token and 1 otherwise.
    virtual size_t findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const = 0;

    char quote = '"';

protected:
    // End of the window, never beyond the text.
    static size_t windowEnd(const std::string& text, size_t start, size_t count) {
        if (start >= text.size()) return text.size();
        return count >= text.size() - start ? text.size() : start + count;
    }
};

}  // namespace Quilna
