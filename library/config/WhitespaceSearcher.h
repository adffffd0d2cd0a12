#pragma once
#include "config/StringSearcher.h"

namespace Quilna {

// Cuts text at whitespace (any byte below 33 taken as signed, newlines included), keeping a
// stretch between two `quote` characters together; the quotes stay in the token.
class WhitespaceSearcher : public StringSearcher {
public:
    size_t findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const override;
};

}  // namespace Quilna
