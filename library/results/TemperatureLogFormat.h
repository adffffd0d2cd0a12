#pragma once
// The temperature log: one line per directory, "<directory>;<bytes>", the bytes on disk of its
// files of the monitored temperature. Bytes below 0x20 in the directory are written as "_";
// the number is written without loss.

#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna {

// One line as read; line is its line number, from 1.
struct TemperatureRow {
    int64_t line = 0;
    std::string directory;
    double bytes = 0;
};

namespace TemperatureLogFormat {

// A line with its line feed.
void appendRow(std::string& out, std::string_view directory, double bytes);
// False with the reason in fault when the line is no row.
bool parseRow(std::string_view line, TemperatureRow& out, std::string& fault);

}  // namespace TemperatureLogFormat
}  // namespace Quilna
