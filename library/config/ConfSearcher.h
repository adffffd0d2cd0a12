#pragma once
#include "config/StringSearcher.h"

namespace Quilna {

// Cuts configuration text into words, quoted strings, comments, the delimiters = ( ) { } and
// newline, and whitespace runs (bytes up to 0x20 but newline; UTF-8 bytes from 0x80 up are text).
class ConfSearcher : public StringSearcher {
public:
    size_t findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const override;

    // Whether a significant token is a comment ("#...", "//...", "/*...*/").
    static bool isComment(const std::string& token);
    static bool isDelimiter(char c);
};

}  // namespace Quilna
