#pragma once
// What the pieces of logging agree on: the severity scale, the module and application
// tables, the text form in which records travel, the expansion of message templates, the
// layout of a log line, and the catalogue of message templates (one instance per program).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "logger/LogRecord.h"
#include "platform/FileSystem.h"
#include "text/ParamStream.h"

namespace Quilna {

namespace Severity {
constexpr int32_t Notice = 0;
constexpr int32_t Warning = 1;
constexpr int32_t Error = 2;
constexpr int32_t Critical = 3;
constexpr int32_t Fatal = 4;
constexpr int32_t None = 5;     // a filter that lets nothing through
constexpr int32_t Invalid = 6;  // a name that is no severity
}  // namespace Severity

namespace Module {
constexpr int32_t Core = 0;
constexpr int32_t Configuration = 1;
constexpr int32_t Logger = 2;
constexpr int32_t Protocol = 3;
constexpr int32_t Time = 4;
constexpr int32_t Cron = 5;
constexpr int32_t IPC = 6;
constexpr int32_t Storage = 17;
constexpr int32_t FileSystem = 18;
constexpr int32_t Hoardscan = 19;
constexpr int32_t Unknown = 64;  // moduleFromKey of a key without a row
}  // namespace Module

namespace Application {
constexpr int32_t Core = 1;
constexpr int32_t Hoardscan = 17;
}  // namespace Application

// Separator bytes inside records (kParameterSeparator, text/ParamStream.h, within a field).
// ParamStream escapes its texts, so they only part; a record of an older sender may still hold
// them raw inside a parameter, and its line escapes them.
constexpr char kEnvelopeSeparator = '\x1B';
constexpr char kFieldSeparator = '\x1C';

// What loading the message files achieved.
struct LoadResult {
    bool status = false;                // the directory was processed to the end
    std::string message;                // why loading stopped
    std::vector<std::string> loaded;    // base names of loaded files, in loading order
    std::vector<std::string> rejected;  // base names of files not loaded
    std::vector<int32_t> counts;        // message lines per loaded file, parallel to loaded
};

class LogCommons {
public:
    LogCommons() = default;
    virtual ~LogCommons() = default;

    // Exactly "NOTICE" ... "FATAL" give 0 to 4, "NONE" and "NOTHING" 5, anything else 6.
    static int32_t severityFromName(const std::string& name);
    // "NOTICE" ... "FATAL" for 0 to 4, "" otherwise.
    static std::string severityName(int32_t severity);
    // Display names; "<<Unknown>>" for a number without a row.
    static std::string moduleName(int32_t module);
    static std::string applicationName(int32_t application);
    // The module of a key, compared in lower case; Module::Unknown when there is none.
    static int32_t moduleFromKey(const std::string& key);

    // The text form: "Quilna", "DEBUG"/"LOG", application, module, seconds, level or severity,
    // text, thread and (log records) message number, each followed by 0x1C.
    static std::string serializeRecord(const LogRecord& record);
    // False unless the text starts with "Quilna" and the kind is "DEBUG" or "LOG". Missing or
    // non-numeric numbers read as 0.
    static bool parseRecord(const std::string& text, LogRecord& record);

    // Replaces %s, %i, %f, %d, %p by the parameters in turn and %% by "%"; a parameter of the
    // wrong type shows between backslashes, a directive without a parameter as "<???>".
    static std::string expandParameters(const std::string& format, const std::string& parameters);

    // One log line without its line end: label padded to 8, time, identification, thread, text.
    // found: the record's text was made from a catalogue template.
    static std::string formatLine(const LogRecord& record, bool found);
    // A log record as the system log takes it, which stamps time, program and severity itself:
    // the identification block and the text, control bytes escaped as in formatLine.
    static std::string formatSystemLogMessage(const LogRecord& record, bool found);

    // Loads <directory>LogMessages/<key>.mess for every module key whose base name occurs in
    // the filter (or every module with the filter "all"). The first template of a key stays.
    LoadResult loadMessages(FileSystem& files, const std::string& directory, const std::string& filter);
    // The template of a module's message.
    bool findMessage(int32_t module, int32_t messageId, std::string& out) const;
    size_t messageCount() const { return catalogue_.size(); }

private:
    static std::string catalogueKey(int32_t module, int32_t messageId);
    // Reads one message file; returns the number of message lines.
    int32_t loadMessageFile(FileSystem& files, const std::string& path, int32_t module);

    std::map<std::string, std::string> catalogue_;
};

}  // namespace Quilna
