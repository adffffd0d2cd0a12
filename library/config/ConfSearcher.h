#pragma once
#include "config/StringSearcher.h"

namespace Quilna {

// Cuts configuration text into words, quoted strings, comments, the delimiters = ( ) { } and
// newline, and whitespace runs. Bytes from 0x80 up count as whitespace outside quotes.
class ConfSearcher : public StringSearcher {
public:
    size_t findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const override;

    // Whether a significant token is a comment ("#...", "//...", "/*...*/").
    static bool isComment(const std::string& token);
    static bool isDelimiter(char c);
};

}  // namespace Quilna
