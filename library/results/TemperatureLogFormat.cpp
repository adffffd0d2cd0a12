#include "results/TemperatureLogFormat.h"

#include <cmath>

#include "results/FormatText.h"
#include "text/StringUtils.h"

namespace Quilna::TemperatureLogFormat {

using namespace FormatText;

void appendRow(std::string& out, std::string_view directory, double bytes) {
    appendEscaped(out, directory);
    out.append(";").append(StringUtils::exactNumberText(bytes)).push_back('\n');
}

bool parseRow(std::string_view line, TemperatureRow& out, std::string& fault) {
    // Directory names may hold ";"; the number after the last one never does.
    const size_t split = line.rfind(';');
    if (split == std::string_view::npos || split == 0) {
        return refuse(fault, "expected a temperature row \"<directory>;<bytes>\"");
    }
    const auto bytes = parseNumber(line.substr(split + 1));
    if (!bytes || *bytes < 0 || *bytes != std::trunc(*bytes)) {
        return refuse(fault, "the byte count is not a whole number of bytes");
    }
    out.directory.assign(line.substr(0, split));
    out.bytes = *bytes;
    return true;
}

}  // namespace Quilna::TemperatureLogFormat
