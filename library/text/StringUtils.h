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

// The text with every control byte (below 0x20, and 0x7F) written as \xNN, so that it stays on
// one line and sends a terminal no escape sequence; every other byte as it is.
std::string escapeControls(std::string_view text);

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
