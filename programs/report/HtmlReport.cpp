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

std::string changeRows(SystemServices& services, const Content& content, std::string_view pageKind,
                       const std::vector<RunChange>& changes, size_t top, bool withScans) {
    std::string html;
    for (size_t i = 0; i < std::min(top, changes.size()); ++i) {
        const RunChange& change = changes[i];
        const std::string link = pageLink(content, pageKind, change.name);
        const std::string name = htmlEscaped(nameOf(change.name));
        html += "<tr><td>" + (link.empty() ? name : "<a href=\"" + link + "\">" + name + "</a>") + "</td>";
        if (withScans) {
            html += "<td>" +
                    (change.previousScan.known() ? scanText(services, change.previousScan) : std::string("-")) +
                    "</td><td>" + scanText(services, change.latestScan) + "</td>";
        }
        const WideInt before = change.previous.bytesOnDisk, after = change.latest.bytesOnDisk;
        html += "<td>" + size(before) + "</td><td>" + size(after) + "</td><td>" + signedSize(after - before) +
                "</td><td>" +
                (withScans && !change.previousScan.known() ? std::string("new") : changeShare(before, after)) +
                "</td></tr>";
    }
    return html;
}

std::string changeSection(SystemServices& services, const Content& content, size_t top) {
    std::string html = "<section id=\"changes\"><h2>Change since the previous run</h2>";
    if (content.hostChanges.empty()) return html + "<p class=\"empty\">No runs imported.</p></section>\n";
    html +=
        "<p class=\"note\">Bytes on disk of each host's latest run against the run before it; a host's "
        "only run counts as both for its accounts.</p>";
    html +=
        "<table><tr><th>Host</th><th>Previous run</th><th>Latest run</th><th>Before</th><th>After</th>"
        "<th>Change</th><th>Change %</th></tr>" +
        changeRows(services, content, "host", content.hostChanges, top, true) + "</table>";
    html += "<table><tr><th>Account</th><th>Before</th><th>After</th><th>Change</th><th>Change %</th></tr>" +
            changeRows(services, content, "account", content.accountChanges, top, false) + "</table>";
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
        "<p class=\"note\">Cold and frozen files (by their last read): of each directory's whole subtree by the "
        "latest directory totals of its host; of a host without totals, of the directory's own files by its latest "
        "inactive-file table.</p>";
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
                size(directory.bytesOnDisk) + "</td><td>" +
                (directory.subtree ? std::string("-") : Formatting::localTimeText(directory.lastAccess)) + "</td></tr>";
    }
    return html + "</table></section>\n";
}

std::string monitoredSection(SystemServices& services, const std::vector<MonitoredDirectory>& directories) {
    std::string html = "<section id=\"monitored\"><h2>Largest directories of the monitored temperature</h2>";
    if (directories.empty()) return html + "<p class=\"empty\">No temperature logs imported.</p></section>\n";
    std::vector<SvgCharts::Bar> bars;
    for (const MonitoredDirectory& directory : directories) {
        const std::string where = (directory.host.empty() ? "" : directory.host + " ") + directory.directory;
        bars.push_back({where, static_cast<double>(directory.bytes), size(directory.bytes),
                        where + " (" + directory.monitor + ", " + scanText(services, directory.scanned) + ")", ""});
    }
    html += SvgCharts::barChart(bars, std::string(monitoredColour), "Largest directories of the monitored temperature");
    html += "<table><tr><th>Host</th><th>Temperature</th><th>Scanned</th><th>Directory</th><th>On disk</th></tr>";
    for (const MonitoredDirectory& directory : directories) {
        html += "<tr><td>" + htmlEscaped(directory.host) + "</td><td>" + htmlEscaped(directory.monitor) + "</td><td>" +
                scanText(services, directory.scanned) + "</td><td class=\"path\">" + htmlEscaped(directory.directory) +
                "</td><td>" + size(directory.bytes) + "</td></tr>";
    }
    return html + "</table></section>\n";
}

