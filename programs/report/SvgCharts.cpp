#include "report/SvgCharts.h"

#include "report/Formatting.h"
#include "report/TextCleaning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace Quilna::SvgCharts {

namespace {

using Formatting::htmlEscaped;

constexpr int chartWidth = 760;
constexpr int labelWidth = 200;
constexpr int barArea = 440;
constexpr int rowHeight = 24;
constexpr int barHeight = 16;
constexpr size_t labelCharacters = 28;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string out = text;
    if (out.size() > 2 && out.compare(out.size() - 2, 2, ".0") == 0) out.resize(out.size() - 2);
    return out;
}

// Long labels are cut to fit the label column; the whole text stays in the tooltip.
std::string shortLabel(const std::string& label) {
    if (TextCleaning::displayWidth(label) <= labelCharacters) return label;
    std::string out;
    size_t characters = 0;
    for (char c : label) {
        const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (starts && ++characters > labelCharacters - 1) break;
        out += c;
    }
    return out + "\u2026";
}

std::string svgOpen(int width, int height, const std::string& caption) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\" role=\"img\" aria-label=\"" + htmlEscaped(caption) + "\" font-family=\"sans-serif\" font-size=\"12\">";
}

std::string rgb(int red, int green, int blue) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", red, green, blue);
    return text;
}

}  // namespace

std::string barChart(const std::vector<Bar>& bars, const std::string& colour, const std::string& caption) {
    if (bars.empty()) return "<p class=\"empty\">No data.</p>";
    double largest = 0;
    for (const Bar& bar : bars) largest = std::max(largest, bar.value);
    const int height = static_cast<int>(bars.size()) * rowHeight + 8;
    std::string svg = svgOpen(chartWidth, height, caption);
    for (size_t i = 0; i < bars.size(); ++i) {
        const Bar& bar = bars[i];
        const int top = static_cast<int>(i) * rowHeight + 4;
        const int width = bar.value <= 0 || largest <= 0
                              ? 0
                              : std::max(1, static_cast<int>(std::lround(bar.value / largest * barArea)));
        const std::string tooltip = "<title>" + htmlEscaped(bar.tooltip.empty() ? bar.label : bar.tooltip) + "</title>";
        const std::string label = "<text x=\"" + std::to_string(labelWidth - 8) + "\" y=\"" + std::to_string(top + 13) +
                                  "\" text-anchor=\"end\">" + htmlEscaped(shortLabel(bar.label)) + tooltip + "</text>";
        svg += bar.link.empty() ? label : "<a href=\"" + htmlEscaped(bar.link) + "\">" + label + "</a>";
        if (width > 0) {
            svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(top) + "\" width=\"" +
                   std::to_string(width) + "\" height=\"" + std::to_string(barHeight) + "\" fill=\"" + colour +
                   "\" shape-rendering=\"crispEdges\">" + tooltip + "</rect>";
        }
        svg += "<text x=\"" + std::to_string(labelWidth + width + 6) + "\" y=\"" + std::to_string(top + 13) + "\">" +
               htmlEscaped(bar.valueText) + "</text>";
    }
    return svg + "</svg>";
}

std::string heatColour(double share) {
    // From a pale to a deep orange.
    const double t = std::clamp(share, 0.0, 1.0);
    const auto mix = [&](int from, int to) { return static_cast<int>(std::lround(from + (to - from) * t)); };
    return rgb(mix(254, 166), mix(237, 54), mix(222, 3));
}

std::string heatmap(const TemperatureMatrix& matrix) {
    if (matrix.access.empty()) return "<p class=\"empty\">No data.</p>";
    constexpr int left = 130, top = 44, cellWidth = 104, cellHeight = 34;
    WideInt largest = 0;
    for (const auto& row : matrix.cells) {
        for (const SizeTotals& cell : row) largest = std::max(largest, cell.bytesOnDisk);
    }
    const int width = left + cellWidth * static_cast<int>(matrix.modify.size()) + 10;
    const int height = top + cellHeight * static_cast<int>(matrix.access.size()) + 10;
    std::string svg = svgOpen(std::max(width, 300), height, "Bytes on disk by access and modify temperature");
    svg += "<text x=\"" + std::to_string(left) + "\" y=\"14\" font-weight=\"bold\">modify temperature \u2192</text>";
    svg += "<text x=\"4\" y=\"" + std::to_string(top - 8) + "\" font-weight=\"bold\">access \u2193</text>";
    for (size_t m = 0; m < matrix.modify.size(); ++m) {
        svg += "<text x=\"" + std::to_string(left + cellWidth * static_cast<int>(m) + cellWidth / 2) + "\" y=\"" +
               std::to_string(top - 8) + "\" text-anchor=\"middle\">" + htmlEscaped(shortLabel(matrix.modify[m])) +
               "</text>";
    }
    for (size_t a = 0; a < matrix.access.size(); ++a) {
        const int y = top + cellHeight * static_cast<int>(a);
        svg += "<text x=\"" + std::to_string(left - 8) + "\" y=\"" + std::to_string(y + cellHeight / 2 + 4) +
               "\" text-anchor=\"end\">" + htmlEscaped(shortLabel(matrix.access[a])) + "</text>";
        for (size_t m = 0; m < matrix.modify.size(); ++m) {
            const WideInt bytes = matrix.cells[a][m].bytesOnDisk;
            const double share = largest > 0 ? static_cast<double>(bytes) / static_cast<double>(largest) : 0;
            const int x = left + cellWidth * static_cast<int>(m);
            svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                   std::to_string(cellWidth - 2) + "\" height=\"" + std::to_string(cellHeight - 2) + "\" fill=\"" +
                   (bytes ? heatColour(share) : std::string("#f4f4f4")) + "\" shape-rendering=\"crispEdges\"><title>" +
                   htmlEscaped(matrix.access[a] + " / " + matrix.modify[m] + ": " +
                               Formatting::countText(matrix.cells[a][m].files) + " files, " +
                               Formatting::sizeText(static_cast<double>(bytes)) + " on disk") +
                   "</title></rect>";
            svg += "<text x=\"" + std::to_string(x + cellWidth / 2 - 1) + "\" y=\"" +
                   std::to_string(y + cellHeight / 2 + 3) + "\" text-anchor=\"middle\" fill=\"" +
                   (share > 0.55 ? "#ffffff" : "#222222") + "\">" +
                   (bytes ? Formatting::sizeText(static_cast<double>(bytes)) : std::string("-")) + "</text>";
        }
    }
    return svg + "</svg>";
}

