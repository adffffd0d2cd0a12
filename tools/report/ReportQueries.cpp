#include "tools/report/ReportQueries.h"

#include "tools/report/ReportSchema.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace Quilna {

namespace {

const std::string sums = "COALESCE(SUM(c.files), 0), COALESCE(SUM(c.bytes), 0), COALESCE(SUM(c.bytes_on_disk), 0),"
                         " COALESCE(SUM(c.weighted_size), 0)";

SizeTotals totalsAt(const SqlRow& row, size_t first) {
    return SizeTotals{sqlInt(row[first]), sqlInt(row[first + 1]), sqlInt(row[first + 2]), sqlDouble(row[first + 3])};
}

void sortLargestFirst(std::vector<NamedTotals>& list) {
    std::sort(list.begin(), list.end(), [](const NamedTotals& a, const NamedTotals& b) {
        if (a.totals.bytesOnDisk != b.totals.bytesOnDisk) return a.totals.bytesOnDisk > b.totals.bytesOnDisk;
        if (a.totals.bytes != b.totals.bytes) return a.totals.bytes > b.totals.bytes;
        return a.name < b.name;
    });
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::vector<std::string> ReportQueries::temperatureOrder(std::vector<std::string> names) {
    static const std::vector<std::string> byAge = {"hot", "warm", "tepid", "cool", "cold", "frozen"};
    const auto rank = [](const std::string& name) {
        const auto found = std::find(byAge.begin(), byAge.end(), lowerCase(name));
        return found == byAge.end() ? byAge.size() : static_cast<size_t>(found - byAge.begin());
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        const size_t rankA = rank(a), rankB = rank(b);
        return rankA != rankB ? rankA < rankB : a < b;
    });
    return names;
}

std::vector<NamedTotals> ReportQueries::totalsBy(const std::string& column) {
    const SqlTable rows = database_.query("SELECT k." + column + ", " + sums +
                                          " FROM records c JOIN record_keys k ON k.id = c.key_id"
                                          " WHERE c.run_id IN (" + ReportSchema::latestRuns + ") GROUP BY k." + column);
    std::vector<NamedTotals> list;
    list.reserve(rows.size());
    for (const SqlRow& row : rows) list.push_back(NamedTotals{sqlText(row[0]), totalsAt(row, 1)});
    sortLargestFirst(list);
    return list;
}

std::vector<NamedTotals> ReportQueries::hostTotals() {
    const SqlTable rows = database_.query("SELECT r.host, r.day, " + sums +
                                          " FROM runs r LEFT JOIN records c ON c.run_id = r.id"
                                          " WHERE r.id IN (" + ReportSchema::latestRuns + ") GROUP BY r.id, r.host, r.day");
    std::vector<NamedTotals> list;
    for (const SqlRow& row : rows) list.push_back(NamedTotals{sqlText(row[0]), totalsAt(row, 2), sqlInt(row[1])});
    sortLargestFirst(list);
    return list;
}

std::vector<NamedTotals> ReportQueries::groupTotals() {
    // The group field lists all local groups of the owner; each of them is charged.
    std::map<std::string, SizeTotals> byGroup;
    for (const NamedTotals& combination : totalsBy("group_names")) {
        size_t start = 0;
        for (;;) {
            const size_t end = combination.name.find(',', start);
            byGroup[combination.name.substr(start, end == std::string::npos ? end : end - start)] += combination.totals;
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    std::vector<NamedTotals> list;
    for (auto& [name, totals] : byGroup) list.push_back(NamedTotals{name, totals});
    sortLargestFirst(list);
    return list;
}

TemperatureMatrix ReportQueries::temperatureMatrix() {
    const SqlTable rows = database_.query("SELECT k.access_temperature, k.modify_temperature, " + sums +
                                          " FROM records c JOIN record_keys k ON k.id = c.key_id"
                                          " WHERE c.run_id IN (" + ReportSchema::latestRuns + ")"
                                          " GROUP BY k.access_temperature, k.modify_temperature");
    std::vector<std::string> access, modify;
    for (const SqlRow& row : rows) {
        access.push_back(sqlText(row[0]));
        modify.push_back(sqlText(row[1]));
    }
    const auto distinctOrdered = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return temperatureOrder(std::move(names));
    };
    TemperatureMatrix matrix{distinctOrdered(access), distinctOrdered(modify), {}};
    matrix.cells.assign(matrix.access.size(), std::vector<SizeTotals>(matrix.modify.size()));
    const auto indexOf = [](const std::vector<std::string>& names, const std::string& name) {
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    for (const SqlRow& row : rows) {
        matrix.cells[indexOf(matrix.access, sqlText(row[0]))][indexOf(matrix.modify, sqlText(row[1]))] +=
            totalsAt(row, 2);
    }
    return matrix;
}

Summary ReportQueries::summary() {
    Summary summary;
    summary.hosts = hostTotals();
    summary.runs = static_cast<int64_t>(summary.hosts.size());
    for (const NamedTotals& host : summary.hosts) {
        summary.total += host.totals;
        summary.firstDay = summary.firstDay == 0 ? host.day : std::min(summary.firstDay, host.day);
        summary.lastDay = std::max(summary.lastDay, host.day);
    }
    summary.accounts = totalsBy("account");
    summary.users = totalsBy("user_name");
    summary.groups = groupTotals();
    summary.fileTypes = totalsBy("file_type");
    summary.temperatures = temperatureMatrix();
    return summary;
}

AccountGrowth ReportQueries::accountGrowth() {
    const SqlTable runs = database_.query("SELECT id, host, day FROM runs ORDER BY day, id");
    const SqlTable perAccount = database_.query(
        "SELECT c.run_id, k.account, SUM(c.bytes_on_disk) FROM records c JOIN record_keys k ON k.id = c.key_id"
        " GROUP BY c.run_id, k.account");
    std::unordered_map<int64_t, std::vector<std::pair<std::string, int64_t>>> accountsOfRun;
    for (const SqlRow& row : perAccount) accountsOfRun[sqlInt(row[0])].emplace_back(sqlText(row[1]), sqlInt(row[2]));

    // Walk the runs in time order; a host's new run replaces what its previous one counted.
    AccountGrowth growth;
    std::map<std::string, int64_t> current;  // account -> bytes on disk now
    std::map<std::string, const std::vector<std::pair<std::string, int64_t>>*> latestOfHost;
    std::map<std::string, std::vector<int64_t>> history;
    const std::vector<std::pair<std::string, int64_t>> none;
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto found = accountsOfRun.find(sqlInt(runs[i][0]));
        const auto* accounts = found == accountsOfRun.end() ? &none : &found->second;
        auto& previous = latestOfHost[sqlText(runs[i][1])];
        if (previous) {
            for (const auto& [account, bytes] : *previous) current[account] -= bytes;
        }
        for (const auto& [account, bytes] : *accounts) current[account] += bytes;
        previous = accounts;
        const int64_t day = sqlInt(runs[i][2]);
        if (i + 1 < runs.size() && sqlInt(runs[i + 1][2]) == day) continue;  // the day is not complete yet
        for (const auto& [account, bytes] : current) {
            auto& series = history[account];
            series.resize(growth.days.size(), 0);
            series.push_back(bytes);
        }
        growth.days.push_back(day);
    }
    for (auto& [account, series] : history) {
        series.resize(growth.days.size(), 0);
        growth.accounts.push_back({account, std::move(series)});
    }
    std::sort(growth.accounts.begin(), growth.accounts.end(), [](const auto& a, const auto& b) {
        return a.bytesOnDisk.back() != b.bytesOnDisk.back() ? a.bytesOnDisk.back() > b.bytesOnDisk.back()
                                                            : a.account < b.account;
    });
    return growth;
}

std::vector<ColdDirectory> ReportQueries::coldDirectories(size_t limit) {
    const SqlTable rows = database_.query(
        "SELECT s.host, s.monitor, s.day, t.directory, t.bytes FROM temperature_rows t"
        " JOIN side_files s ON s.id = t.side_file_id WHERE s.kind = 'temperature' AND NOT EXISTS"
        " (SELECT 1 FROM side_files n WHERE n.kind = 'temperature' AND n.host = s.host AND n.monitor = s.monitor"
        " AND (n.day > s.day OR (n.day = s.day AND n.id > s.id)))"
        " ORDER BY t.bytes DESC, s.host, t.directory LIMIT ?",
        {static_cast<int64_t>(limit)});
    std::vector<ColdDirectory> list;
    for (const SqlRow& row : rows) {
        list.push_back(ColdDirectory{sqlText(row[0]), sqlText(row[1]), sqlInt(row[2]), sqlText(row[3]), sqlInt(row[4])});
    }
    return list;
}

}  // namespace Quilna
