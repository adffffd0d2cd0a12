#include "report/HtmlReport.h"

#include "report/Formatting.h"
#include "report/SvgCharts.h"

#include <algorithm>

namespace Quilna::HtmlReport {

namespace {

using Formatting::countText;
using Formatting::dayText;
using Formatting::htmlEscaped;
using Formatting::scanText;
using Formatting::sizeText;

constexpr size_t growthLines = 8;

// The pages of hosts and accounts are hidden until the address names one; then the overview
// is hidden instead.
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
a { color: #1f5fa8; }
svg a text { fill: #1f5fa8; text-decoration: underline; }
.page { display: none; }
.page:target { display: block; }
body:has(.page:target) #overview { display: none; }
footer { margin-top: 32px; color: #888; font-size: 12px; }
)";

std::string size(WideInt bytes) { return sizeText(static_cast<double>(bytes)); }
std::string nameOf(const std::string& name) { return name.empty() ? "(empty)" : name; }

std::string signedSize(WideInt bytes) { return (bytes >= 0 ? "+" : "-") + size(bytes >= 0 ? bytes : -bytes); }

std::string changeShare(WideInt before, WideInt after) {
    if (before == 0) return after == 0 ? "0.0%" : "new";
    return Formatting::shareText(static_cast<double>(after - before), static_cast<double>(before));
}

std::string rankingSection(const Content& content, std::string_view pageKind, const std::string& id,
                           const std::string& title, const std::vector<NamedTotals>& list, const SizeTotals& whole,
                           std::string_view colour, size_t top) {
    std::vector<SvgCharts::Bar> bars;
    for (size_t i = 0; i < std::min(top, list.size()); ++i) {
        const NamedTotals& entry = list[i];
        const std::string name = nameOf(entry.name);
        bars.push_back({name, static_cast<double>(entry.totals.bytesOnDisk),
                        size(entry.totals.bytesOnDisk) + "  " +
                            Formatting::shareText(static_cast<double>(entry.totals.bytesOnDisk),
                                                  static_cast<double>(whole.bytesOnDisk)),
                        name + ": " + countText(entry.totals.files) + " files, " + size(entry.totals.bytes) + ", " +
                            size(entry.totals.bytesOnDisk) + " on disk",
                        pageKind.empty() ? std::string() : pageLink(content, pageKind, entry.name)});
    }
    std::string html = "<section id=\"" + id + "\"><h2>" + htmlEscaped(title) + "</h2>";
    html += SvgCharts::barChart(bars, std::string(colour), title);
    if (list.size() > bars.size()) {
        html +=
            "<p class=\"note\">" + countText(static_cast<int64_t>(list.size() - bars.size())) + " more not shown.</p>";
    }
    return html + "</section>\n";
}

std::string temperatureSection(const std::string& id, const TemperatureMatrix& matrix) {
    return "<section id=\"" + id + "\"><h2>Bytes on disk by temperature</h2>" + SvgCharts::heatmap(matrix) +
           "</section>\n";
}

std::string leadText(const Summary& summary) {
    return countText(summary.total.files) + " files, " + size(summary.total.bytes) + ", " +
           size(summary.total.bytesOnDisk) + " on disk";
}

std::string changeRows(const Content& content, std::string_view pageKind, const std::vector<RunChange>& changes,
                       size_t top, bool withScans) {
    std::string html;
    for (size_t i = 0; i < std::min(top, changes.size()); ++i) {
        const RunChange& change = changes[i];
        const std::string link = pageLink(content, pageKind, change.name);
        const std::string name = htmlEscaped(nameOf(change.name));
        html += "<tr><td>" + (link.empty() ? name : "<a href=\"" + link + "\">" + name + "</a>") + "</td>";
        if (withScans) {
            html += "<td>" + (change.previousScan.known() ? scanText(change.previousScan) : std::string("-")) +
                    "</td><td>" + scanText(change.latestScan) + "</td>";
        }
        const WideInt before = change.previous.bytesOnDisk, after = change.latest.bytesOnDisk;
        html += "<td>" + size(before) + "</td><td>" + size(after) + "</td><td>" + signedSize(after - before) +
                "</td><td>" +
                (withScans && !change.previousScan.known() ? std::string("new") : changeShare(before, after)) +
                "</td></tr>";
    }
    return html;
}

std::string changeSection(const Content& content, size_t top) {
    std::string html = "<section id=\"changes\"><h2>Change since the previous run</h2>";
    if (content.hostChanges.empty()) return html + "<p class=\"empty\">No runs imported.</p></section>\n";
    html +=
        "<p class=\"note\">Bytes on disk of each host's latest run against the run before it; a host's "
        "only run counts as both for its accounts.</p>";
    html +=
        "<table><tr><th>Host</th><th>Previous run</th><th>Latest run</th><th>Before</th><th>After</th>"
        "<th>Change</th><th>Change %</th></tr>" +
        changeRows(content, "host", content.hostChanges, top, true) + "</table>";
    html += "<table><tr><th>Account</th><th>Before</th><th>After</th><th>Change</th><th>Change %</th></tr>" +
            changeRows(content, "account", content.accountChanges, top, false) + "</table>";
    return html + "</section>\n";
}

std::string growthSection(const AccountGrowth& growth, size_t top) {
    std::string html = "<section id=\"growth\"><h2>Growth per account</h2>";
    if (growth.days.size() < 2) {
        html +=
            "<p class=\"note\">The database holds runs of one day only; growth shows once runs of a later day "
            "are imported.</p>";
    }
    html += SvgCharts::lineChart(growth, growthLines);
    if (growth.days.size() < 2) return html + "</section>\n";

    std::vector<const AccountGrowth::Series*> byChange;
    for (const auto& series : growth.accounts) byChange.push_back(&series);
    const auto change = [](const AccountGrowth::Series* s) { return s->bytesOnDisk.back() - s->bytesOnDisk.front(); };
    const auto magnitude = [](WideInt value) { return value < 0 ? -value : value; };
    std::stable_sort(byChange.begin(), byChange.end(),
                     [&](const auto* a, const auto* b) { return magnitude(change(a)) > magnitude(change(b)); });
    html += "<table><tr><th>Account</th><th>" + dayText(growth.days.front()) + "</th><th>" +
            dayText(growth.days.back()) + "</th><th>Change</th><th>Change %</th></tr>";
    for (size_t i = 0; i < std::min(top, byChange.size()); ++i) {
        const auto& series = *byChange[i];
        html += "<tr><td>" + htmlEscaped(nameOf(series.account)) + "</td><td>" + size(series.bytesOnDisk.front()) +
                "</td><td>" + size(series.bytesOnDisk.back()) + "</td><td>" + signedSize(change(byChange[i])) +
                "</td><td>" + changeShare(series.bytesOnDisk.front(), series.bytesOnDisk.back()) + "</td></tr>";
    }
    return html + "</table></section>\n";
}

std::string coldSection(const std::vector<ColdDirectory>& directories) {
    std::string html = "<section id=\"cold\"><h2>Largest cold directories</h2>";
    if (directories.empty()) return html + "<p class=\"empty\">No inactive-file tables imported.</p></section>\n";
    html +=
        "<p class=\"note\">Cold and frozen files (by their last read) of the latest inactive-file table of each "
        "host, summed per directory.</p>";
    std::vector<SvgCharts::Bar> bars;
    for (const ColdDirectory& directory : directories) {
        const std::string where = (directory.host.empty() ? "" : directory.host + " ") + directory.directory;
        bars.push_back({where, static_cast<double>(directory.bytesOnDisk), size(directory.bytesOnDisk),
                        where + ": " + countText(directory.files) + " files", ""});
    }
    html += SvgCharts::barChart(bars, std::string(coldColour), "Largest cold directories");
    html += "<table><tr><th>Host</th><th>Directory</th><th>Files</th><th>On disk</th><th>Last read</th></tr>";
    for (const ColdDirectory& directory : directories) {
        html += "<tr><td>" + htmlEscaped(directory.host) + "</td><td class=\"path\">" +
                htmlEscaped(directory.directory) + "</td><td>" + countText(directory.files) + "</td><td>" +
                size(directory.bytesOnDisk) + "</td><td>" + Formatting::localTimeText(directory.lastAccess) +
                "</td></tr>";
    }
    return html + "</table></section>\n";
}

std::string monitoredSection(const std::vector<MonitoredDirectory>& directories) {
    std::string html = "<section id=\"monitored\"><h2>Largest directories of the monitored temperature</h2>";
    if (directories.empty()) return html + "<p class=\"empty\">No temperature logs imported.</p></section>\n";
    std::vector<SvgCharts::Bar> bars;
    for (const MonitoredDirectory& directory : directories) {
        const std::string where = (directory.host.empty() ? "" : directory.host + " ") + directory.directory;
        bars.push_back({where, static_cast<double>(directory.bytes), size(directory.bytes),
                        where + " (" + directory.monitor + ", " + scanText(directory.scanned) + ")", ""});
    }
    html += SvgCharts::barChart(bars, std::string(monitoredColour), "Largest directories of the monitored temperature");
    html += "<table><tr><th>Host</th><th>Temperature</th><th>Scanned</th><th>Directory</th><th>On disk</th></tr>";
    for (const MonitoredDirectory& directory : directories) {
        html += "<tr><td>" + htmlEscaped(directory.host) + "</td><td>" + htmlEscaped(directory.monitor) + "</td><td>" +
                scanText(directory.scanned) + "</td><td class=\"path\">" + htmlEscaped(directory.directory) +
                "</td><td>" + size(directory.bytes) + "</td></tr>";
    }
    return html + "</table></section>\n";
}

std::string runsTable(const std::vector<HostRun>& runs) {
    std::string html = "<table><tr><th>Run</th><th>Files</th><th>Size</th><th>On disk</th><th>Change</th></tr>";
    for (size_t i = 0; i < runs.size(); ++i) {
        const SizeTotals& totals = runs[i].totals;
        html += "<tr><td>" + scanText(runs[i].scanned) + "</td><td>" + countText(totals.files) + "</td><td>" +
                size(totals.bytes) + "</td><td>" + size(totals.bytesOnDisk) + "</td><td>" +
                (i ? signedSize(totals.bytesOnDisk - runs[i - 1].totals.bytesOnDisk) : std::string("-")) + "</td></tr>";
    }
    return html + "</table>";
}

std::string hostPage(const Content& content, const std::string& host, const Summary& summary, size_t top) {
    const std::string id = pageLink(content, "host", host).substr(1);
    std::string html = "<section class=\"page\" id=\"" + id +
                       "\"><p><a href=\"#overview\">\u2190 All hosts</a></p>"
                       "<h1>Host " +
                       htmlEscaped(nameOf(host)) + "</h1>";
    html += "<p class=\"lead\">Latest run " + (summary.hosts.empty() ? "-" : scanText(summary.hosts.front().scanned)) +
            ": " + leadText(summary) + ".</p>";
    if (const auto runs = content.hostRuns.find(host); runs != content.hostRuns.end()) {
        html += "<h2>Runs</h2>" + runsTable(runs->second);
    }
    html += rankingSection(content, "account", id + "-accounts", "Accounts", summary.accounts, summary.total,
                           accountColour, top);
    html += rankingSection(content, "", id + "-users", "Users", summary.users, summary.total, userColour, top);
    html +=
        rankingSection(content, "", id + "-types", "File types", summary.fileTypes, summary.total, fileTypeColour, top);
    html += temperatureSection(id + "-temperatures", summary.temperatures);
    return html + "</section>\n";
}

std::string accountPage(const Content& content, const std::string& account, const Summary& summary, size_t top) {
    const std::string id = pageLink(content, "account", account).substr(1);
    std::string html = "<section class=\"page\" id=\"" + id +
                       "\"><p><a href=\"#overview\">\u2190 All accounts</a></p>"
                       "<h1>Account " +
                       htmlEscaped(nameOf(account)) + "</h1>";
    html += "<p class=\"lead\">Latest run of each of " + countText(summary.runs) +
            (summary.runs == 1 ? " host: " : " hosts: ") + leadText(summary) + ".</p>";
    html += rankingSection(content, "host", id + "-hosts", "Hosts", summary.hosts, summary.total, hostColour, top);
    html += rankingSection(content, "", id + "-users", "Users", summary.users, summary.total, userColour, top);
    html +=
        rankingSection(content, "", id + "-types", "File types", summary.fileTypes, summary.total, fileTypeColour, top);
    html += temperatureSection(id + "-temperatures", summary.temperatures);
    return html + "</section>\n";
}

// The position of a name among the ones that have pages, counted from 1, or 0.
size_t pageNumber(const std::map<std::string, Summary>& pages, const std::string& name) {
    const auto found = pages.find(name);
    return found == pages.end() ? 0 : static_cast<size_t>(std::distance(pages.begin(), found)) + 1;
}

}  // namespace

std::string pageLink(const Content& content, std::string_view kind, const std::string& name) {
    // Numbers, not names, make the addresses: a name may hold anything.
    const size_t number = pageNumber(kind == "host" ? content.hostPages : content.accountPages, name);
    return number == 0 || kind.empty() ? "" : "#" + std::string(kind) + "-" + std::to_string(number);
}

std::string render(const Content& content, size_t top) {
    const Summary& summary = content.summary;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>Hoardscan storage report</title><style>";
    html += style;
    html += "</style></head>\n<body>\n<div id=\"overview\">\n<h1>Hoardscan storage report</h1>\n";
    if (summary.runs == 0) {
        html += "<p class=\"lead\">No runs in the database: import account record files first.</p>\n";
    } else {
        html += "<p class=\"lead\">Latest run of each of " + countText(summary.runs) +
                (summary.runs == 1 ? " host, scanned " : " hosts, scanned ") + scanText(summary.firstScan) +
                (summary.lastScan.at != summary.firstScan.at ? " to " + scanText(summary.lastScan) : std::string()) +
                ": " + leadText(summary) + ".</p>\n";
    }
    html += rankingSection(content, "host", "hosts", "Largest hosts", summary.hosts, summary.total, hostColour, top);
    html += rankingSection(content, "account", "accounts", "Largest accounts", summary.accounts, summary.total,
                           accountColour, top);
    html += rankingSection(content, "", "users", "Largest users", summary.users, summary.total, userColour, top);
    html += rankingSection(content, "", "groups", "Largest groups (a file counts in each of its groups)",
                           summary.groups, summary.total, groupColour, top);
    html += rankingSection(content, "", "types", "Largest file types", summary.fileTypes, summary.total, fileTypeColour,
                           top);
    html += temperatureSection("temperatures", summary.temperatures);
    html += changeSection(content, top);
    html += growthSection(content.growth, top);
    html += coldSection(content.coldDirectories);
    html += monitoredSection(content.monitoredDirectories);
    html += "</div>\n";
    for (const auto& [host, page] : content.hostPages) html += hostPage(content, host, page, top);
    for (const auto& [account, page] : content.accountPages) html += accountPage(content, account, page, top);
    html += "<footer>Generated " + htmlEscaped(content.generatedAt) + " by hoardscan-report.</footer>\n";
    return html + "</body></html>\n";
}

}  // namespace Quilna::HtmlReport