std::string runsTable(SystemServices& services, const std::vector<HostRun>& runs) {
    std::string html = "<table><tr><th>Run</th><th>Files</th><th>Size</th><th>On disk</th><th>Change</th></tr>";
    for (size_t i = 0; i < runs.size(); ++i) {
        const SizeTotals& totals = runs[i].totals;
        html += "<tr><td>" + scanText(services, runs[i].scanned) + "</td><td>" + countText(totals.files) + "</td><td>" +
                size(totals.bytes) + "</td><td>" + size(totals.bytesOnDisk) + "</td><td>" +
                (i ? signedSize(totals.bytesOnDisk - runs[i - 1].totals.bytesOnDisk) : std::string("-")) + "</td></tr>";
    }
    return html + "</table>";
}

std::string linked(const std::string& link, const std::string& text) {
    return link.empty() ? htmlEscaped(text) : "<a href=\"" + link + "\">" + htmlEscaped(text) + "</a>";
}

// A ranking as a table: each name a link where it has a page.
template <typename LinkOf>
std::string totalsTable(const std::string& title, const std::string& what, const std::vector<NamedTotals>& list,
                        const SizeTotals& whole, size_t top, const LinkOf& linkOf) {
    std::string html = "<h2>" + title + "</h2>";
    if (list.empty()) return html + "<p class=\"empty\">None in the directory totals.</p>";
    html += "<table><tr><th>" + what + "</th><th>Files</th><th>Size</th><th>On disk</th><th>Share</th></tr>";
    for (size_t i = 0; i < std::min(top, list.size()); ++i) {
        const SizeTotals& totals = list[i].totals;
        html += "<tr><td class=\"path\">" + linked(linkOf(list[i].name), nameOf(list[i].name)) + "</td><td>" +
                countText(totals.files) + "</td><td>" + size(totals.bytes) + "</td><td>" + size(totals.bytesOnDisk) +
                "</td><td>" +
                Formatting::shareText(static_cast<double>(totals.bytesOnDisk), static_cast<double>(whole.bytesOnDisk)) +
                "</td></tr>";
    }
    html += "</table>";
    if (list.size() > top) {
        html += "<p class=\"note\">" + countText(static_cast<int64_t>(list.size() - top)) + " more not shown.</p>";
    }
    return html;
}

// The directories of a host's totals whose parent has no page, leading to the others; for an
// account, its share of each.
// A host's topmost directories with pages: the whole of each, or one account's or user's share
// (split names the page's split by accounts or users, name the one taken).
std::string rootDirectories(const Content& content, const std::string& host, const std::string& title,
                            std::vector<NamedTotals> DirectoryPage::*split = nullptr, const std::string& name = "") {
    const auto found = content.directoryPages.find(host);
    if (found == content.directoryPages.end()) return "";
    std::vector<NamedTotals> roots;
    for (const DirectoryPage& page : found->second) {
        if (!directoryLink(content, host, page.parent).empty()) continue;
        SizeTotals totals = page.totals;
        if (split) {
            const auto share = std::ranges::find(page.*split, name, &NamedTotals::name);
            if (share == (page.*split).end()) continue;
            totals = share->totals;
        }
        roots.push_back(NamedTotals{page.directory, totals});
    }
    if (roots.empty()) return "";
    SizeTotals whole;
    for (const NamedTotals& root : roots) whole += root.totals;
    return totalsTable(title, "Directory", roots, whole, roots.size(),
                       [&](const std::string& name) { return directoryLink(content, host, name); });
}

// The last sections of every page: file types, and bytes by temperature.
std::string typesAndTemperatures(const Content& content, const std::string& id, const Summary& summary, size_t top) {
    return rankingSection(content, "", id + "-types", "File types", summary.fileTypes, summary.total, fileTypeColour,
                          top) +
           temperatureSection(id + "-temperatures", summary.temperatures);
}

// An account's, user's or group's figures over the latest run of each host.
std::string latestRunsLead(const Summary& summary) {
    return "Latest run of each of " + countText(summary.runs) + (summary.runs == 1 ? " host: " : " hosts: ") +
           leadText(summary) + ".";
}

