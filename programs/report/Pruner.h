#pragma once
// Removes old runs from the report database with everything that belongs to them: their
// records, their side files with their rows, and the keys, files and directories that no
// run or table uses any more. Each call is one transaction: all of it or nothing.

#include "report/Database.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

struct PruneResult {
    int64_t runs = 0;
    int64_t records = 0;
    int64_t sideFiles = 0;
    int64_t inactiveRows = 0;
};

class Pruner {
public:
    // Creates the temporary tables it works with; call outside a transaction.
    explicit Pruner(Database& database);

    // Keeps the latest `keep` runs of each host by when they were scanned, and the latest
    // `keep` side files of each host, kind and monitor among those of no run.
    PruneResult keepLatest(int64_t keep);
    // Removes the runs scanned before the day (seconds since 1970 of its UTC midnight) and the
    // side files of no run written before it.
    PruneResult removeBefore(int64_t day);

private:
    PruneResult remove(const std::string& runsSql, const std::string& sideFilesSql, const SqlRow& parameters);
    std::vector<int64_t> ids(const std::string& sql, const SqlRow& parameters = {});
    void fill(const std::string& table, const std::vector<int64_t>& ids);
    // Fills the table with the ids of the candidates that the column of the using table no
    // longer names.
    void unused(const std::string& table, const std::vector<int64_t>& candidates, const std::string& usingTable,
                const std::string& column);

    Database& database_;
};

}  // namespace Quilna
