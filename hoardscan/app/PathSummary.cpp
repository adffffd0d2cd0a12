#include "hoardscan/app/PathSummary.h"

#include <algorithm>
#include <cstdio>

#include "hoardscan/facts/FileFacts.h"
#include "hoardscan/app/ScanProgress.h"

namespace Quilna {

namespace {

// "\\HOST\ann" is "ann" at the terminal: every owner of one scan is of this computer.
std::string shownUser(const std::string& user) {
    if (user.rfind("\\\\", 0) != 0) return user;
    const size_t end = user.find('\\', 2);
    return end == std::string::npos ? user : user.substr(end + 1);
}

double shareOf(int64_t part, double total) { return total > 0 ? 100.0 * static_cast<double>(part) / total : 0; }

// Names come from the tree: no byte of them reaches the terminal as a control character.
std::string printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

void appendJsonString(std::string& out, const std::string& text) {
    out.push_back('"');
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out.append(escape);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

}  // namespace

void PathSummary::add(const FileFacts& facts) {
    add(total_, facts);
    addTo(users_, facts.user, facts);
    addTo(types_, facts.fileType, facts);
    addTo(temperatures_, facts.accessTemperature, facts);
    if (progress_ && ++sinceTick_ >= ScanProgress::filesPerTick) {
        sinceTick_ = 0;
        progress_->tick(static_cast<uint64_t>(total_.files), static_cast<double>(total_.bytes), facts.directoryVisit,
                        *facts.directory);
    }
}

void PathSummary::addTo(Table& table, const std::string& name, const FileFacts& facts) {
    auto at = table.find(name);
    if (at == table.end()) at = table.emplace(name, Sums{}).first;
    add(at->second, facts);
}

void PathSummary::add(Sums& sums, const FileFacts& facts) {
    sums.files += 1;
    sums.bytes += facts.logicalSize;
    sums.bytesOnDisk += facts.physicalSize;
}

std::string PathSummary::readableSize(double bytes) {
    static constexpr const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < std::size(units)) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

std::vector<std::pair<std::string, PathSummary::Sums>> PathSummary::largestFirst(const Table& table) {
    std::vector<std::pair<std::string, Sums>> rows(table.begin(), table.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.second.bytesOnDisk > b.second.bytesOnDisk; });
    return rows;
}

PathSummary::Table PathSummary::shownUsers() const {
    Table users;
    for (const auto& [user, sums] : users_) {
        Sums& shown = users[shownUser(user)];
        shown.files += sums.files;
        shown.bytes += sums.bytes;
        shown.bytesOnDisk += sums.bytesOnDisk;
    }
    return users;
}

std::string PathSummary::text(const std::vector<std::string>& paths) const {
    std::string out;
    for (const std::string& path : paths) out += "Scanned " + printable(path) + "\n";
    out += std::to_string(total_.files) + " files, " + readableSize(static_cast<double>(total_.bytesOnDisk)) +
           " on disk, " + readableSize(static_cast<double>(total_.bytes)) + " of data\n";
    out += "\nLargest directories (whole subtrees)\n";
    for (const LargestDirectories::Entry& entry : largest_.largestFirst())
        appendTextRow(out, Sums{entry.files, entry.bytes, entry.bytesOnDisk}, printable(entry.path));
    appendTextTable(out, "Users", shownUsers());
    appendTextTable(out, "Types", types_);
    appendTextTable(out, "Access temperatures", temperatures_);
    return out;
}

void PathSummary::appendTextTable(std::string& out, const char* title, const Table& table) const {
    out += "\n";
    out += title;
    out += "\n";
    for (const auto& [name, sums] : largestFirst(table)) appendTextRow(out, sums, printable(name));
}

void PathSummary::appendTextRow(std::string& out, const Sums& sums, const std::string& name) const {
    char row[96];
    std::snprintf(row, sizeof row, "  %12lld files %12s %6.1f%%  ", static_cast<long long>(sums.files),
                  readableSize(static_cast<double>(sums.bytesOnDisk)).c_str(),
                  shareOf(sums.bytesOnDisk, static_cast<double>(total_.bytesOnDisk)));
    out += row + name + "\n";
}

std::string PathSummary::json(const std::vector<std::string>& paths) const {
    std::string out = "{\"paths\":[";
    for (size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) out.push_back(',');
        appendJsonString(out, paths[i]);
    }
    out += "],\"total\":";
    const double total = static_cast<double>(total_.bytesOnDisk);
    out += "{\"files\":" + std::to_string(total_.files) + ",\"bytes\":" + std::to_string(total_.bytes) +
           ",\"bytesOnDisk\":" + std::to_string(total_.bytesOnDisk) + "}";
    out += ",\"directories\":[";
    bool first = true;
    for (const LargestDirectories::Entry& entry : largest_.largestFirst()) {
        if (!first) out.push_back(',');
        first = false;
        appendJsonRow(out, Sums{entry.files, entry.bytes, entry.bytesOnDisk}, total, "path", entry.path);
    }
    out.push_back(']');
    appendJsonTable(out, "users", shownUsers());
    appendJsonTable(out, "types", types_);
    appendJsonTable(out, "temperatures", temperatures_);
    out += "}\n";
    return out;
}

void PathSummary::appendJsonTable(std::string& out, const char* name, const Table& table) const {
    out += ",\"" + std::string(name) + "\":[";
    bool first = true;
    for (const auto& [key, sums] : largestFirst(table)) {
        if (!first) out.push_back(',');
        first = false;
        appendJsonRow(out, sums, static_cast<double>(total_.bytesOnDisk), "name", key);
    }
    out.push_back(']');
}

void PathSummary::appendJsonRow(std::string& out, const Sums& sums, double total, const char* nameKey,
                                const std::string& name) {
    out += "{\"";
    out += nameKey;
    out += "\":";
    appendJsonString(out, name);
    char figures[160];
    std::snprintf(figures, sizeof figures, ",\"files\":%lld,\"bytes\":%lld,\"bytesOnDisk\":%lld,\"share\":%.4f}",
                  static_cast<long long>(sums.files), static_cast<long long>(sums.bytes),
                  static_cast<long long>(sums.bytesOnDisk), shareOf(sums.bytesOnDisk, total));
    out += figures;
}

}  // namespace Quilna