std::string seriesColour(size_t index) {
    static constexpr std::array<const char*, 8> colours = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                                           "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22"};
    return colours[index % colours.size()];
}

std::string lineChart(const AccountGrowth& growth, size_t lines) {
    if (growth.days.empty() || growth.accounts.empty()) return "<p class=\"empty\">No data.</p>";
    constexpr int left = 80, right = 560, top = 16, bottom = 260, height = 300;
    const size_t shown = std::min(lines, growth.accounts.size());
    WideInt largest = 1;
    for (size_t s = 0; s < shown; ++s) {
        for (WideInt bytes : growth.accounts[s].bytesOnDisk) largest = std::max(largest, bytes);
    }
    const int64_t firstDay = growth.days.front(), lastDay = growth.days.back();
    const auto xOf = [&](int64_t day) {
        return lastDay == firstDay ? (left + right) / 2.0
                                   : left + (right - left) * static_cast<double>(day - firstDay) /
                                                static_cast<double>(lastDay - firstDay);
    };
    const auto yOf = [&](WideInt bytes) {
        return bottom - (bottom - top) * static_cast<double>(bytes) / static_cast<double>(largest);
    };
    std::string svg = svgOpen(chartWidth, height, "Bytes on disk per account over time");
    for (int tick = 0; tick <= 4; ++tick) {
        const WideInt bytes = largest * tick / 4;
        const std::string y = number(yOf(bytes));
        svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(right) + "\" y1=\"" + y + "\" y2=\"" +
               y + "\" stroke=\"#dddddd\"/>";
        svg += "<text x=\"" + std::to_string(left - 6) + "\" y=\"" + number(yOf(bytes) + 4) +
               "\" text-anchor=\"end\">" + Formatting::sizeText(static_cast<double>(bytes)) + "</text>";
    }
    svg += "<text x=\"" + std::to_string(left) + "\" y=\"" + std::to_string(bottom + 20) + "\">" +
           Formatting::dayText(firstDay) + "</text>";
    if (lastDay != firstDay) {
        svg += "<text x=\"" + std::to_string(right) + "\" y=\"" + std::to_string(bottom + 20) +
               "\" text-anchor=\"end\">" + Formatting::dayText(lastDay) + "</text>";
    }
    for (size_t s = 0; s < shown; ++s) {
        const auto& series = growth.accounts[s];
        const std::string colour = seriesColour(s);
        std::string points;
        for (size_t d = 0; d < growth.days.size(); ++d) {
            points += (d ? " " : "") + number(xOf(growth.days[d])) + "," + number(yOf(series.bytesOnDisk[d]));
        }
        svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2.5\"/>";
        for (size_t d = 0; d < growth.days.size(); ++d) {
            svg += "<circle cx=\"" + number(xOf(growth.days[d])) + "\" cy=\"" + number(yOf(series.bytesOnDisk[d])) +
                   "\" r=\"3.5\" fill=\"" + colour + "\"><title>" +
                   htmlEscaped(series.account + ", " + Formatting::dayText(growth.days[d]) + ": " +
                               Formatting::sizeText(static_cast<double>(series.bytesOnDisk[d]))) +
                   "</title></circle>";
        }
        const int legendY = top + 4 + static_cast<int>(s) * 20;
        svg += "<rect x=\"575\" y=\"" + std::to_string(legendY) + "\" width=\"14\" height=\"10\" fill=\"" + colour +
               "\" shape-rendering=\"crispEdges\"/><text x=\"594\" y=\"" + std::to_string(legendY + 10) + "\">" +
               htmlEscaped(shortLabel(series.account.empty() ? "(empty)" : series.account)) + "</text>";
    }
    return svg + "</svg>";
}

}  // namespace Quilna::SvgCharts
