#pragma once
#include "config/StringSearcher.h"

namespace Quilna {

// Cuts text at whitespace (any byte up to 0x20, newlines included; UTF-8 bytes from 0x80 up are
// text), keeping a stretch between two `quote` characters together; the quotes stay in the token.
class WhitespaceSearcher : public StringSearcher {
public:
    size_t findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const override;
};

}  // namespace Quilna
