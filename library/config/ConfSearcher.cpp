#include "config/ConfSearcher.h"

#include <cstring>

#include "text/StringUtils.h"

namespace Quilna {

namespace {
// Every operator of the configuration syntax is one of these single characters, so a
// delimiter always forms a token of its own.
constexpr char delimiters[] = "=(){}\n";

bool isSpace(char c) { return StringUtils::isBlank(c) && c != '\n'; }

size_t findNewline(const std::string& text, size_t from, size_t end) {
    for (size_t p = from; p < end; ++p)
        if (text[p] == '\n') return p;
    return end;
}

// A quoted string from its opening quote: a backslash escapes the next character.
size_t quotedEnd(const std::string& text, size_t start, size_t end) {
    const char opening = text[start];
    for (size_t p = start + 1; p < end; ++p) {
        if (text[p] == '\\') {
            ++p;
            continue;
        }
        if (text[p] == opening) return p + 1;
    }
    return end;
}

// "//" up to the line end, leaving a carriage return before the newline outside.
size_t lineCommentEnd(const std::string& text, size_t start, size_t end) {
    size_t newline = findNewline(text, start + 2, end);
    if (newline < end && newline > start + 2 && text[newline - 1] == '\r') return newline - 1;
    return newline;
}

// "/*" through the next "*/", or the rest of the window when it is not closed.
size_t blockCommentEnd(const std::string& text, size_t start, size_t end) {
    for (size_t p = start + 2; p + 1 < end; ++p)
        if (text[p] == '*' && text[p + 1] == '/') return p + 2;
    return end;
}

// A word, a quoted string, a comment or a delimiter, beginning at start.
size_t significantEnd(const std::string& text, size_t start, size_t end) {
    for (size_t p = start; p < end; ++p) {
        const char c = text[p];
        if (c == '"' || c == '\'') return p > start ? p : quotedEnd(text, start, end);
        if (c == '\n' || ConfSearcher::isDelimiter(c)) return p > start ? p : p + 1;
        if (StringUtils::isBlank(c)) return p;
        if (c == '/' && p + 1 < end && (text[p + 1] == '/' || text[p + 1] == '*')) {
            if (p > start) return p;
            return text[p + 1] == '/' ? lineCommentEnd(text, start, end) : blockCommentEnd(text, start, end);
        }
    }
    return end;
}
}  // namespace

bool ConfSearcher::isDelimiter(char c) { return c != '\0' && std::strchr(delimiters, c) != nullptr; }

bool ConfSearcher::isComment(const std::string& token) {
    return StringUtils::startsWith(token, "#") || StringUtils::startsWith(token, "//") ||
           StringUtils::startsWith(token, "/*");
}

size_t ConfSearcher::findEnd(const std::string& text, size_t start, size_t count, uint8_t& significant) const {
    const size_t end = windowEnd(text, start, count);
    if (start >= end) return npos;
    const char first = text[start];
    size_t tokenEnd;
    if (isSpace(first)) {
        // A run of the same whitespace character: a tab followed by blanks gives two tokens.
        tokenEnd = start + 1;
        while (tokenEnd < end && text[tokenEnd] == first) ++tokenEnd;
        significant = 0;
    } else if (first == '#') {
        tokenEnd = findNewline(text, start, end);
        significant = 1;
    } else {
        tokenEnd = significantEnd(text, start, end);
        significant = 1;
    }
    return tokenEnd > start ? tokenEnd : npos;
}

}  // namespace Quilna
