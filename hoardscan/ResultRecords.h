#pragma once
// What the result files of a run hold, as ResultFileReader gives it back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna {

enum class ResultFileKind { AccountRecords, InactiveFiles, TemperatureLog, ExtensionLog };

// The pieces of a result file's name. "unfinished" marks a name still ending in ".make":
// the scanner has not closed that file, so its content must not be read.
struct ResultFileName {
    ResultFileKind kind = ResultFileKind::AccountRecords;
    int64_t day = 0;  // seconds since 1970 of the nearest local midnight
    int64_t processId = 0;
    std::string monitor;  // temperature logs only
    bool unfinished = false;
};

// The ten fields of a record key, in the order they are written.
enum class KeyField : size_t {
    Site,
    Host,
    FileSystem,
    Account,
    User,
    Group,
    FileType,
    Status,
    AccessTemperature,
    ModifyTemperature
};
inline constexpr size_t keyFieldCount = 10;

struct RecordKey {
    std::array<std::string, keyFieldCount> fields;

    const std::string& operator[](KeyField field) const { return fields[static_cast<size_t>(field)]; }
    std::string& operator[](KeyField field) { return fields[static_cast<size_t>(field)]; }
    // The key as the scanner writes it: every field preceded by "0:", joined by ":".
    std::string text() const {
        std::string out;
        for (const std::string& field : fields) {
            out += out.empty() ? "0:" : ":0:";
            out += field;
        }
        return out;
    }
};

// The four values of an account record. Adding two gives the value of a key that a run
// flushed twice.
struct AccountValues {
    double files = 0;
    double bytes = 0;
    double bytesOnDisk = 0;
    double weightedSize = 0;

    AccountValues& operator+=(const AccountValues& other) {
        files += other.files;
        bytes += other.bytes;
        bytesOnDisk += other.bytesOnDisk;
        weightedSize += other.weightedSize;
        return *this;
    }
};

// One record as read, without copies: the views point into the reader's line buffer and
// are valid only during the callback that receives them.
struct AccountRecordView {
    int64_t line = 0;  // line number of the key line, from 1
    int64_t day = 0;
    std::string_view keyText;
    std::array<std::string_view, keyFieldCount> fields;
    AccountValues values;

    std::string_view operator[](KeyField field) const { return fields[static_cast<size_t>(field)]; }
};

struct AccountRecord {
    int64_t line = 0;
    int64_t day = 0;
    RecordKey key;
    AccountValues values;
};

struct InactiveRow {
    int64_t line = 0;
    std::string name;
    std::string directory;
    int64_t kib = 0;
    std::string lastAccess;
    std::string temperature;
};

struct TemperatureRow {
    int64_t line = 0;
    std::string directory;
    double bytes = 0;
};

}  // namespace Quilna
