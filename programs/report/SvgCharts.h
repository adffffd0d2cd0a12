#pragma once
// Inline SVG charts for the HTML report: plain shapes and text, no scripts, no external
// resources. Filled shapes are drawn with crisp edges so that each chart's colour is
// exactly the one asked for.

#include "report/ReportData.h"

#include <cstddef>
#include <string>
#include <vector>

namespace Quilna::SvgCharts {

struct Bar {
    std::string label;
    double value = 0;
    std::string valueText;
    std::string tooltip;
    std::string link;  // a place in the same page ("#host-1"), or empty
};

// Horizontal bars, longest for the largest value, with labels left and values right.
std::string barChart(const std::vector<Bar>& bars, const std::string& colour, const std::string& caption);

// Bytes on disk per access (rows) and modify (columns) temperature, darker for more.
std::string heatmap(const TemperatureMatrix& matrix);
// The colour of a heat-map cell holding the given share (0 to 1) of the largest cell.
std::string heatColour(double share);

// One line per account over the run days, for the first `lines` accounts of the growth.
std::string lineChart(const AccountGrowth& growth, size_t lines);
// The colour of the n-th line.
std::string seriesColour(size_t index);

}  // namespace Quilna::SvgCharts
