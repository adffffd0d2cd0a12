#include "results/DirectoryTotalsFormat.h"

#include <array>

#include "results/FormatText.h"

namespace Quilna::DirectoryTotalsFormat {

using namespace FormatText;

namespace {

constexpr char separator = ';';
constexpr size_t trailingFields = 6;

void appendNumber(std::string& out, int64_t value) { out.push_back(separator), out.append(std::to_string(value)); }

}  // namespace

void appendRow(std::string& out, std::string_view directory, std::string_view account, std::string_view user,
               std::string_view temperature, int64_t files, int64_t bytes, int64_t bytesOnDisk) {
    appendEscaped(out, directory);
    out.push_back(separator);
    appendEscaped(out, account, separator);
    out.push_back(separator);
    appendEscaped(out, user, separator);
    out.push_back(separator);
    appendEscaped(out, temperature, separator);
    appendNumber(out, files);
    appendNumber(out, bytes);
    appendNumber(out, bytesOnDisk);
    out.push_back('\n');
}

bool parseRow(std::string_view line, DirectoryTotalRow& out, std::string& fault) {
    // From the end: the directory keeps whatever ";" its names hold.
    std::array<std::string_view, trailingFields> fields;
    std::string_view rest = line;
    for (size_t i = trailingFields; i-- > 0;) {
        const size_t split = rest.rfind(separator);
        if (split == std::string_view::npos || split == 0)
            return refuse(fault,
                          "expected a directory total \"<directory>;<account>;<user>;<temperature>;<files>;"
                          "<bytes>;<bytes on disk>\"");
        fields[i] = rest.substr(split + 1);
        rest = rest.substr(0, split);
    }
    const auto files = parseInteger(fields[3]), bytes = parseInteger(fields[4]), onDisk = parseInteger(fields[5]);
    if (!files || !bytes || !onDisk || *files < 1 || *bytes < 0 || *onDisk < 0)
        return refuse(fault, "a count is not a whole number, or no file is counted");
    if (fields[0].empty() || fields[1].empty() || fields[2].empty())
        return refuse(fault, "the account, the user or the temperature is empty");
    out.directory.assign(rest);
    out.account.assign(fields[0]);
    out.user.assign(fields[1]);
    out.temperature.assign(fields[2]);
    out.files = *files;
    out.bytes = *bytes;
    out.bytesOnDisk = *onDisk;
    return true;
}

}  // namespace Quilna::DirectoryTotalsFormat
