#include "report/SummaryOutput.h"

#include "report/Formatting.h"
#include "report/TextCleaning.h"

#include <algorithm>
#include <string>
#include <vector>

namespace Quilna::SummaryOutput {

namespace {

using Formatting::countText;
using Formatting::sizeText;

size_t shownCount(size_t available, size_t top) { return top == 0 ? available : std::min(available, top); }

// Columns after the first are right-aligned numbers.
void writeAligned(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], TextCleaning::displayWidth(row[c]));
    }
    for (const auto& row : rows) {
        std::string line = "  ";
        for (size_t c = 0; c < row.size(); ++c) {
            const std::string padding(widths[c] - TextCleaning::displayWidth(row[c]), ' ');
            line += c == 0 ? row[c] + padding : "  " + padding + row[c];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    }
}

std::vector<std::string> totalsCells(std::string name, const SizeTotals& totals, const SizeTotals& whole) {
    return {std::move(name), countText(totals.files), sizeText(static_cast<double>(totals.bytes)),
            sizeText(static_cast<double>(totals.bytesOnDisk)),
            Formatting::shareText(static_cast<double>(totals.bytesOnDisk), static_cast<double>(whole.bytesOnDisk))};
}

// With scanZone, a Scanned column in the local time of that zone.
void writeRanking(std::ostream& out, const std::string& title, const std::string& what,
                  const std::vector<NamedTotals>& list, const SizeTotals& whole, size_t top, SystemServices* scanZone) {
    out << '\n' << title << '\n';
    if (list.empty()) {
        out << "  (none)\n";
        return;
    }
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header = {what, "Files", "Size", "On disk", "Share"};
    if (scanZone) header.insert(header.begin() + 1, "Scanned");
    rows.push_back(header);
    const size_t shown = shownCount(list.size(), top);
    for (size_t i = 0; i < shown; ++i) {
        auto cells = totalsCells(list[i].name.empty() ? "(empty)" : TextCleaning::escapeForTerminal(list[i].name),
                                 list[i].totals, whole);
        if (scanZone) cells.insert(cells.begin() + 1, Formatting::scanText(*scanZone, list[i].scanned));
        rows.push_back(std::move(cells));
    }
    if (shown < list.size()) {
        SizeTotals rest;
        for (size_t i = shown; i < list.size(); ++i) rest += list[i].totals;
        auto cells = totalsCells("(" + countText(static_cast<int64_t>(list.size() - shown)) + " more)", rest, whole);
        if (scanZone) cells.insert(cells.begin() + 1, "");
        rows.push_back(std::move(cells));
    }
    writeAligned(out, rows);
}

void writeMatrix(std::ostream& out, const TemperatureMatrix& matrix) {
    out << "\nBytes on disk by temperature (access down, modify across)\n";
    if (matrix.access.empty()) {
        out << "  (none)\n";
        return;
    }
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header = {"access \\ modify"};
    header.insert(header.end(), matrix.modify.begin(), matrix.modify.end());
    header.push_back("Total");
    rows.push_back(header);
    std::vector<WideInt> columnTotals(matrix.modify.size(), 0);
    WideInt all = 0;
    for (size_t a = 0; a < matrix.access.size(); ++a) {
        std::vector<std::string> row = {matrix.access[a]};
        WideInt rowTotal = 0;
        for (size_t m = 0; m < matrix.modify.size(); ++m) {
            const WideInt bytes = matrix.cells[a][m].bytesOnDisk;
            row.push_back(bytes ? sizeText(static_cast<double>(bytes)) : "-");
            rowTotal += bytes;
            columnTotals[m] += bytes;
        }
        row.push_back(sizeText(static_cast<double>(rowTotal)));
        all += rowTotal;
        rows.push_back(std::move(row));
    }
    std::vector<std::string> totals = {"Total"};
    for (WideInt bytes : columnTotals) totals.push_back(sizeText(static_cast<double>(bytes)));
    totals.push_back(sizeText(static_cast<double>(all)));
    rows.push_back(std::move(totals));
    writeAligned(out, rows);
}

