#include "results/InactiveTableFormat.h"

#include <array>
#include <chrono>
#include <optional>

#include "results/FormatText.h"

namespace Quilna::InactiveTableFormat {

using namespace FormatText;

namespace {

// The beginning of the directory that leaves room for the name and the mark, ended at a
// character's first byte so that no UTF-8 sequence is split.
std::string_view cutDirectory(std::string_view directory, size_t nameSize, size_t longestPath) {
    const size_t reserved = nameSize + cutMark.size();
    size_t kept = longestPath > reserved ? longestPath - reserved : 0;
    while (kept > 0 && (static_cast<unsigned char>(directory[kept]) & 0xC0) == 0x80) --kept;
    return directory.substr(0, kept);
}

// The count digits at at, or nothing.
std::optional<unsigned> digitsAt(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return std::nullopt;
    unsigned value = 0;
    for (const char c : text.substr(at, count)) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

}  // namespace

bool appendRow(std::string& out, std::string_view name, std::string_view directory, int64_t kib,
               std::string_view lastAccess, std::string_view temperature, size_t longestPath) {
    const bool cut = directory.size() + name.size() > longestPath;
    if (cut) directory = cutDirectory(directory, name.size(), longestPath);
    // Room for the whole row at once: escaping keeps the length, the size takes at most 20
    // characters, the mark 3, and five commas follow the fields.
    out.reserve(out.size() + name.size() + directory.size() + lastAccess.size() + temperature.size() + 28);
    appendEscaped(out, name, ',');
    out.push_back(',');
    appendEscaped(out, directory, ',');
    if (cut) out.append(cutMark);
    out.push_back(',');
    out.append(std::to_string(kib));
    out.push_back(',');
    out.append(lastAccess);
    out.push_back(',');
    out.append(temperature);
    out.push_back(',');
    return cut;
}

bool parseRow(std::string_view line, InactiveRow& out, std::string& fault) {
    std::array<std::string_view, 6> cells;
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = line.find(',', start);
        if (count < cells.size()) cells[count] = line.substr(start, end == std::string_view::npos ? end : end - start);
        ++count;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (count != cells.size() || !cells[5].empty()) {
        return refuse(fault, "expected an inactive row \"<name>,<directory>,<KiB>,<last access>,<temperature>,\"");
    }
    if (cells[0].empty()) return refuse(fault, "the inactive row has no file name");
    if (cells[1].empty()) return refuse(fault, "the inactive row has no directory");
    const auto kib = allDigits(cells[2]) ? parseInteger(cells[2]) : std::nullopt;
    if (!kib) return refuse(fault, "the size in KiB is not a whole number");
    if (cells[4].empty()) return refuse(fault, "the inactive row has no temperature");
    out.name.assign(cells[0]);
    out.directory.assign(cells[1]);
    out.cut = cells[1].ends_with(cutMark);
    out.kib = *kib;
    out.lastAccess.assign(cells[3]);
    out.temperature.assign(cells[4]);
    return true;
}

std::optional<int64_t> parseLastAccess(std::string_view text) {
    using namespace std::chrono;
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const auto year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    const year_month_day date{std::chrono::year{static_cast<int>(*year)}, std::chrono::month{*month},
                              std::chrono::day{*day}};
    if (!date.ok()) return std::nullopt;
    return int64_t{sys_days(date).time_since_epoch().count()} * 86400 + *hour * 3600 + *minute * 60 + *second;
}

}  // namespace Quilna::InactiveTableFormat
