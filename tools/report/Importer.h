#pragma once
// Imports result files into the report database, one transaction per file: a file is
// stored whole or not at all, and a file imported before is recognised by its content and
// left alone.

#include "tools/report/Database.h"
#include "tools/report/InputFiles.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Quilna {

struct ImportOptions {
    // The host of inactive-file tables and temperature logs, whose lines do not name it.
    // Empty: the host of the run with the same process id and day, when there is one.
    std::string host;
};

struct ImportResult {
    bool alreadyImported = false;
    int64_t rows = 0;  // records, inactive rows or temperature rows stored
};

class Importer {
public:
    using Warning = std::function<void(const std::string& message)>;

    Importer(Database& database, ImportOptions options, Warning warning);

    // Throws ResultFileError for a malformed file and ReportError when the database fails;
    // either way nothing of the file is stored.
    ImportResult importFile(const InputFile& file);

private:
    struct StringHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    struct KeyTotals {
        int64_t day = 0;
        int64_t files = 0;
        int64_t bytes = 0;
        int64_t bytesOnDisk = 0;
        double weightedSize = 0;
    };
    using KeyTotalsMap = std::unordered_map<std::string, KeyTotals, StringHash, std::equal_to<>>;
    struct RunMatch {
        std::string host;
        std::optional<int64_t> runId;
    };

    ImportResult importRecords(const InputFile& file);
    ImportResult importSideFile(const InputFile& file);
    KeyTotalsMap readRecordTotals(const InputFile& file, std::string& host, uint64_t& size, uint64_t& hash);
    void storeRecords(int64_t runId, const KeyTotalsMap& totals);
    int64_t keyId(const std::string& keyText);
    void loadKeysOfHost(std::string_view host);
    RunMatch runOfSideFile(const InputFile& file);
    int64_t readSideFile(const InputFile& file, int64_t sideFileId, uint64_t& size, uint64_t& hash);

    Database& database_;
    ImportOptions options_;
    Warning warning_;
    std::unordered_map<std::string, int64_t, StringHash, std::equal_to<>> keyIds_;
    std::unordered_set<std::string, StringHash, std::equal_to<>> hostsLoaded_;
    std::vector<std::string> keysAddedInTransaction_;
};

}  // namespace Quilna
