#pragma once
// Texts of numbers, sizes and days for people, and the escaping of CSV, JSON and HTML.

#include "platform/SystemServices.h"
#include "report/ReportData.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Quilna::Formatting {

// Binary units with three significant digits: "512 B", "1.50 KiB", "12.3 MiB", "205 GiB".
std::string sizeText(double bytes);
// A weighted size to five decimals, the weight of one byte, without trailing zeros: sums of
// it differ in their last binary digits with the order in which a database adds them.
// "null" for a value that is no finite number, so that JSON stays valid.
std::string weightText(double weightedSize);
// A whole number exactly, for CSV and JSON: "123456789012345678901".
std::string integerText(WideInt value);
// Thousands separated by ",": "1,234,567".
std::string countText(WideInt count);
// "45.2%"; "<0.1%" for a share that would show as 0.0%; "-" when the whole is zero.
std::string shareText(double part, double whole);
// The local date a day stamp stands for, "2024-03-05". The stamp is the scanner's nearest
// local midnight, so the date is that of the UTC day around it, for every zone within 12 hours.
std::string dayText(int64_t day);
// A local time read as UTC seconds, "2013-04-05 12:00".
std::string localTimeText(int64_t seconds);
// When a run was scanned, in the local time of this machine with its offset from UTC,
// "2013-04-05 23:30 +02:00"; the date alone for a run known to the day only.
std::string scanText(SystemServices& services, const ScanTime& scan);
// The local date of a scan as the seconds of its UTC midnight, so that dayText names it.
int64_t scanDate(SystemServices& services, const ScanTime& scan);
// The start of a date (given as its UTC midnight) in the local time of this machine.
int64_t localMidnight(SystemServices& services, int64_t date);
// The midnight of "YYYY-MM-DD" read as UTC; nothing for any other text or a date that does
// not exist.
std::optional<int64_t> parseDay(std::string_view text);

// A CSV cell; quoted when it holds a separator, a quote or a line end. A text that a
// spreadsheet would take for a formula (beginning with =, +, -, @, tab or carriage return)
// is quoted with an apostrophe before it, so that it shows as text.
std::string csvField(std::string_view text);
std::string jsonString(std::string_view text);
std::string htmlEscaped(std::string_view text);

}  // namespace Quilna::Formatting
