#pragma once
// Stores the rows of inactive-file tables in their compact form: each directory and each
// file once for the whole database, and per table one row of numbers for each file. A
// machine's cold files are mostly the same from run to run, so a run costs a few bytes per file.

#include "report/Database.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

struct InactiveEntry {
    std::string directory;
    std::string name;
    int64_t kib = 0;
    int64_t lastAccess = 0;  // local time read as UTC seconds
    std::string temperature;
};

class InactiveStore {
public:
    // Creates the temporary tables it works with; call outside a transaction.
    explicit InactiveStore(Database& database);

    // Appends the rows of a table inside the caller's transaction. A file that the table
    // lists twice fails with the database's error.
    void store(int64_t sideFileId, const std::vector<InactiveEntry>& entries);

private:
    std::vector<int64_t> directoryIds(const std::vector<InactiveEntry>& entries);
    std::vector<int64_t> pathIds(const std::vector<InactiveEntry>& entries, const std::vector<int64_t>& directories);

    Database& database_;
};

}  // namespace Quilna
