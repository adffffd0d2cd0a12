#pragma once
// Reads the views of the summary and the HTML page from the report database. Rankings are
// sorted by bytes on disk, largest first, and are complete: callers cut them to their top N.
// Byte sums are taken in two halves of 32 bits each and put together in 128 bits, so that no
// database sums past 2^63, however many runs the database holds.

#include "platform/SystemServices.h"
#include "report/Database.h"
#include "report/ReportData.h"
#include "report/ReportSchema.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Quilna {

class ReportQueries {
public:
    ReportQueries(SystemServices& services, Database& database) : services_(services), database_(database) {}

    // Reads the records of the latest runs once for the pages that follow, which then read
    // what it gathered. For a command that reads many pages.
    void gatherLatest();

    // Totals of the latest run of each host, of the records the filter lets through.
    Summary summary(const SummaryFilter& filter = {});
    // The same views for each of the given hosts (its latest run) or accounts (the latest run
    // of each host): the pages that a ranking leads to. A host's page is read from the totals
    // kept per run; an account's, user's or group's reads records only for what it shows that
    // those do not hold, and leaves empty what it does not show: its own ranking, the group
    // lists, and on a group's page the users.
    std::map<std::string, Summary> hostPages(const std::vector<std::string>& hosts);
    std::map<std::string, Summary> accountPages(const std::vector<std::string>& accounts);
    std::map<std::string, Summary> userPages(const std::vector<std::string>& users);
    // A group's page counts every file of its group, whichever other groups its owner has.
    std::map<std::string, Summary> groupPages(const std::vector<std::string>& groups);

    // The largest directories of a host's latest directory totals (a directory before those
    // below it when they are as large), each with its subdirectories and split.
    std::vector<DirectoryPage> directoryPages(const std::string& host, size_t limit);
    // One directory (ending in its separator) in the latest directory totals of each host, or
    // of the filter's host, counting the filter's account only when it names one. Hosts
    // whose totals do not hold it are left out.
    std::vector<DirectoryPage> directoryOnHosts(const std::string& directory, const SummaryFilter& filter);

    AccountGrowth accountGrowth();
    // Each host's latest run against the one before it, largest change first.
    std::vector<RunChange> hostChanges();
    // Each account over the latest run of every host against the run before it (a host's only
    // run counts as both), largest change first.
    std::vector<RunChange> accountChanges();
    // A host's runs, oldest first.
    std::vector<HostRun> runsOfHost(const std::string& host);

    // The largest directories of the latest temperature log of each host and monitor.
    std::vector<MonitoredDirectory> monitoredDirectories(size_t limit);
    // The directories holding the most bytes of cold and frozen files, by the latest
    // inactive-file table of each host.
    std::vector<ColdDirectory> coldDirectories(size_t limit);

    // Temperature names in the order of their age where they are known ones, then by name.
    static std::vector<std::string> temperatureOrder(std::vector<std::string> names);

private:
    // Sums of the latest runs grouped by the given columns, of the runs chosen by the
    // condition (SQL over c records, k record_keys and r runs).
    SqlTable latestSums(const std::string& columns, const std::string& condition, const SqlRow& parameters);
    // The totals kept per run of one view, summed over the latest runs: name (and detail for
    // the temperatures) and the sums.
    SqlTable latestKeptSums(ReportSchema::RunView view);
    // What a page does not show is left empty (see hostPages).
    std::map<std::string, Summary> pages(const std::string& column, const std::vector<std::string>& names,
                                         const SummaryFilter& filter = {});
    // The pages a row of names (its first column) counts in.
    static std::function<std::vector<Summary*>(const SqlRow&)> pagesOfRow(std::map<std::string, Summary>& result,
                                                                          const std::string& column,
                                                                          const std::vector<std::string>& names,
                                                                          bool named);
    // The kept totals of one view in the latest runs, of the names or all: name, host, scanned
    // day and time, sums.
    SqlTable latestHostsOf(ReportSchema::RunView view, const std::vector<std::string>& names);
    // Whole pages of hosts from the totals kept for their latest runs: a hundred rows or so a
    // host instead of its records.
    std::map<std::string, Summary> hostPagesFromTotals(const std::vector<std::string>& hosts);
    // The group lists of the record keys that hold one of the groups.
    std::vector<std::string> groupListsWith(const std::vector<std::string>& groups);
    // The latest directory totals of each host, or of one: side file id and host.
    SqlTable latestTotals(const std::string& host);
    // Counting only the files of the filter's account and user where it names them.
    DirectoryPage directoryPage(int64_t sideFile, const std::string& host, const std::string& directory,
                                const SummaryFilter& filter);
    std::vector<NamedTotals> hostTotals();
    std::vector<RunChange> changes(const std::string& column);

    SystemServices& services_;
    Database& database_;
    bool gathered_ = false;
};

}  // namespace Quilna
