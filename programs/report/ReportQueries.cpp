#include "report/ReportQueries.h"

#include "report/Formatting.h"
#include "report/ReportSchema.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <tuple>
#include <unordered_map>

namespace Quilna {

namespace {

using ReportSchema::RunView;

// A sum in two halves: each half of a value below 2^63 is below 2^32, so 2^31 rows sum without
// overflow in any database; totalsAt puts them together.
std::string wideSum(const std::string& column) {
    return "COALESCE(SUM(" + column + " / 4294967296), 0), COALESCE(SUM(" + column + " % 4294967296), 0)";
}

const std::string sums = wideSum("c.files") + ", " + wideSum("c.bytes") + ", " + wideSum("c.bytes_on_disk") +
                         ", COALESCE(SUM(c.weighted_size), 0)";
// The same sums from the totals kept per run, which hold the halves summed already.
const std::string keptSums =
    "COALESCE(SUM(t.files_high), 0), COALESCE(SUM(t.files_low), 0), COALESCE(SUM(t.bytes_high), 0),"
    " COALESCE(SUM(t.bytes_low), 0), COALESCE(SUM(t.disk_high), 0), COALESCE(SUM(t.disk_low), 0),"
    " COALESCE(SUM(t.weighted_size), 0)";
// The directory totals carry no weighted size: it reads as 0.
const std::string totalsSums =
    wideSum("t.files") + ", " + wideSum("t.bytes") + ", " + wideSum("t.bytes_on_disk") + ", 0";
// Largest first in either database, without a sum that could pass 64 bits.
const std::string largestTotalsFirst = "SUM(CAST(t.bytes_on_disk AS DOUBLE PRECISION)) DESC";
// The latest directory totals of each host: by its run's scan where it has one, else by its day.
const std::string latestTotalsFiles =
    "SELECT id, host FROM (SELECT s.id, s.host, ROW_NUMBER() OVER (PARTITION BY s.host ORDER BY"
    " COALESCE(r.scanned_at, s.day) DESC, s.id DESC) AS age FROM side_files s LEFT JOIN runs r ON r.id = s.run_id"
    " WHERE s.kind = 'totals') ranked WHERE age = 1";

// The latest temperature log of each host and monitored temperature, ranked once: SQLite
// looked for a later log among all of them for each row of each log.
const std::string latestTemperatureLogs =
    "SELECT id FROM (SELECT id, ROW_NUMBER() OVER (PARTITION BY host, monitor ORDER BY day DESC, id DESC) AS age"
    " FROM side_files WHERE kind = 'temperature') ranked WHERE age = 1";

WideInt wideAt(const SqlRow& row, size_t first) {
    return WideInt{sqlInt(row[first])} * 4294967296 + sqlInt(row[first + 1]);
}

SizeTotals totalsAt(const SqlRow& row, size_t first) {
    return SizeTotals{wideAt(row, first), wideAt(row, first + 2), wideAt(row, first + 4), sqlDouble(row[first + 6])};
}

WideInt magnitude(WideInt value) { return value < 0 ? -value : value; }

void sortLargestFirst(std::vector<NamedTotals>& list) {
    std::sort(list.begin(), list.end(), [](const NamedTotals& a, const NamedTotals& b) {
        if (a.totals.bytesOnDisk != b.totals.bytesOnDisk) return a.totals.bytesOnDisk > b.totals.bytesOnDisk;
        if (a.totals.bytes != b.totals.bytes) return a.totals.bytes > b.totals.bytes;
        return a.name < b.name;
    });
}

// The changes by name as a list, the largest change first.
std::vector<RunChange> largestChangeFirst(std::map<std::string, RunChange>& byName) {
    std::vector<RunChange> list;
    for (auto& [name, change] : byName) {
        change.name = name;
        list.push_back(std::move(change));
    }
    std::sort(list.begin(), list.end(), [](const RunChange& a, const RunChange& b) {
        const WideInt changeA = magnitude(a.latest.bytesOnDisk - a.previous.bytesOnDisk);
        const WideInt changeB = magnitude(b.latest.bytesOnDisk - b.previous.bytesOnDisk);
        return changeA != changeB ? changeA > changeB : a.name < b.name;
    });
    return list;
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The names of a group field, which lists all local groups of the owner.
std::vector<std::string> splitNames(const std::string& list) {
    std::vector<std::string> names;
    for (size_t start = 0;;) {
        const size_t end = list.find(',', start);
        names.push_back(list.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return names;
        start = end + 1;
    }
}

// Each of the groups of a group field is charged.
std::vector<NamedTotals> splitGroups(const std::vector<NamedTotals>& combinations) {
    std::vector<NamedTotals> list;
    for (const NamedTotals& combination : combinations) {
        for (std::string& name : splitNames(combination.name))
            list.push_back(NamedTotals{std::move(name), combination.totals});
    }
    return list;
}

// One entry per name: a group's page adds up the rows of each group field that holds it.
std::vector<NamedTotals> mergedByName(std::vector<NamedTotals> list) {
    std::map<std::string, NamedTotals> byName;
    for (NamedTotals& entry : list) {
        auto [found, added] = byName.try_emplace(entry.name, entry);
        if (!added) found->second.totals += entry.totals;
    }
    list.clear();
    for (auto& [name, entry] : byName) list.push_back(std::move(entry));
    return list;
}

// The matrix of the rows' access and modify temperatures, with their sums after them.
TemperatureMatrix matrixOf(const std::vector<const SqlRow*>& rows, size_t first) {
    std::vector<std::string> access, modify;
    for (const SqlRow* row : rows) {
        access.push_back(sqlText((*row)[first]));
        modify.push_back(sqlText((*row)[first + 1]));
    }
    const auto distinctOrdered = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return ReportQueries::temperatureOrder(std::move(names));
    };
    TemperatureMatrix matrix{distinctOrdered(access), distinctOrdered(modify), {}};
    matrix.cells.assign(matrix.access.size(), std::vector<SizeTotals>(matrix.modify.size()));
    const auto indexOf = [](const std::vector<std::string>& names, const std::string& name) {
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    for (const SqlRow* row : rows) {
        matrix.cells[indexOf(matrix.access, sqlText((*row)[first]))]
                    [indexOf(matrix.modify, sqlText((*row)[first + 1]))] += totalsAt(*row, first + 2);
    }
    return matrix;
}

// The condition over c records, k record_keys and r runs that a summary filter makes.
std::string filterCondition(const SummaryFilter& filter, SqlRow& parameters) {
    std::string condition;
    for (const auto& [field, value] :
         {std::pair{"r.host", &filter.host}, {"k.account", &filter.account}, {"k.user_name", &filter.user}}) {
        if (value->empty()) continue;
        condition += std::string(" AND ") + field + " = ?";
        parameters.emplace_back(*value);
    }
    return condition;
}

ScanTime scanAt(const SqlRow& row, size_t day) { return ScanTime{sqlInt(row[day + 1]), sqlInt(row[day])}; }

// The runs, first and last scan and total of a summary whose host list is complete.
void totalUp(Summary& summary) {
    summary.runs = static_cast<int64_t>(summary.hosts.size());
    for (const NamedTotals& host : summary.hosts) {
        summary.total += host.totals;
        if (!summary.firstScan.known() || host.scanned.at < summary.firstScan.at) summary.firstScan = host.scanned;
        if (!summary.lastScan.known() || host.scanned.at > summary.lastScan.at) summary.lastScan = host.scanned;
    }
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

void ReportQueries::gatherLatest() {
    if (gathered_) return;
    // The rows gathered fold into a few thousand groups: in memory that takes a fifth of a sort.
    if (const std::string_view room = database_.dialect().roomToSum; !room.empty()) database_.query(room);
    // Once for all pages: the latest runs' records joined to their keys and runs, so that each
    // page reads these rows instead of joining every record to its key. Not grouped: the rows
    // seldom merge, and grouping them would spill to disk on a large fleet.
    database_.query(
        "CREATE TEMP TABLE latest_sums AS SELECT r.host AS host, r.scanned_day AS scanned_day, r.scanned_at AS"
        " scanned_at, k.account AS account, k.user_name AS user_name, k.group_names AS group_names, k.file_type AS"
        " file_type, k.access_temperature AS access_temperature, k.modify_temperature AS modify_temperature,"
        " c.files / 4294967296 AS files_high, c.files % 4294967296 AS files_low,"
        " c.bytes / 4294967296 AS bytes_high, c.bytes % 4294967296 AS bytes_low,"
        " c.bytes_on_disk / 4294967296 AS disk_high, c.bytes_on_disk % 4294967296 AS disk_low,"
        " c.weighted_size AS weighted_size"
        " FROM records c JOIN record_keys k ON k.id = c.key_id JOIN runs r ON r.id = c.run_id WHERE c.run_id IN (" +
        std::string(ReportSchema::latestRuns) + ")");
    // The same summed without host and user: the pages that count neither read a few rows
    // per account, group list, file type and temperature pair instead.
    database_.query(
        "CREATE TEMP TABLE latest_folded AS SELECT account, group_names, file_type, access_temperature,"
        " modify_temperature, SUM(files_high) AS files_high, SUM(files_low) AS files_low, SUM(bytes_high) AS"
        " bytes_high, SUM(bytes_low) AS bytes_low, SUM(disk_high) AS disk_high, SUM(disk_low) AS disk_low,"
        " SUM(weighted_size) AS weighted_size FROM latest_sums"
        " GROUP BY account, group_names, file_type, access_temperature, modify_temperature");
    gathered_ = true;
}

SqlTable ReportQueries::latestSums(const std::string& columns, const std::string& condition, const SqlRow& parameters) {
    if (gathered_) {
        // The same columns of the gathered rows: record keys' (k) and runs' (r) are all there.
        const std::regex table("\\b[kr]\\.");
        const std::string gathered = std::regex_replace(columns, table, "t.");
        const std::regex hostOrUser("\\br\\.|\\bk\\.user_name\\b");
        const bool folded = !std::regex_search(columns, hostOrUser) && !std::regex_search(condition, hostOrUser);
        return database_.query("SELECT " + gathered + ", " + keptSums + " FROM " +
                                   (folded ? "latest_folded" : "latest_sums") + " t WHERE 1 = 1" +
                                   std::regex_replace(condition, table, "t.") + " GROUP BY " + gathered,
                               parameters);
    }
    return database_.query("SELECT " + columns + ", " + sums +
                               " FROM records c JOIN record_keys k ON k.id = c.key_id JOIN runs r ON r.id = c.run_id"
                               " WHERE c.run_id IN (" +
                               ReportSchema::latestRuns + ")" + condition + " GROUP BY " + columns,
                           parameters);
}

SqlTable ReportQueries::latestKeptSums(ReportSchema::RunView view) {
    const bool pairs = view == RunView::Temperatures;
    return database_.query(std::string("SELECT t.name, ") + (pairs ? "t.detail, " : "") + keptSums +
                               " FROM run_totals t WHERE t.run_id IN (" + ReportSchema::latestRuns +
                               ") AND t.view = ? GROUP BY t.name" + (pairs ? ", t.detail" : ""),
                           {static_cast<int64_t>(view)});
}

std::vector<NamedTotals> ReportQueries::hostTotals() {
    // From the runs, so that a host whose run found nothing is still listed.
    const SqlTable rows = database_.query("SELECT r.host, r.scanned_day, r.scanned_at, " + keptSums +
                                          " FROM runs r LEFT JOIN run_totals t ON t.run_id = r.id AND t.view = 0"
                                          " WHERE r.id IN (" +
                                          ReportSchema::latestRuns +
                                          ")"
                                          " GROUP BY r.id, r.host, r.scanned_day, r.scanned_at");
    std::vector<NamedTotals> list;
    for (const SqlRow& row : rows) list.push_back(NamedTotals{sqlText(row[0]), totalsAt(row, 3), scanAt(row, 1)});
    sortLargestFirst(list);
    return list;
}

namespace {

// A condition that the column is one of the names, with the names added to the parameters.
std::string oneOf(const std::string& column, const std::vector<std::string>& names, SqlRow& parameters) {
    std::string condition = " AND " + column + " IN (?";
    for (size_t i = 1; i < names.size(); ++i) condition += ", ?";
    parameters.insert(parameters.end(), names.begin(), names.end());
    return condition + ")";
}

// Split group lists, one entry per name, largest first; the matrix and the whole from the
// rows gathered.
void finish(Summary& summary, const std::vector<const SqlRow*>& cells, size_t first) {
    summary.groups = splitGroups(summary.groups);
    for (auto* list : {&summary.hosts, &summary.accounts, &summary.users, &summary.groups, &summary.fileTypes}) {
        *list = mergedByName(std::move(*list));
        sortLargestFirst(*list);
    }
    summary.temperatures = matrixOf(cells, first);
    totalUp(summary);
}

}  // namespace

std::map<std::string, Summary> ReportQueries::pages(const std::string& column, const std::vector<std::string>& names,
                                                    const SummaryFilter& filter) {
    std::map<std::string, Summary> result;
    if (names.empty() && !column.empty()) return result;
    const bool groups = column == "k.group_names";
    // A group's page sums the group lists that hold it.
    const std::vector<std::string> keys = groups ? groupListsWith(names) : names;
    if (keys.empty() && !column.empty()) return result;
    SqlRow parameters;
    std::string condition = filterCondition(filter, parameters);
    // A few pages are read with their names; many, or the whole database, in one pass.
    const bool named = !column.empty() && keys.size() <= 200;
    if (named) condition += oneOf(column, keys, parameters);
    const std::string page = column.empty() ? "" : column + ", ";
    const size_t first = column.empty() ? 0 : 1;
    const auto pagesOf = pagesOfRow(result, column, names, named);
    // The whole summary reads the totals kept per run; a filter reads the records.
    const bool kept = column.empty() && filter.empty();
    // What a page does not show is not read: its own ranking (itself), the group lists, and on
    // a group's page the users.
    const std::vector<std::tuple<std::string, RunView, std::vector<NamedTotals> Summary::*>> rankings = {
        {"k.account", RunView::Accounts, &Summary::accounts},
        {"k.user_name", RunView::Users, &Summary::users},
        {"k.group_names", RunView::Groups, &Summary::groups},
        {"k.file_type", RunView::FileTypes, &Summary::fileTypes}};
    for (const auto& [dimension, view, list] : rankings) {
        if (!column.empty() && (dimension == column || view == RunView::Groups || (groups && view == RunView::Users)))
            continue;
        for (const SqlRow& row : kept ? latestKeptSums(view) : latestSums(page + dimension, condition, parameters)) {
            for (Summary* summary : pagesOf(row)) {
                (summary->*list).push_back(NamedTotals{sqlText(row[first]), totalsAt(row, first + 1)});
            }
        }
    }
    if (kept) {
        result[""].hosts = hostTotals();
    } else {
        // A page's hosts are its rows in the latest runs' kept totals.
        const auto pageView = std::ranges::find(rankings, column, [](const auto& r) { return std::get<0>(r); });
        for (const SqlRow& row :
             pageView == rankings.end() || !filter.empty()
                 ? latestSums(page + "r.host, r.scanned_day, r.scanned_at", condition, parameters)
                 : latestHostsOf(std::get<1>(*pageView), named ? keys : std::vector<std::string>{})) {
            for (Summary* summary : pagesOf(row)) {
                summary->hosts.push_back(
                    NamedTotals{sqlText(row[first]), totalsAt(row, first + 3), scanAt(row, first + 1)});
            }
        }
    }
    std::map<const Summary*, std::vector<const SqlRow*>> cells;
    const SqlTable temperatures =
        kept ? latestKeptSums(RunView::Temperatures)
             : latestSums(page + "k.access_temperature, k.modify_temperature", condition, parameters);
    for (const SqlRow& row : temperatures) {
        for (Summary* summary : pagesOf(row)) cells[summary].push_back(&row);
    }
    for (auto& [name, summary] : result) finish(summary, cells[&summary], first);
    return result;
}

std::function<std::vector<Summary*>(const SqlRow&)> ReportQueries::pagesOfRow(std::map<std::string, Summary>& result,
                                                                              const std::string& column,
                                                                              const std::vector<std::string>& names,
                                                                              bool named) {
    const bool groups = column == "k.group_names";
    return [&result, column, groups, named, &names](const SqlRow& row) {
        if (column.empty()) return std::vector<Summary*>{&result[""]};
        std::vector<Summary*> found;
        const std::string key = sqlText(row[0]);
        for (const std::string& name : groups ? splitNames(key) : std::vector<std::string>{key}) {
            if ((named && !groups) || std::find(names.begin(), names.end(), name) != names.end()) {
                found.push_back(&result[name]);
            }
        }
        return found;
    };
}

SqlTable ReportQueries::latestHostsOf(RunView view, const std::vector<std::string>& names) {
    SqlRow parameters{static_cast<int64_t>(view)};
    const std::string named = names.empty() ? "" : oneOf("t.name", names, parameters);
    return database_.query("SELECT t.name, r.host, r.scanned_day, r.scanned_at, " + keptSums +
                               " FROM run_totals t JOIN runs r ON r.id = t.run_id WHERE t.run_id IN (" +
                               ReportSchema::latestRuns + ") AND t.view = ?" + named +
                               " GROUP BY t.name, r.id, r.host, r.scanned_day, r.scanned_at",
                           parameters);
}

std::map<std::string, Summary> ReportQueries::hostPagesFromTotals(const std::vector<std::string>& hosts) {
    std::map<std::string, Summary> result;
    if (hosts.empty()) return result;
    SqlRow parameters;
    const bool named = hosts.size() <= 200;
    const std::string condition = named ? oneOf("r.host", hosts, parameters) : "";
    // A host with no records has no kept totals, and so no page, as with its records.
    const SqlTable rows = database_.query(
        "SELECT r.host, r.scanned_day, r.scanned_at, t.view, t.name, t.detail, " + keptSums +
            " FROM run_totals t JOIN runs r ON r.id = t.run_id WHERE t.run_id IN (" + ReportSchema::latestRuns + ")" +
            condition + " GROUP BY r.id, r.host, r.scanned_day, r.scanned_at, t.view, t.name, t.detail",
        parameters);
    const std::map<RunView, std::vector<NamedTotals> Summary::*> lists = {{RunView::Accounts, &Summary::accounts},
                                                                          {RunView::Users, &Summary::users},
                                                                          {RunView::Groups, &Summary::groups},
                                                                          {RunView::FileTypes, &Summary::fileTypes}};
    std::map<const Summary*, std::vector<const SqlRow*>> cells;
    for (const SqlRow& row : rows) {
        const std::string host = sqlText(row[0]);
        if (!named && std::ranges::count(hosts, host) == 0) continue;
        Summary& summary = result[host];
        const auto view = static_cast<RunView>(sqlInt(row[3]));
        if (view == RunView::Total) {
            summary.hosts.push_back(NamedTotals{host, totalsAt(row, 6), scanAt(row, 1)});
        } else if (view == RunView::Temperatures) {
            cells[&summary].push_back(&row);
        } else if (const auto list = lists.find(view); list != lists.end()) {
            (summary.*(list->second)).push_back(NamedTotals{sqlText(row[4]), totalsAt(row, 6)});
        }
    }
    for (auto& [host, summary] : result) finish(summary, cells[&summary], 4);
    return result;
}

std::vector<std::string> ReportQueries::groupListsWith(const std::vector<std::string>& groups) {
    std::vector<std::string> lists;
    for (const SqlRow& row : latestKeptSums(RunView::Groups)) {
        const std::vector<std::string> names = splitNames(sqlText(row[0]));
        if (std::ranges::any_of(names, [&](const std::string& name) { return std::ranges::count(groups, name) > 0; }))
            lists.push_back(sqlText(row[0]));
    }
    return lists;
}

Summary ReportQueries::summary(const SummaryFilter& filter) { return pages("", {}, filter)[""]; }

std::map<std::string, Summary> ReportQueries::hostPages(const std::vector<std::string>& hosts) {
    return hostPagesFromTotals(hosts);
}

std::map<std::string, Summary> ReportQueries::accountPages(const std::vector<std::string>& accounts) {
    return pages("k.account", accounts);
}

std::map<std::string, Summary> ReportQueries::userPages(const std::vector<std::string>& users) {
    return pages("k.user_name", users);
}

std::map<std::string, Summary> ReportQueries::groupPages(const std::vector<std::string>& groups) {
    return pages("k.group_names", groups);
}

std::vector<RunChange> ReportQueries::hostChanges() {
    const SqlTable rows =
        database_.query(std::string("SELECT x.host, x.age, x.scanned_day, x.scanned_at, ") + keptSums + " FROM (" +
                        ReportSchema::rankedRuns +
                        ") x LEFT JOIN run_totals t ON t.run_id = x.id AND t.view = 0"
                        " WHERE x.age <= 2 GROUP BY x.id, x.host, x.age, x.scanned_day, x.scanned_at");
    std::map<std::string, RunChange> byHost;
    for (const SqlRow& row : rows) {
        RunChange& change = byHost[sqlText(row[0])];
        (sqlInt(row[1]) == 1 ? change.latestScan : change.previousScan) = scanAt(row, 2);
        (sqlInt(row[1]) == 1 ? change.latest : change.previous) = totalsAt(row, 4);
    }
    return largestChangeFirst(byHost);
}

std::vector<RunChange> ReportQueries::accountChanges() {
    const SqlTable rows = database_.query(std::string("SELECT t.name, x.age, x.host_runs, ") + keptSums +
                                          " FROM run_totals t JOIN (" + ReportSchema::rankedRuns +
                                          ") x ON x.id = t.run_id"
                                          " WHERE x.age <= 2 AND t.view = 1 GROUP BY t.name, x.age, x.host_runs");
    std::map<std::string, RunChange> byAccount;
    for (const SqlRow& row : rows) {
        RunChange& change = byAccount[sqlText(row[0])];
        const SizeTotals totals = totalsAt(row, 3);
        const bool latest = sqlInt(row[1]) == 1;
        if (latest) change.latest += totals;
        if (!latest || sqlInt(row[2]) == 1) change.previous += totals;
    }
    return largestChangeFirst(byAccount);
}

std::vector<HostRun> ReportQueries::runsOfHost(const std::string& host) {
    const SqlTable rows = database_.query("SELECT r.scanned_day, r.scanned_at, " + keptSums +
                                              " FROM runs r LEFT JOIN run_totals t ON t.run_id = r.id AND t.view = 0"
                                              " WHERE r.host = ?"
                                              " GROUP BY r.id, r.scanned_day, r.scanned_at ORDER BY r.scanned_at, r.id",
                                          {host});
    std::vector<HostRun> list;
    for (const SqlRow& row : rows) list.push_back(HostRun{scanAt(row, 0), totalsAt(row, 2)});
    return list;
}

AccountGrowth ReportQueries::accountGrowth() {
    const SqlTable runs = database_.query("SELECT id, host, scanned_day, scanned_at FROM runs ORDER BY scanned_at, id");
    const SqlTable perAccount =
        database_.query("SELECT t.run_id, t.name, t.disk_high, t.disk_low FROM run_totals t WHERE t.view = 1");
    std::unordered_map<int64_t, std::vector<std::pair<std::string, WideInt>>> accountsOfRun;
    for (const SqlRow& row : perAccount) accountsOfRun[sqlInt(row[0])].emplace_back(sqlText(row[1]), wideAt(row, 2));

    // Walk the runs in the order they were scanned; a host's new run replaces what its
    // previous one counted.
    AccountGrowth growth;
    std::map<std::string, WideInt> current;  // account -> bytes on disk now
    std::map<std::string, const std::vector<std::pair<std::string, WideInt>>*> latestOfHost;
    std::map<std::string, std::vector<WideInt>> history;
    const std::vector<std::pair<std::string, WideInt>> none;
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto found = accountsOfRun.find(sqlInt(runs[i][0]));
        const auto* accounts = found == accountsOfRun.end() ? &none : &found->second;
        auto& previous = latestOfHost[sqlText(runs[i][1])];
        if (previous) {
            for (const auto& [account, bytes] : *previous) current[account] -= bytes;
        }
        for (const auto& [account, bytes] : *accounts) current[account] += bytes;
        previous = accounts;
        const int64_t day = Formatting::scanDate(services_, scanAt(runs[i], 2));
        if (i + 1 < runs.size() && Formatting::scanDate(services_, scanAt(runs[i + 1], 2)) == day)
            continue;  // not complete yet
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

std::vector<MonitoredDirectory> ReportQueries::monitoredDirectories(size_t limit) {
    const SqlTable rows = database_.query(
        "SELECT s.host, s.monitor, COALESCE(r.scanned_day, s.day), COALESCE(r.scanned_at, s.day), t.directory,"
        " t.bytes FROM temperature_rows t JOIN side_files s ON s.id = t.side_file_id"
        " LEFT JOIN runs r ON r.id = s.run_id WHERE t.side_file_id IN (" +
            latestTemperatureLogs + ") ORDER BY t.bytes DESC, s.host, t.directory LIMIT ?",
        {static_cast<int64_t>(limit)});
    std::vector<MonitoredDirectory> list;
    for (const SqlRow& row : rows) {
        list.push_back(
            MonitoredDirectory{sqlText(row[0]), sqlText(row[1]), scanAt(row, 2), sqlText(row[4]), sqlInt(row[5])});
    }
    return list;
}

std::vector<ColdDirectory> ReportQueries::coldDirectories(size_t limit) {
    // A host with directory totals counts whole subtrees from them; the others count each
    // directory's own files from the latest inactive-file table, by its run's scan where it has
    // one, else by its day.
    const std::string latestTables =
        "SELECT id FROM (SELECT s.id, ROW_NUMBER() OVER (PARTITION BY s.host ORDER BY COALESCE(r.scanned_at, s.day)"
        " DESC, s.id DESC) AS age FROM side_files s LEFT JOIN runs r ON r.id = s.run_id WHERE s.kind = 'inactive'"
        " AND s.host NOT IN (SELECT host FROM side_files WHERE kind = 'totals')) ranked WHERE age = 1";
    const SqlRow limited{static_cast<int64_t>(limit)};
    const SqlTable tables = database_.query(
        "SELECT s.host, d.path, COUNT(*), " + wideSum("f.kib") +
            ", MAX(f.last_access) FROM inactive_files f"
            " JOIN inactive_paths p ON p.id = f.path_id JOIN inactive_directories d ON d.id = p.directory_id"
            " JOIN side_files s ON s.id = f.side_file_id WHERE f.side_file_id IN (" +
            latestTables +
            ")"
            " GROUP BY s.host, d.id, d.path ORDER BY SUM(CAST(f.kib AS DOUBLE PRECISION)) DESC, s.host, d.path LIMIT ?",
        limited);
    const SqlTable totals = database_.query(
        "SELECT s.host, t.directory, " + wideSum("t.files") + ", " + wideSum("t.bytes_on_disk") +
            " FROM directory_totals t JOIN side_files s ON s.id = t.side_file_id WHERE t.side_file_id IN"
            " (SELECT id FROM (" +
            latestTotalsFiles +
            ") x) AND LOWER(t.temperature) IN ('cold', 'frozen') GROUP BY s.host, t.directory ORDER BY " +
            largestTotalsFirst + ", s.host, t.directory LIMIT ?",
        limited);
    std::vector<ColdDirectory> list;
    for (const SqlRow& row : tables) {
        list.push_back(
            ColdDirectory{sqlText(row[0]), sqlText(row[1]), sqlInt(row[2]), wideAt(row, 3) * 1024, sqlInt(row[5])});
    }
    for (const SqlRow& row : totals) {
        list.push_back(ColdDirectory{sqlText(row[0]), sqlText(row[1]), static_cast<int64_t>(wideAt(row, 2)),
                                     wideAt(row, 4), 0, true});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const ColdDirectory& a, const ColdDirectory& b) { return a.bytesOnDisk > b.bytesOnDisk; });
    if (list.size() > limit) list.resize(limit);
    return list;
}

SqlTable ReportQueries::latestTotals(const std::string& host) {
    if (host.empty()) return database_.query(latestTotalsFiles + " ORDER BY host");
    return database_.query("SELECT id, host FROM (" + latestTotalsFiles + ") x WHERE host = ?", {host});
}

DirectoryPage ReportQueries::directoryPage(int64_t sideFile, const std::string& host, const std::string& directory,
                                           const SummaryFilter& filter) {
    DirectoryPage page{host, directory, "", {}, {}, {}, {}, {}};
    SqlRow parameters{sideFile, directory};
    std::string narrowed;
    if (!filter.account.empty()) {
        narrowed += " AND t.account = ?";
        parameters.emplace_back(filter.account);
    }
    if (!filter.user.empty()) {
        narrowed += " AND t.user_name = ?";
        parameters.emplace_back(filter.user);
    }
    for (const SqlRow& row :
         database_.query("SELECT t.account, t.temperature, t.parent, t.user_name, " + totalsSums +
                             " FROM directory_totals t WHERE t.side_file_id = ? AND t.directory = ?" + narrowed +
                             " GROUP BY t.account, t.temperature, t.parent, t.user_name",
                         parameters)) {
        const SizeTotals totals = totalsAt(row, 4);
        page.accounts.push_back(NamedTotals{sqlText(row[0]), totals});
        page.temperatures.push_back(NamedTotals{sqlText(row[1]), totals});
        if (!sqlText(row[3]).empty()) page.users.push_back(NamedTotals{sqlText(row[3]), totals});
        page.parent = sqlText(row[2]);
        page.totals += totals;
    }
    for (const SqlRow& row : database_.query("SELECT t.directory, " + totalsSums +
                                                 " FROM directory_totals t WHERE t.side_file_id = ? AND t.parent = ?" +
                                                 narrowed + " GROUP BY t.directory",
                                             parameters)) {
        page.subdirectories.push_back(NamedTotals{sqlText(row[0]), totalsAt(row, 1)});
    }
    for (auto* list : {&page.accounts, &page.temperatures, &page.users, &page.subdirectories}) {
        *list = mergedByName(std::move(*list));
        sortLargestFirst(*list);
    }
    return page;
}

std::vector<DirectoryPage> ReportQueries::directoryPages(const std::string& host, size_t limit) {
    std::vector<DirectoryPage> list;
    const SqlTable files = latestTotals(host);
    if (files.empty() || limit == 0) return list;
    const int64_t sideFile = sqlInt(files.front()[0]);
    // A directory is at least as large as any below it: the largest ones hold their parents.
    const SqlTable largest = database_.query(
        "SELECT t.directory FROM directory_totals t WHERE t.side_file_id = ? GROUP BY t.directory ORDER BY " +
            largestTotalsFirst + ", LENGTH(t.directory), t.directory LIMIT ?",
        {sideFile, static_cast<int64_t>(std::min<size_t>(limit, std::numeric_limits<int32_t>::max()))});
    for (const SqlRow& row : largest) list.push_back(directoryPage(sideFile, host, sqlText(row[0]), {}));
    return list;
}

std::vector<DirectoryPage> ReportQueries::directoryOnHosts(const std::string& directory, const SummaryFilter& filter) {
    std::vector<DirectoryPage> list;
    for (const SqlRow& file : latestTotals(filter.host)) {
        DirectoryPage page = directoryPage(sqlInt(file[0]), sqlText(file[1]), directory, filter);
        if (!page.accounts.empty()) list.push_back(std::move(page));
    }
    return list;
}

}  // namespace Quilna
