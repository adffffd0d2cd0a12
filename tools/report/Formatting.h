#pragma once
// Texts of numbers, sizes and days for people, and the escaping of CSV, JSON and HTML.

#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna::Formatting {

// Binary units with three significant digits: "512 B", "1.50 KiB", "12.3 MiB", "205 GiB".
std::string sizeText(double bytes);
// A weighted size to five decimals, the weight of one byte, without trailing zeros: sums of
// it differ in their last binary digits with the order in which a database adds them.
std::string weightText(double weightedSize);
// Thousands separated by ",": "1,234,567".
std::string countText(int64_t count);
// "45.2%"; "<0.1%" for a share that would show as 0.0%; "-" when the whole is zero.
std::string shareText(double part, double whole);
// The local date a day stamp stands for, "2024-03-05". The stamp is the scanner's nearest
// local midnight, so the date is that of the UTC day around it, for every zone within 12 hours.
std::string dayText(int64_t day);

std::string csvField(std::string_view text);
std::string jsonString(std::string_view text);
std::string htmlEscaped(std::string_view text);

}  // namespace Quilna::Formatting
