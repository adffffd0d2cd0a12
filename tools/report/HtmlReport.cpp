#include "tools/report/HtmlReport.h"

#include "tools/report/Formatting.h"
#include "tools/report/SvgCharts.h"

#include <algorithm>
#include <cstdlib>

namespace Quilna::HtmlReport {

namespace {

using Formatting::countText;
using Formatting::dayText;
using Formatting::htmlEscaped;
using Formatting::sizeText;

constexpr size_t growthLines = 8;

const char* const style = R"(
body { font-family: sans-serif; color: #222; margin: 24px auto; max-width: 860px; padding: 0 16px; }
h1 { font-size: 24px; margin-bottom: 4px; }
h2 { font-size: 18px; margin: 28px 0 8px; border-bottom: 1px solid #ccc; padding-bottom: 4px; }
p.lead { color: #444; margin-top: 0; }
p.empty, p.note { color: #666; font-style: italic; }
table { border-collapse: collapse; font-size: 13px; margin-top: 8px; }
th, td { padding: 3px 10px; border-bottom: 1px solid #eee; text-align: right; }
th:first-child, td:first-child { text-align: left; }
td.path { text-align: left; font-family: monospace; word-break: break-all; }
footer { margin-top: 32px; color: #888; font-size: 12px; }
)";

std::string size(int64_t bytes) { return sizeText(static_cast<double>(bytes)); }

std::string rankingSection(const std::string& id, const std::string& title, const std::vector<NamedTotals>& list,
                           const SizeTotals& whole, std::string_view colour, size_t top) {
    std::vector<SvgCharts::Bar> bars;
    for (size_t i = 0; i < std::min(top, list.size()); ++i) {
        const NamedTotals& entry = list[i];
        const std::string name = entry.name.empty() ? "(empty)" : entry.name;
        bars.push_back({name, static_cast<double>(entry.totals.bytesOnDisk),
                        size(entry.totals.bytesOnDisk) + "  " +
                            Formatting::shareText(static_cast<double>(entry.totals.bytesOnDisk),
                                                  static_cast<double>(whole.bytesOnDisk)),
                        name + ": " + countText(entry.totals.files) + " files, " + size(entry.totals.bytes) + ", " +
                            size(entry.totals.bytesOnDisk) + " on disk"});
    }
    std::string html = "<section id=\"" + id + "\"><h2>" + htmlEscaped(title) + "</h2>";
    html += SvgCharts::barChart(bars, std::string(colour), title);
    if (list.size() > bars.size()) {
        html += "<p class=\"note\">" + countText(static_cast<int64_t>(list.size() - bars.size())) +
                " more not shown.</p>";
    }
    return html + "</section>\n";
}

std::string growthSection(const AccountGrowth& growth, size_t top) {
    std::string html = "<section id=\"growth\"><h2>Growth per account</h2>";
    if (growth.days.size() < 2) {
        html += "<p class=\"note\">The database holds runs of one day only; growth shows once runs of a later day "
                "are imported.</p>";
    }
    html += SvgCharts::lineChart(growth, growthLines);
    if (growth.days.size() < 2) return html + "</section>\n";

    std::vector<const AccountGrowth::Series*> byChange;
    for (const auto& series : growth.accounts) byChange.push_back(&series);
    const auto change = [](const AccountGrowth::Series* s) { return s->bytesOnDisk.back() - s->bytesOnDisk.front(); };
    std::stable_sort(byChange.begin(), byChange.end(),
                     [&](const auto* a, const auto* b) { return std::llabs(change(a)) > std::llabs(change(b)); });
    html += "<table><tr><th>Account</th><th>" + dayText(growth.days.front()) + "</th><th>" +
            dayText(growth.days.back()) + "</th><th>Change</th><th>Change %</th></tr>";
    for (size_t i = 0; i < std::min(top, byChange.size()); ++i) {
        const auto& series = *byChange[i];
        const int64_t delta = change(byChange[i]);
        html += "<tr><td>" + htmlEscaped(series.account.empty() ? "(empty)" : series.account) + "</td><td>" +
                size(series.bytesOnDisk.front()) + "</td><td>" + size(series.bytesOnDisk.back()) + "</td><td>" +
                (delta >= 0 ? "+" : "-") + size(std::llabs(delta)) + "</td><td>" +
                (series.bytesOnDisk.front() ? Formatting::shareText(static_cast<double>(delta),
                                                                    static_cast<double>(series.bytesOnDisk.front()))
                                            : std::string("new")) +
                "</td></tr>";
    }
    return html + "</table></section>\n";
}

std::string coldSection(const std::vector<ColdDirectory>& directories) {
    std::string html = "<section id=\"cold\"><h2>Largest directories of the monitored temperature</h2>";
    if (directories.empty()) return html + "<p class=\"empty\">No temperature logs imported.</p></section>\n";
    std::vector<SvgCharts::Bar> bars;
    for (const ColdDirectory& directory : directories) {
        const std::string where = (directory.host.empty() ? "" : directory.host + " ") + directory.directory;
        bars.push_back({where, static_cast<double>(directory.bytes), size(directory.bytes),
                        where + " (" + directory.monitor + ", " + dayText(directory.day) + ")"});
    }
    html += SvgCharts::barChart(bars, std::string(coldColour), "Largest directories of the monitored temperature");
    html += "<table><tr><th>Host</th><th>Temperature</th><th>Run day</th><th>Directory</th><th>On disk</th></tr>";
    for (const ColdDirectory& directory : directories) {
        html += "<tr><td>" + htmlEscaped(directory.host) + "</td><td>" + htmlEscaped(directory.monitor) + "</td><td>" +
                dayText(directory.day) + "</td><td class=\"path\">" + htmlEscaped(directory.directory) + "</td><td>" +
                size(directory.bytes) + "</td></tr>";
    }
    return html + "</table></section>\n";
}

}  // namespace

std::string render(const Content& content, size_t top) {
    const Summary& summary = content.summary;
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>Hoardscan storage report</title><style>";
    html += style;
    html += "</style></head>\n<body>\n<h1>Hoardscan storage report</h1>\n";
    if (summary.runs == 0) {
        html += "<p class=\"lead\">No runs in the database: import account record files first.</p>\n";
    } else {
        html += "<p class=\"lead\">Latest run of each of " + countText(summary.runs) +
                (summary.runs == 1 ? " host, " : " hosts, ") + dayText(summary.firstDay) +
                (summary.lastDay != summary.firstDay ? " to " + dayText(summary.lastDay) : std::string()) + ": " +
                countText(summary.total.files) + " files, " + size(summary.total.bytes) + ", " +
                size(summary.total.bytesOnDisk) + " on disk.</p>\n";
    }
    html += rankingSection("hosts", "Largest hosts", summary.hosts, summary.total, hostColour, top);
    html += rankingSection("accounts", "Largest accounts", summary.accounts, summary.total, accountColour, top);
    html += rankingSection("users", "Largest users", summary.users, summary.total, userColour, top);
    html += rankingSection("groups", "Largest groups (a file counts in each of its groups)", summary.groups,
                           summary.total, groupColour, top);
    html += rankingSection("types", "Largest file types", summary.fileTypes, summary.total, fileTypeColour, top);
    html += "<section id=\"temperatures\"><h2>Bytes on disk by temperature</h2>" +
            SvgCharts::heatmap(summary.temperatures) + "</section>\n";
    html += growthSection(content.growth, top);
    html += coldSection(content.coldDirectories);
    html += "<footer>Generated " + htmlEscaped(content.generatedAt) + " by hoardscan-report.</footer>\n";
    return html + "</body></html>\n";
}

}  // namespace Quilna::HtmlReport
