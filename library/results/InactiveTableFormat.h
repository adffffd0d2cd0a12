#pragma once
// The inactive-file table: a header line before the first row, then one row per cold or
// frozen file, "<name>,<directory>,<KiB>,<last access>,<temperature>," (the trailing comma
// included). "," and bytes below 0x20 in the name and the directory are written as "_".

#include <cstdint>
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
};

namespace InactiveTableFormat {

inline constexpr std::string_view header = "Filename,File Path,File Size (kb) ,Last Accessed,File Temperature";

// A row without its line feed.
void appendRow(std::string& out, std::string_view name, std::string_view directory, int64_t kib,
               std::string_view lastAccess, std::string_view temperature);
// False with the reason in fault when the line is no row.
bool parseRow(std::string_view line, InactiveRow& out, std::string& fault);

}  // namespace InactiveTableFormat
}  // namespace Quilna
