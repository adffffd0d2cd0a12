#pragma once
// Removes old runs from the report database with everything that belongs to them: their
// records, their side files with their rows, and the keys, files and directories that no
// run or table uses any more. Each call is one transaction: all of it or nothing.

#include "platform/SystemServices.h"
#include "report/Database.h"
#include "report/ReportData.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

// A run or side file that a prune removes, as a dry run lists it.
struct PrunedFile {
    std::string kind;  // "run", "inactive" or "temperature"
    std::string monitor;
    std::string host;
    ScanTime scanned;  // of its run; of a side file without one, its day stamp
    std::string file;  // the folder and name it was imported from
};

struct PruneResult {
    int64_t runs = 0;
    int64_t records = 0;
    int64_t sideFiles = 0;
    int64_t inactiveRows = 0;
    std::vector<PrunedFile> files;  // listed by a dry run only
};

class Pruner {
public:
    // Creates the temporary tables it works with; call outside a transaction. A dry run
    // finds and lists what it would remove and removes nothing; it opens no transaction of
    // its own: its caller holds one and rolls it back.
    Pruner(SystemServices& services, Database& database, bool dryRun = false);

    // Keeps the latest `keep` runs of each host by when they were scanned, and the latest
    // `keep` side files of each host, kind and monitor among those of no run.
    PruneResult keepLatest(int64_t keep);
    // Removes the runs scanned before the local midnight that starts the day (seconds since
    // 1970 of its UTC midnight) and the side files of no run filed before it.
    PruneResult removeBefore(int64_t day);

private:
    PruneResult remove(const std::string& runsSql, const std::string& sideFilesSql, const SqlRow& parameters);
    std::vector<int64_t> ids(const std::string& sql, const SqlRow& parameters = {});
    void fill(const std::string& table, const std::vector<int64_t>& ids);
    std::vector<PrunedFile> listed();
    // Fills the table with the ids of the candidates that the column of the using table no
    // longer names.
    void unused(const std::string& table, const std::vector<int64_t>& candidates, const std::string& usingTable,
                const std::string& column, bool byIndex);

    SystemServices& services_;
    Database& database_;
    bool dryRun_;
};

}  // namespace Quilna