std::string hostPage(SystemServices& services, const Content& content, const std::string& host, const Summary& summary,
                     size_t top) {
    const std::string id = pageLink(content, "host", host).substr(1);
    std::string html = "<section class=\"page\" id=\"" + id +
                       "\"><p><a href=\"#overview\">\u2190 All hosts</a></p>"
                       "<h1>Host " +
                       htmlEscaped(nameOf(host)) + "</h1>";
    html += "<p class=\"lead\">Latest run " +
            (summary.hosts.empty() ? "-" : scanText(services, summary.hosts.front().scanned)) + ": " +
            leadText(summary) + ".</p>";
    if (const auto runs = content.hostRuns.find(host); runs != content.hostRuns.end()) {
        html += "<h2>Runs</h2>" + runsTable(services, runs->second);
    }
    html += rankingSection(content, "account", id + "-accounts", "Accounts", summary.accounts, summary.total,
                           accountColour, top);
    html += rankingSection(content, "user", id + "-users", "Users", summary.users, summary.total, userColour, top);
    html += typesAndTemperatures(content, id, summary, top);
    html += rootDirectories(content, host, "Directories");
    return html + "</section>\n";
}

std::string accountPage(const Content& content, const std::string& account, const Summary& summary, size_t top) {
    const std::string id = pageLink(content, "account", account).substr(1);
    std::string html = "<section class=\"page\" id=\"" + id +
                       "\"><p><a href=\"#overview\">\u2190 All accounts</a></p>"
                       "<h1>Account " +
                       htmlEscaped(nameOf(account)) + "</h1>";
    html += "<p class=\"lead\">" + latestRunsLead(summary) + "</p>";
    html += rankingSection(content, "host", id + "-hosts", "Hosts", summary.hosts, summary.total, hostColour, top);
    html += rankingSection(content, "user", id + "-users", "Users", summary.users, summary.total, userColour, top);
    html += typesAndTemperatures(content, id, summary, top);
    for (const auto& [host, pages] : content.directoryPages)
        html += rootDirectories(content, host, "Directories on " + htmlEscaped(nameOf(host)), &DirectoryPage::accounts,
                                account);
    return html + "</section>\n";
}

// A user's or a group's page: where its files are counted.
std::string ownerPage(const Content& content, std::string_view kind, const std::string& name, const Summary& summary,
                      size_t top) {
    const std::string id = pageLink(content, kind, name).substr(1);
    const std::string title = kind == "user" ? "User " : "Group ";
    std::string html = "<section class=\"page\" id=\"" + id +
                       "\"><p><a href=\"#overview\">\u2190 Overview</a></p><h1>" + title + htmlEscaped(nameOf(name)) +
                       "</h1>";
    html += "<p class=\"lead\">" + latestRunsLead(summary) + "</p>";
    html += rankingSection(content, "account", id + "-accounts", "Accounts", summary.accounts, summary.total,
                           accountColour, top);
    html += rankingSection(content, "host", id + "-hosts", "Hosts", summary.hosts, summary.total, hostColour, top);
    html += typesAndTemperatures(content, id, summary, top);
    // The totals are split by user, not by group: a group's page shows whole directories.
    for (const NamedTotals& host : summary.hosts) {
        const std::string title = "Directories on " + htmlEscaped(nameOf(host.name));
        html += kind == "user" ? rootDirectories(content, host.name, title, &DirectoryPage::users, name)
                               : rootDirectories(content, host.name, title + " (every owner's files)");
    }
    return html + "</section>\n";
}

