#include "ReportTestSupport.h"

#include "report/HtmlReport.h"
#include "report/SvgCharts.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace Quilna {
namespace {

using namespace ReportTest;

constexpr int64_t day1 = 1700000000, day2 = day1 + 86400;
constexpr int64_t gib = 1ll << 30;
constexpr const char* chromium = "/usr/bin/chromium";

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// The pixels of one colour and its bars, top to bottom: rows holding it, as wide as its longest run.
struct Bars {
    size_t pixels = 0;
    std::vector<int> widths;
};

Bars barsOf(const Image& image, std::string_view colour) {
    const unsigned long rgb = std::stoul(std::string(colour.substr(1)), nullptr, 16);
    Bars bars;
    bool inBar = false;
    for (int y = 0; y < image.height; ++y) {
        int longest = 0;
        for (int x = 0, run = 0; x < image.width; ++x) {
            const unsigned char* p = &image.rgb[3 * (static_cast<size_t>(y) * image.width + x)];
            const bool match = (p[0] * 65536ul + p[1] * 256ul + p[2]) == rgb;
            bars.pixels += match;
            run = match ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest > 0 && !inBar) bars.widths.push_back(0);
        if (longest > 0) bars.widths.back() = std::max(bars.widths.back(), longest);
        inBar = longest > 0;
    }
    return bars;
}

Image screenshot(const fs::path& folder, const std::string& place = "") {
    const fs::path file = folder / ("page" + place + ".png");
    const std::string command = std::string("timeout 120 ") + chromium +
                                " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run" +
                                " --disable-background-networking --disable-component-update --disable-sync "
                                "--hide-scrollbars --force-device-scale-factor=1 --window-size=900,2600" +
                                " --user-data-dir='" + (folder / ("profile" + place)).string() + "' --screenshot='" +
                                file.string() + "' 'file://" + (folder / "page.html").string() + place + "' >'" +
                                (folder / "chromium.log").string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readText(folder / "chromium.log");
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (!png_image_begin_read_from_file(&png, file.c_str())) return image;
    png.format = PNG_FORMAT_RGB;
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) return Image{};
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    return image;
}

TEST(HtmlReportTest, ThePageNeedsNothingElseEscapesNamesAndItsChartsRenderInHeadlessChromium) {
    TempFolder folder;
    // Two hosts; the account on PC1 holds three times what "small", new on the second day, holds.
    const fs::path in = folder.path() / "in";
    for (int64_t day : {day1, day2}) {
        writeRecordFile(
            in / "PC1", day, day == day1 ? 1 : 2,
            {{day, makeKey("PC1", "<script>alert(1)</script>", "o'neil", "a&b", "\"doc\"", "frozen", "frozen"), 10,
              3 * gib, 3 * gib}});
    }
    writeRecordFile(in / "PC2", day2, 2,
                    {{day2, makeKey("PC2", "small", "bob", "Staff", "doc", "hot", "hot"), 10, gib, gib}});
    writeText(in / "PC1/Hoardscan-cold-1700086400-2.log", "/srv/archive/;2147483648\n/home/ann/old/;536870912\n");
    // Cold files: 3 GiB in one directory, 1 GiB in another.
    writeInactiveFile(in / "PC1", day2, 2,
                      {"a.iso,/srv/archive/,2097152,2013-04-05T12:00:00,frozen,",
                       "b.iso,/srv/archive/,1048576,2014-04-05T12:00:00,cold,",
                       "c.iso,/home/ann/old/,1048576,2015-04-05T12:00:00,cold,"});
    const std::string db = folder.child("r.sqlite");
    ASSERT_EQ(runReport({"import", "--db", db, in.string()}).exitCode, 0);
    const fs::path page = folder.path() / "page.html";
    const RunOutput result = runReport({"html", "--db", db, "-o", page.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Wrote " + page.string() + "\n");
    const std::string html = readText(page);
    for (const char* outside : {"<script", "src=", "url(", "@import", "<link"}) EXPECT_FALSE(contains(html, outside));
    // Links lead only to places in the page itself, and no address leads out of it.
    size_t links = 0, http = 0;
    for (size_t at = html.find("href="); at != std::string::npos; at = html.find("href=", at + 1), ++links)
        EXPECT_EQ(html.compare(at, 7, "href=\"#"), 0) << html.substr(at, 40);
    for (size_t at = html.find("http"); at != std::string::npos; at = html.find("http", at + 1), ++http)
        EXPECT_EQ(html.compare(at, 26, "http://www.w3.org/2000/svg"), 0) << html.substr(at, 40);
    EXPECT_GT(links * http, 0u);
    for (const char* text : {"<h1>Account &lt;script&gt;alert(1)&lt;/script&gt;</h1>", "o&#39;neil", "a&amp;b",
                             "&quot;doc&quot;", "<td>0 B</td><td>1.00 GiB</td><td>+1.00 GiB</td><td>new</td>",
                             "<td>3.00 GiB</td><td>3.00 GiB</td><td>+0 B</td><td>0.0%</td>"})
        EXPECT_TRUE(contains(html, text));
    EXPECT_FALSE(contains(html, "runs of one day only"));
    EXPECT_FALSE(fs::exists(page.string() + ".tmp"));

    if (!fs::exists(chromium)) GTEST_SKIP() << chromium << " is missing (Debian package chromium): no screenshots";
    const Image full = screenshot(folder.path());
    ASSERT_GT(full.width, 0) << "no screenshot";

    // Every ranking and both cold-directory charts have two bars in proportion to the bytes on disk.
    const auto ratio = [&](std::string_view colour) {
        const Bars bars = barsOf(full, colour);
        if (bars.widths.size() != 2) return 0.0;
        EXPECT_GE(bars.pixels, 15u * (bars.widths[0] + bars.widths[1])) << colour;
        return static_cast<double>(bars.widths[0]) / bars.widths[1];
    };
    for (const std::string_view colour : {HtmlReport::hostColour, HtmlReport::accountColour, HtmlReport::userColour,
                                          HtmlReport::groupColour, HtmlReport::fileTypeColour, HtmlReport::coldColour})
        EXPECT_NEAR(ratio(colour), 3.0, 0.05) << colour;
    EXPECT_NEAR(ratio(HtmlReport::monitoredColour), 4.0, 0.1);

    // The heat map's largest cell has the deepest colour; the growth chart draws its lines.
    const std::string deepest = SvgCharts::heatColour(1.0);
    EXPECT_GE(barsOf(full, deepest).pixels, 90u * 30u);
    for (int series : {0, 1}) EXPECT_GE(barsOf(full, SvgCharts::seriesColour(series)).pixels, 300u);

    // A host's page shows its one account, an account's page its one host: switched by the address alone.
    const Image host = screenshot(folder.path(), "#host-1");
    const Image account = screenshot(folder.path(), "#account-1");
    EXPECT_EQ(barsOf(host, HtmlReport::accountColour).widths.size(), 1u);
    EXPECT_EQ(barsOf(host, HtmlReport::hostColour).widths.size(), 0u);
    EXPECT_GE(barsOf(host, deepest).pixels, 90u * 30u);
    EXPECT_EQ(barsOf(account, HtmlReport::hostColour).widths.size(), 1u);
    EXPECT_EQ(barsOf(account, HtmlReport::accountColour).widths.size(), 0u);
    EXPECT_EQ(barsOf(account, HtmlReport::coldColour).pixels, 0u);
}

}  // namespace
}  // namespace Quilna
