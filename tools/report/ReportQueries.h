#pragma once
// Reads the views of the summary and the HTML page from the report database. Rankings are
// sorted by bytes on disk, largest first, and are complete: callers cut them to their top N.

#include "tools/report/Database.h"
#include "tools/report/ReportData.h"

#include <cstddef>
#include <string>
#include <vector>

namespace Quilna {

class ReportQueries {
public:
    explicit ReportQueries(Database& database) : database_(database) {}

    // Totals of the latest run of each host.
    Summary summary();
    AccountGrowth accountGrowth();
    // The largest directories of the latest temperature log of each host and monitor.
    std::vector<ColdDirectory> coldDirectories(size_t limit);

    // Temperature names in the order of their age where they are known ones, then by name.
    static std::vector<std::string> temperatureOrder(std::vector<std::string> names);

private:
    std::vector<NamedTotals> totalsBy(const std::string& column);
    std::vector<NamedTotals> hostTotals();
    std::vector<NamedTotals> groupTotals();
    TemperatureMatrix temperatureMatrix();

    Database& database_;
};

}  // namespace Quilna
