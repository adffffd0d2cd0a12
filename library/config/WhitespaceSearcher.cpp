#include "config/WhitespaceSearcher.h"

#include "text/StringUtils.h"

namespace Quilna {

using StringUtils::isBlank;

size_t WhitespaceSearcher::findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const {
    const size_t end = windowEnd(text, start, count);
    if (start >= end) return npos;
    size_t p = start;
    if (isBlank(text[start])) {
        while (p < end && isBlank(text[p])) ++p;
        significant = 0;
        return p;
    }
    bool quoted = false;
    for (; p < end; ++p) {
        if (text[p] == quote) quoted = !quoted;
        else if (!quoted && isBlank(text[p])) break;
    }
    significant = 1;
    return p;
}

}  // namespace Quilna
