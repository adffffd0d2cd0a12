#pragma once
// Imports result files into the report database, one transaction per file: a file is
// stored whole or not at all, and a file imported before is recognised by its content and
// left alone.

#include "report/Database.h"
#include "report/InactiveStore.h"
#include "report/InputFiles.h"
#include "report/ReportData.h"
#include "report/TextHash.h"
#include "results/AccountValues.h"
#include "results/ResultFileReader.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Quilna {

struct ImportOptions {
    // The host of inactive-file tables and temperature logs, whose lines do not name it.
    // Empty: the host of the run with the same process id and day, when there is one.
    std::string host;
};

struct ImportResult {
    bool alreadyImported = false;
    int64_t rows = 0;        // records, inactive rows or temperature rows stored
    int64_t hostsGiven = 0;  // side files imported before that got their host now
};

// A run's sums per key, as read from its account record file. They are summed wide: one
// user's sparse files can pass 2^63 bytes, and that must not cost the host its run.
struct RunTotals {
    struct Sums {
        int64_t day = std::numeric_limits<int64_t>::min();  // of the latest flush
        BasicAccountValues<WideInt> values;

        void add(const Sums& other);
    };
    std::string host;
    uint64_t size = 0;
    uint64_t hash = 0;
    int64_t lastDay = 0;    // the day stamp of the last flush
    int64_t scannedAt = 0;  // when the run wrote the file, as far as known
    Sums total;
    // Key texts as stored: cleaned to UTF-8 without control characters.
    std::unordered_map<std::string, Sums, TextHash, std::equal_to<>> keys;
};

// A file read and checked without the database, ready to be stored. Reading the next file
// can so go on while the last one is stored.
struct PreparedFile {
    InputFile file;
    std::optional<RunTotals> run;  // account record files only; side files are read when stored
};

class Importer {
public:
    using Warning = std::function<void(const std::string& message)>;

    Importer(FileSystem& files, SystemServices& services, Database& database, ImportOptions options, Warning warning);

    // Throws ResultFileError for a malformed file. Touches nothing shared: it may run on
    // another thread than the rest.
    static PreparedFile prepare(FileSystem& files, SystemServices& services, const InputFile& file);
    // Throws ResultFileError for a malformed file and ReportError when the database fails;
    // either way nothing of the file is stored.
    ImportResult store(PreparedFile&& prepared);
    ImportResult importFile(const InputFile& file) { return store(prepare(files_, services_, file)); }

private:
    struct RunMatch {
        std::string host;
        std::optional<int64_t> runId;
        std::string doubt;  // why no run was found, when none was
    };

    // The key ids of one host as far as they were loaded; a host's keys are loaded when its
    // first run is stored and topped up with later ones at each transaction.
    struct HostKeys {
        int64_t loadedUpTo = 0;
        std::unordered_map<std::string, int64_t, TextHash, std::equal_to<>> ids;
    };

    static RunTotals readRunTotals(FileSystem& files, SystemServices& services, const InputFile& file);
    ImportResult storeOnce(PreparedFile& prepared);
    ImportResult storeRun(const InputFile& file, RunTotals& run);
    // Whether the run is stored already from the same content; throws when from another.
    bool isStoredRun(const InputFile& file, const RunTotals& run);
    // Inserts a row unless it repeats a unique one stored (also by a concurrent import): its id.
    std::optional<int64_t> insertOnce(std::string_view table, const std::vector<std::string_view>& columns,
                                      const SqlRow& values);
    void lockProcess(int64_t processId);
    // The number of records stored capped: sums beyond 64 bits, kept at the largest value and marked.
    int64_t storeRecords(int64_t runId, const RunTotals& run);
    HostKeys& keysOfHost(std::string_view host);
    void loadNewKeys(std::string_view host, HostKeys& keys);
    void insertKeys(const std::vector<const std::string*>& keys);
    int64_t giveSideFilesTheirRun(int64_t runId, const InputFile& file, const std::string& host);
    ImportResult importSideFile(const InputFile& file);
    bool repairHost(const InputFile& file, const SqlRow& stored);
    RunMatch runOfSideFile(int64_t processId, int64_t day, const std::string& folder, const std::string& host);
    int64_t readSideFile(const InputFile& file, ResultFileReader& reader, int64_t sideFileId);

    FileSystem& files_;
    SystemServices& services_;
    Database& database_;
    InactiveStore inactive_;
    ImportOptions options_;
    Warning warning_;
    std::unordered_map<std::string, HostKeys, TextHash, std::equal_to<>> hostKeys_;
    // Hosts whose keys were topped up in the current transaction; forgotten if it fails.
    std::vector<std::string> hostsInTransaction_;
};

}  // namespace Quilna