std::string jsonTotals(const SizeTotals& totals) {
    using Formatting::integerText;
    return "\"files\": " + integerText(totals.files) + ", \"bytes\": " + integerText(totals.bytes) +
           ", \"bytesOnDisk\": " + integerText(totals.bytesOnDisk) +
           ", \"weightedSize\": " + Formatting::weightText(totals.weightedSize);
}

void writeJsonRanking(std::ostream& out, const char* name, const std::vector<NamedTotals>& list, size_t top,
                      SystemServices* scanZone) {
    out << "  \"" << name << "\": [";
    const size_t shown = shownCount(list.size(), top);
    for (size_t i = 0; i < shown; ++i) {
        out << (i ? ",\n" : "\n") << "    {\"name\": " << Formatting::jsonString(list[i].name);
        // The day stamp stays under its old key for the scripts that read it.
        if (scanZone)
            out << ", \"runDay\": \"" << Formatting::dayText(list[i].scanned.day) << "\", \"scanned\": \""
                << Formatting::scanText(*scanZone, list[i].scanned) << "\"";
        out << ", " << jsonTotals(list[i].totals) << "}";
    }
    out << (shown ? "\n  ],\n" : "],\n");
}

std::string jsonNames(const std::vector<std::string>& names) {
    std::string out = "[";
    for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + Formatting::jsonString(names[i]);
    return out + "]";
}

std::string csvLine(const std::string& view, const std::string& name, const std::string& detail,
                    const SizeTotals& totals) {
    using Formatting::integerText;
    return view + "," + Formatting::csvField(name) + "," + Formatting::csvField(detail) + "," +
           integerText(totals.files) + "," + integerText(totals.bytes) + "," + integerText(totals.bytesOnDisk) + "," +
           Formatting::weightText(totals.weightedSize) + "\n";
}

}  // namespace

void writeTables(SystemServices& services, std::ostream& out, const Summary& summary, size_t top) {
    if (summary.runs == 0) {
        out << "No runs in the database: import account record files first.\n";
        return;
    }
    out << "Latest run of each of " << countText(summary.runs) << (summary.runs == 1 ? " host" : " hosts")
        << ", scanned " << Formatting::scanText(services, summary.firstScan);
    if (summary.lastScan.at != summary.firstScan.at) out << " to " << Formatting::scanText(services, summary.lastScan);
    out << "\nTotal: " << countText(summary.total.files) << " files, "
        << sizeText(static_cast<double>(summary.total.bytes)) << ", "
        << sizeText(static_cast<double>(summary.total.bytesOnDisk)) << " on disk\n";
    writeRanking(out, "Largest hosts", "Host", summary.hosts, summary.total, top, &services);
    writeRanking(out, "Largest accounts", "Account", summary.accounts, summary.total, top, nullptr);
    writeRanking(out, "Largest users", "User", summary.users, summary.total, top, nullptr);
    writeRanking(out, "Largest groups (a file counts in each of its groups)", "Group", summary.groups, summary.total,
                 top, nullptr);
    writeRanking(out, "Largest file types", "Type", summary.fileTypes, summary.total, top, nullptr);
    writeMatrix(out, summary.temperatures);
}

void writeCsv(SystemServices& services, std::ostream& out, const Summary& summary, size_t top) {
    out << "view,name,detail,files,bytes,bytes_on_disk,weighted_size\n";
    out << csvLine("total", "", std::to_string(summary.runs) + " runs", summary.total);
    const auto ranking = [&](const std::string& view, const std::vector<NamedTotals>& list, bool withScan) {
        for (size_t i = 0; i < shownCount(list.size(), top); ++i) {
            out << csvLine(view, list[i].name, withScan ? Formatting::scanText(services, list[i].scanned) : "",
                           list[i].totals);
        }
    };
    ranking("host", summary.hosts, true);
    ranking("account", summary.accounts, false);
    ranking("user", summary.users, false);
    ranking("group", summary.groups, false);
    ranking("file_type", summary.fileTypes, false);
    const TemperatureMatrix& matrix = summary.temperatures;
    for (size_t a = 0; a < matrix.access.size(); ++a) {
        for (size_t m = 0; m < matrix.modify.size(); ++m) {
            out << csvLine("temperature", matrix.access[a], matrix.modify[m], matrix.cells[a][m]);
        }
    }
}

