#pragma once
// The report as one self-contained HTML page: inline CSS and SVG, no scripts, nothing
// loaded from elsewhere, so that it can be mailed or archived as it is.

#include "tools/report/ReportData.h"

#include <cstddef>
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
inline constexpr std::string_view coldColour = "#9c755f";

struct Content {
    Summary summary;
    AccountGrowth growth;
    std::vector<ColdDirectory> coldDirectories;
    std::string generatedAt;  // shown in the footer
};

std::string render(const Content& content, size_t top);

}  // namespace Quilna::HtmlReport
