#pragma once
// The report as one self-contained HTML page: inline CSS and SVG, no scripts, nothing
// loaded from elsewhere, so that it can be mailed or archived as it is. The pages of single
// hosts and accounts are parts of the same file, shown in place of the overview when the
// address names them ("report.html#host-1"): CSS alone switches between them. So do the pages
// of the top users and groups and of the largest directories of each host with a page.

#include "platform/SystemServices.h"
#include "report/ReportData.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna::HtmlReport {

// The bar colour of each ranking chart.
inline constexpr std::string_view hostColour = "#4e79a7";
inline constexpr std::string_view accountColour = "#f28e2b";
inline constexpr std::string_view userColour = "#59a14f";
inline constexpr std::string_view groupColour = "#b07aa1";
inline constexpr std::string_view fileTypeColour = "#76b7b2";
inline constexpr std::string_view coldColour = "#e15759";
inline constexpr std::string_view monitoredColour = "#9c755f";

struct Content {
    Summary summary;
    std::map<std::string, Summary> hostPages;              // by host
    std::map<std::string, std::vector<HostRun>> hostRuns;  // by host, for its page
    std::map<std::string, Summary> accountPages;           // by account
    std::map<std::string, Summary> userPages;              // by user
    std::map<std::string, Summary> groupPages;             // by group
    // By host, the largest directories first; a directory's parent is among them when it
    // has a parent in the totals.
    std::map<std::string, std::vector<DirectoryPage>> directoryPages;
    std::vector<RunChange> hostChanges;
    std::vector<RunChange> accountChanges;
    AccountGrowth growth;
    std::vector<ColdDirectory> coldDirectories;
    std::vector<MonitoredDirectory> monitoredDirectories;
    std::string generatedAt;  // shown in the footer
};

// The address within the page of a host's, an account's, a user's or a group's page: "#host-3".
std::string pageLink(const Content& content, std::string_view kind, const std::string& name);
// The address of a directory's page: "#dir-2-5"; empty when it has none.
std::string directoryLink(const Content& content, const std::string& host, const std::string& directory);

std::string render(SystemServices& services, const Content& content, size_t top);

}  // namespace Quilna::HtmlReport
