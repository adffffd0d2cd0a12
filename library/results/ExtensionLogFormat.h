#pragma once
// The extension log: one line per extension the file type mapping does not know, lower-cased,
// in the order the scan met them. Bytes below 0x20 are written as "_".

#include <string>
#include <string_view>

namespace Quilna::ExtensionLogFormat {

// A line with its line feed.
void appendLine(std::string& out, std::string_view extension);
// False with the reason in fault when the line holds no extension.
bool parseLine(std::string_view line, std::string& fault);

}  // namespace Quilna::ExtensionLogFormat