std::string directoryPage(const Content& content, const DirectoryPage& page, size_t top) {
    const std::string id = directoryLink(content, page.host, page.directory).substr(1);
    std::string html = "<section class=\"page\" id=\"" + id + "\"><p>" +
                       linked(pageLink(content, "host", page.host), "\u2190 Host " + nameOf(page.host));
    if (const std::string up = directoryLink(content, page.host, page.parent); !up.empty()) {
        html += " \u00b7 " + linked(up, "\u2191 " + page.parent);
    }
    html += "</p><h1>Directory " + htmlEscaped(page.directory) + "</h1><p class=\"lead\">Whole subtree on " +
            htmlEscaped(nameOf(page.host)) + ": " + countText(page.totals.files) + " files, " +
            size(page.totals.bytes) + ", " + size(page.totals.bytesOnDisk) + " on disk.</p>";
    html += totalsTable("Subdirectories", "Directory", page.subdirectories, page.totals, top,
                        [&](const std::string& name) { return directoryLink(content, page.host, name); });
    html += totalsTable("Accounts", "Account", page.accounts, page.totals, top,
                        [&](const std::string& name) { return pageLink(content, "account", name); });
    html += totalsTable("Users", "User", page.users, page.totals, top,
                        [&](const std::string& name) { return pageLink(content, "user", name); });
    html += totalsTable("Access temperatures", "Temperature", page.temperatures, page.totals, top,
                        [](const std::string&) { return std::string(); });
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
    const std::map<std::string, Summary>& pages = kind == "host"    ? content.hostPages
                                                  : kind == "user"  ? content.userPages
                                                  : kind == "group" ? content.groupPages
                                                                    : content.accountPages;
    const size_t number = pageNumber(pages, name);
    return number == 0 || kind.empty() ? "" : "#" + std::string(kind) + "-" + std::to_string(number);
}

std::string directoryLink(const Content& content, const std::string& host, const std::string& directory) {
    const auto found = content.directoryPages.find(host);
    if (found == content.directoryPages.end() || directory.empty()) return "";
    const auto& pages = found->second;
    const auto page = std::ranges::find(pages, directory, &DirectoryPage::directory);
    if (page == pages.end()) return "";
    return "#dir-" + std::to_string(std::distance(content.directoryPages.begin(), found) + 1) + "-" +
           std::to_string(page - pages.begin() + 1);
}

std::string render(SystemServices& services, const Content& content, size_t top) {
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
                (summary.runs == 1 ? " host, scanned " : " hosts, scanned ") + scanText(services, summary.firstScan) +
                (summary.lastScan.at != summary.firstScan.at ? " to " + scanText(services, summary.lastScan)
                                                             : std::string()) +
                ": " + leadText(summary) + ".</p>\n";
    }
    html += rankingSection(content, "host", "hosts", "Largest hosts", summary.hosts, summary.total, hostColour, top);
    html += rankingSection(content, "account", "accounts", "Largest accounts", summary.accounts, summary.total,
                           accountColour, top);
    html += rankingSection(content, "user", "users", "Largest users", summary.users, summary.total, userColour, top);
    html += rankingSection(content, "group", "groups", "Largest groups (a file counts in each of its groups)",
                           summary.groups, summary.total, groupColour, top);
    html += rankingSection(content, "", "types", "Largest file types", summary.fileTypes, summary.total, fileTypeColour,
                           top);
    html += temperatureSection("temperatures", summary.temperatures);
    html += changeSection(services, content, top);
    html += growthSection(content.growth, top);
    html += coldSection(content.coldDirectories);
    html += monitoredSection(services, content.monitoredDirectories);
    html += "</div>\n";
    for (const auto& [host, page] : content.hostPages) html += hostPage(services, content, host, page, top);
    for (const auto& [account, page] : content.accountPages) html += accountPage(content, account, page, top);
    for (const auto& [user, page] : content.userPages) html += ownerPage(content, "user", user, page, top);
    for (const auto& [group, page] : content.groupPages) html += ownerPage(content, "group", group, page, top);
    for (const auto& [host, pages] : content.directoryPages)
        for (const DirectoryPage& page : pages) html += directoryPage(content, page, top);
    html += "<footer>Generated " + htmlEscaped(content.generatedAt) + " by hoardscan-report.</footer>\n";
    return html + "</body></html>\n";
}

}  // namespace Quilna::HtmlReport
