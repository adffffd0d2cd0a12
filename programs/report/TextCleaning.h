#pragma once
// Texts from result files made valid UTF-8 for the database and every output. Windows
// scanners write names in their ANSI code page and POSIX names may hold any byte, but a
// PostgreSQL text column, JSON and HTML all need UTF-8.

#include <string>
#include <string_view>

namespace Quilna::TextCleaning {

// True when the text is valid UTF-8 without control characters, so cleanText keeps it.
bool isClean(std::string_view text);

// Valid UTF-8 sequences are kept; any other byte is read as Windows-1252 (Latin-1 with
// printable characters in 0x80-0x9F); control characters and unassigned bytes become "_".
std::string cleanText(std::string_view text);

// For a terminal: controls (C0, DEL, C1 also as UTF-8), line and paragraph separators, bidi
// overrides and isolates, and bytes that are no UTF-8 written as \xNN or \u{NNNN}; a backslash
// doubled, so that no name can move the cursor, forge a line or turn the text around.
std::string escapeForTerminal(std::string_view text);

// The number of characters, not bytes, for lining up columns of a terminal table.
size_t displayWidth(std::string_view utf8);

}  // namespace Quilna::TextCleaning