void writeJson(SystemServices& services, std::ostream& out, const Summary& summary, size_t top) {
    out << "{\n  \"runs\": " << summary.runs << ",\n";
    if (summary.runs) {
        out << "  \"firstDay\": \"" << Formatting::dayText(summary.firstScan.day) << "\",\n  \"lastDay\": \""
            << Formatting::dayText(summary.lastScan.day) << "\",\n";
        out << "  \"firstScan\": \"" << Formatting::scanText(services, summary.firstScan) << "\",\n  \"lastScan\": \""
            << Formatting::scanText(services, summary.lastScan) << "\",\n";
    }
    out << "  \"total\": {" << jsonTotals(summary.total) << "},\n";
    writeJsonRanking(out, "hosts", summary.hosts, top, &services);
    writeJsonRanking(out, "accounts", summary.accounts, top, nullptr);
    writeJsonRanking(out, "users", summary.users, top, nullptr);
    writeJsonRanking(out, "groups", summary.groups, top, nullptr);
    writeJsonRanking(out, "fileTypes", summary.fileTypes, top, nullptr);
    const TemperatureMatrix& matrix = summary.temperatures;
    out << "  \"temperatures\": {\n    \"access\": " << jsonNames(matrix.access)
        << ",\n    \"modify\": " << jsonNames(matrix.modify) << ",\n    \"bytesOnDisk\": [";
    for (size_t a = 0; a < matrix.access.size(); ++a) {
        out << (a ? ", [" : "[");
        for (size_t m = 0; m < matrix.modify.size(); ++m) {
            out << (m ? ", " : "") << Formatting::integerText(matrix.cells[a][m].bytesOnDisk);
        }
        out << "]";
    }
    out << "]\n  }\n}\n";
}

void writeDirectoryTables(std::ostream& out, const std::vector<DirectoryPage>& pages, size_t top) {
    if (pages.empty()) out << "No host's latest directory totals hold this directory.\n";
    for (const DirectoryPage& page : pages) {
        out << (&page == &pages.front() ? "" : "\n") << "Directory " << TextCleaning::escapeForTerminal(page.directory)
            << " on " << TextCleaning::escapeForTerminal(page.host)
            << " (whole subtree): " << countText(page.totals.files) << " files, "
            << sizeText(static_cast<double>(page.totals.bytes)) << ", "
            << sizeText(static_cast<double>(page.totals.bytesOnDisk)) << " on disk\n";
        writeRanking(out, "Largest subdirectories", "Directory", page.subdirectories, page.totals, top, nullptr);
        writeRanking(out, "Accounts", "Account", page.accounts, page.totals, top, nullptr);
        writeRanking(out, "Access temperatures", "Temperature", page.temperatures, page.totals, top, nullptr);
    }
}

void writeDirectoryCsv(std::ostream& out, const std::vector<DirectoryPage>& pages, size_t top) {
    out << "view,name,detail,files,bytes,bytes_on_disk,weighted_size\n";
    for (const DirectoryPage& page : pages) {
        out << csvLine("directory", page.directory, page.host, page.totals);
        for (const auto& [view, list] : {std::pair{"subdirectory", &page.subdirectories},
                                         {"account", &page.accounts},
                                         {"temperature", &page.temperatures}}) {
            for (size_t i = 0; i < shownCount(list->size(), top); ++i) {
                out << csvLine(view, (*list)[i].name, page.host, (*list)[i].totals);
            }
        }
    }
}

void writeDirectoryJson(std::ostream& out, const std::vector<DirectoryPage>& pages, size_t top) {
    out << "{\n  \"directories\": [";
    for (const DirectoryPage& page : pages) {
        out << (&page == &pages.front() ? "\n" : ",\n") << "{\n  \"host\": " << Formatting::jsonString(page.host)
            << ",\n  \"directory\": " << Formatting::jsonString(page.directory) << ",\n";
        writeJsonRanking(out, "subdirectories", page.subdirectories, top, nullptr);
        writeJsonRanking(out, "accounts", page.accounts, top, nullptr);
        writeJsonRanking(out, "temperatures", page.temperatures, top, nullptr);
        out << "  \"total\": {" << jsonTotals(page.totals) << "}\n}";
    }
    out << "\n  ]\n}\n";
}

}  // namespace Quilna::SummaryOutput
