#pragma once
// The program's own settings, read from the configuration file in one go (Settings.cpp) before
// anything of the scan engine is made.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Quilna {

class ConfReader;
class Drives;
class FileSystem;
class LoggerUnit;

struct ScanSettings {
    std::string workingDirectory;  // the account record file; absolute, ends in a separator
    std::string tempDirectory;     // the side files; absolute, ends in a separator
    std::string fileSystemsFile;   // the rules files, each there when read
    std::string accountsFile;
    std::string fileTypeMappingFile;  // only for the mapping scheme
    std::string temperaturesFile;
    int32_t fileTypeScheme = 0;  // FileTypes::Scheme
    bool extensionLog = false;
    bool inactiveLog = false;
    int64_t inactiveLogLimit = int64_t{256} << 20;  // bytes the inactive-file table may take
    bool temperatureLog = false;
    std::string temperatureMonitor;            // the access temperature whose bytes are logged per directory
    int64_t temperatureMonitorSize = 0;        // bytes; smaller directory totals are not logged
    int32_t bufferSize = 1000;                 // records held before a flush
    unsigned readAhead = 0;                    // helper threads of the walk
    std::vector<std::string> userDirectories;  // lower case
    // Days that finished result files stay in the result directories; none: for ever.
    std::optional<int32_t> keepResultsDays;
    // The directory totals side file; subtrees taking fewer bytes on disk than the size get no rows.
    bool directoryTotals = false;
    int64_t directoryTotalsSize = int64_t{100} << 20;
    // NTFS volumes that can be opened raw are read from their master file table (hoardscan.mft).
    bool masterFileTable = true;
    // Reported only; none when missing or unusable (reported as read): the scan then does not
    // start, although its set-up succeeds.
    std::optional<int32_t> filesystemsInParallel;
};

// Every setting of the scan, in the order they are checked; none when a required one cannot be
// used (reported with its key, and its value when it has one). Result directories are created;
// a check of the configuration creates nothing and reports every unusable setting, not the first.
std::optional<ScanSettings> readSettings(FileSystem& files, Drives& drives, const ConfReader& configuration,
                                         LoggerUnit& log, bool checking = false);

}  // namespace Quilna
