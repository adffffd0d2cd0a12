#pragma once
// The name of a result file: "<stem>-<day stamp>-<process id><ending>". The account record
// file, the inactive-file table and the directory totals end in ".make" until the scanner has
// finished them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Quilna {

enum class ResultFileKind { AccountRecords, InactiveFiles, TemperatureLog, ExtensionLog, DirectoryTotals };

struct ResultFileName {
    ResultFileKind kind = ResultFileKind::AccountRecords;
    int64_t day = 0;  // seconds since 1970 of the nearest local midnight
    int64_t processId = 0;
    std::string monitor;  // temperature logs only
    // Still ending in ".make": the scanner has not closed the file, so it must not be read.
    bool unfinished = false;

    // The pieces of a name without directory, or nothing when the scanner writes no such name.
    static std::optional<ResultFileName> parse(std::string_view fileName);
    // Whether the scanner writes the file under an unfinished name first.
    static bool hasUnfinishedName(ResultFileKind kind) {
        return kind == ResultFileKind::AccountRecords || kind == ResultFileKind::InactiveFiles ||
               kind == ResultFileKind::DirectoryTotals;
    }

    // "Hoardscan", "HoardscanInactive", "HoardscanExtension", "HoardscanTotals" or "Hoardscan-<monitor>".
    std::string stem() const;
    std::string text() const;
};

}  // namespace Quilna
