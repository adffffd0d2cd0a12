#include "results/ExtensionLogFormat.h"

#include "results/FormatText.h"

namespace Quilna::ExtensionLogFormat {

void appendLine(std::string& out, std::string_view extension) {
    FormatText::appendEscaped(out, extension);
    out.push_back('\n');
}

bool parseLine(std::string_view line, std::string& fault) {
    if (line.empty()) return FormatText::refuse(fault, "empty extension line");
    return true;
}

}  // namespace Quilna::ExtensionLogFormat
