#pragma once
// The directory totals: one row per directory, account, user and access temperature met in its
// whole subtree, "<directory>;<account>;<user>;<temperature>;<files>;<bytes>;<bytes on disk>".
// Rows come as the walk leaves each directory, so a directory follows everything below it. Bytes
// below 0x20 in every text field are written as "_", and ";" too in the account, the user and the
// temperature: the directory is the one field that may hold ";", and the fields after the sixth
// ";" from the end never do. The numbers are whole and written without loss.

#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna {

// One row as read; line is its line number, from 1.
struct DirectoryTotalRow {
    int64_t line = 0;
    std::string directory;
    std::string account;
    std::string user;
    std::string temperature;
    int64_t files = 0;
    int64_t bytes = 0;
    int64_t bytesOnDisk = 0;
};

namespace DirectoryTotalsFormat {

// A row with its line feed.
void appendRow(std::string& out, std::string_view directory, std::string_view account, std::string_view user,
               std::string_view temperature, int64_t files, int64_t bytes, int64_t bytesOnDisk);
// False with the reason in fault when the line is no row.
bool parseRow(std::string_view line, DirectoryTotalRow& out, std::string& fault);

}  // namespace DirectoryTotalsFormat
}  // namespace Quilna
