#pragma once
// The inactive-file table: a header line before the first row, then one row per cold or
// frozen file, "<name>,<directory>,<KiB>,<last access>,<temperature>," (the trailing comma
// included). "," and bytes below 0x20 in the name and the directory are written as "_".
// A row whose directory and name pass the longest path the system can name has its directory
// cut to fit and ended by cutMark instead of a separator: a deep tree's rows stay bounded.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Quilna {

// One row as read; line is its line number, from 1.
struct InactiveRow {
    int64_t line = 0;
    std::string name;
    std::string directory;
    int64_t kib = 0;
    std::string lastAccess;
    std::string temperature;
    bool cut = false;  // the directory is the beginning of a longer one
};

namespace InactiveTableFormat {

inline constexpr std::string_view header = "Filename,File Path,File Size (kb) ,Last Accessed,File Temperature";
// No directory the walk names ends in it: each ends in a separator.
inline constexpr std::string_view cutMark = "...";

// A row without its line feed; its directory and name together take at most longestPath bytes
// (the directory at least cutMark). True when the directory was cut.
bool appendRow(std::string& out, std::string_view name, std::string_view directory, int64_t kib,
               std::string_view lastAccess, std::string_view temperature, size_t longestPath = SIZE_MAX);
// False with the reason in fault when the line is no row.
bool parseRow(std::string_view line, InactiveRow& out, std::string& fault);
// The last access as written, the scanner's local time "YYYY-MM-DDTHH:MM:SS", in seconds
// read as UTC; nothing for any other text or a day that does not exist.
std::optional<int64_t> parseLastAccess(std::string_view text);

}  // namespace InactiveTableFormat
}  // namespace Quilna
