#pragma once
// String operations used throughout the program. Blanks are bytes whose value, taken as a
// signed byte, is at most 0x20, so bytes 0x80 to 0xFF count as blanks too.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna::StringUtils {

// Blanks and control characters; a byte of a UTF-8 sequence (any letter beyond ASCII) is none.
inline bool isBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string& trim(std::string& text);
std::string& trimLeft(std::string& text);
std::string& trimRight(std::string& text);
std::string trimmed(std::string_view text);

// Case conversion by the C locale's rules (ASCII letters only).
std::string& toLower(std::string& text);
std::string& toUpper(std::string& text);
std::string lowerCopy(std::string_view text);
std::string upperCopy(std::string_view text);

// Returns the text before the first occurrence of separator and removes it and the
// separator from text; without the separator returns the whole text and empties it.
std::string splitFirst(std::string& text, char separator);

// Splits at every occurrence of separator. maxPieces > 0 limits the pieces, the last piece
// taking the rest; 0 means no limit.
std::vector<std::string> split(std::string_view text, std::string_view separator, size_t maxPieces = 0);
std::vector<std::string> split(std::string_view text, char separator, size_t maxPieces = 0, bool dropEmpty = false);

// Replaces every occurrence of from by to; returns the count.
size_t replaceChar(std::string& text, char from, char to);

bool startsWith(std::string_view text, std::string_view prefix);

// The text with every control written as \xNN per byte, so that it stays on one line, shows
// what it holds and sends a terminal no escape sequence: bytes below 0x20 and 0x7F; the C1
// controls, as UTF-8 (U+0080 to U+009F) and as bytes 0x80 to 0x9F outside any UTF-8 sequence;
// the line and paragraph separators U+2028 and U+2029; the direction controls (U+061C, U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069). Every other byte stays as it is.
std::string escapeControls(std::string_view text);
// The same appended to out; a text with nothing to escape costs one scan and one append.
void appendEscapedControls(std::string& out, std::string_view text);

// Number texts.
std::string intText(int32_t value);  // "%ld"
std::string uint64Text(uint64_t value);
// A value written without loss: a whole number below 2^53 as a plain integer, any other in
// the shortest text that reads back as the same double.
std::string exactNumberText(double value);

// C library conversions: leading blanks, optional sign, digits up to the first other
// character; no digits give 0. Out-of-range values saturate instead of being undefined.
int32_t toInt32(std::string_view text);
int64_t toInt64(std::string_view text);
// The same reading, but empty when the number does not fit 32 bits.
std::optional<int32_t> toInt32InRange(std::string_view text);
// Leading decimal digits only (no sign, no blanks); none give 0, more than 64 bits hold give
// the largest value rather than a wrapped one.
uint64_t leadingDigits(std::string_view text);
// The whole text as a decimal number of at most max: digits only, at least one.
std::optional<uint64_t> decimalNumber(std::string_view text, uint64_t max = UINT64_MAX);

}  // namespace Quilna::StringUtils
