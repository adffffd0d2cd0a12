#include "logger/LogCommons.h"

#include "text/StringUtils.h"
#include "time/TimeException.h"

namespace Quilna {

namespace {

const char* const kUnknownName = "<<Unknown>>";
const char* const kMagic = "Quilna";

struct ModuleRow {
    int32_t number;
    const char* name;
    const char* key;
};

// Named rows; 20 to 57 are the generic "Module<n>" rows. 11 has no row. Two keys may name
// one module.
const ModuleRow kModules[] = {
    {0, "Core", "core"},
    {1, "Configuration", "configuration"},
    {2, "Logger", "logger"},
    {2, "Logger", "log"},
    {3, "Protocol", "protocol"},
    {4, "Time", "time"},
    {5, "Cron", "cron"},
    {6, "IPC", "ipc"},
    {7, "Scheduler", "scheduler"},
    {8, "Database", "database"},
    {9, "Network", "network"},
    {10, "Security", "security"},
    {12, "Archive", "archive"},
    {13, "Backup", "backup"},
    {14, "Report", "report"},
    {15, "Alert", "alert"},
    {16, "Inventory", "inventory"},
    {17, "Storage", "storage"},
    {18, "FileSystem", "filesystem"},
    {19, "Hoardscan", "hoardscan"},
};
constexpr int32_t kFirstGenericModule = 20;
constexpr int32_t kLastModule = 57;
constexpr int32_t kLastApplication = 49;

bool isGenericModule(int32_t number) { return number >= kFirstGenericModule && number <= kLastModule; }

const char* const kSeverityNames[] = {"NOTICE", "WARNING", "ERROR", "CRITICAL", "FATAL"};

constexpr size_t kLabelWidth = 8;

// A number below 10 with a leading "0", as the identification block writes module and message.
std::string twoDigits(int32_t number) {
    const std::string text = StringUtils::intText(number);
    return number >= 0 && number < 10 ? "0" + text : text;
}

std::string label(const LogRecord& record) {
    std::string text = record.kind == LogRecord::Debug ? "debug-" + StringUtils::intText(record.debugLevel)
                                                       : LogCommons::severityName(record.severity);
    text.resize(kLabelWidth, ' ');
    return text + ' ';
}

std::string timeStamp(const LogRecord& record) {
    try {
        return record.time.formatLocal(false, false) + ' ';
    } catch (const TimeException&) {
        return "INVALID TIME STAMP  ";
    }
}

std::string identification(const LogRecord& record) {
    std::string text = "(" + StringUtils::intText(record.application) + "." + twoDigits(record.module);
    if (record.messageId == LogRecord::NoMessage) return text + ")    ";
    return text + "." + twoDigits(record.messageId) + ") ";
}

// The raw parameters after "(Message not found.)": each separator and the type character
// after it become two blanks.
// The separator that ends the last parameter gives no blanks: the text ends with the value.
std::string rawParameters(const std::string& parameters) {
    std::string text;
    for (size_t i = 1; i < parameters.size(); ++i) {
        const char c = parameters[i];
        if (c == kParameterSeparator || c == kEnvelopeSeparator) {
            if (i + 1 < parameters.size()) text += "  ";
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

// What follows the thread: the record's text, or for a log record without a template the
// raw parameters.
// Texts come from names on disk, rules files and other programs: every control in them is
// escaped as \xNN, so that one record is one line and no name can forge another record. Streamed
// parameters are escaped already (nothing changes them again); a debug text or an older
// sender's record may not be.
std::string messageText(const LogRecord& record, bool found) {
    if (record.kind == LogRecord::Debug || found) return StringUtils::escapeControls(record.text);
    if (record.text.empty()) return "(Message not found.)";
    return "(Message not found.) Parameters: " + StringUtils::escapeControls(rawParameters(record.text));
}

// The next field up to the field separator, removed from the rest.
std::string nextField(std::string& rest) { return StringUtils::splitFirst(rest, kFieldSeparator); }

}  // namespace

int32_t LogCommons::severityFromName(const std::string& name) {
    if (name == "NONE" || name == "NOTHING") return Severity::None;
    for (int32_t severity = Severity::Notice; severity <= Severity::Fatal; ++severity)
        if (name == kSeverityNames[severity]) return severity;
    return Severity::Invalid;
}

std::string LogCommons::severityName(int32_t severity) {
    if (severity < Severity::Notice || severity > Severity::Fatal) return std::string();
    return kSeverityNames[severity];
}

std::string LogCommons::moduleName(int32_t module) {
    for (const ModuleRow& row : kModules)
        if (row.number == module) return row.name;
    if (isGenericModule(module)) return "Module" + StringUtils::intText(module);
    return kUnknownName;
}

std::string LogCommons::applicationName(int32_t application) {
    if (application == Application::Core) return "Core";
    if (application == Application::Hoardscan) return "Hoardscan";
    if (application >= 2 && application <= kLastApplication) return "Application" + StringUtils::intText(application);
    return kUnknownName;
}

int32_t LogCommons::moduleFromKey(const std::string& key) {
    const std::string lower = StringUtils::lowerCopy(key);
    for (const ModuleRow& row : kModules)
        if (lower == row.key) return row.number;
    for (int32_t number = kFirstGenericModule; number <= kLastModule; ++number)
        if (lower == "module" + StringUtils::intText(number)) return number;
    return Module::Unknown;
}

std::string LogCommons::serializeRecord(const LogRecord& record) {
    const bool debug = record.kind == LogRecord::Debug;
    std::string text;
    text.reserve(record.text.size() + 64);
    const auto field = [&](const std::string& value) {
        text += value;
        text += kFieldSeparator;
    };
    field(kMagic);
    field(debug ? "DEBUG" : "LOG");
    field(StringUtils::intText(record.application));
    field(StringUtils::intText(record.module));
    field(StringUtils::intText(record.time.value()));
    field(StringUtils::intText(debug ? record.debugLevel : record.severity));
    field(record.text);
    field(StringUtils::uint64Text(record.thread));
    if (!debug) field(StringUtils::intText(record.messageId));
    return text;
}

bool LogCommons::parseRecord(const std::string& text, LogRecord& record) {
    std::string rest = text;
    if (nextField(rest) != kMagic) return false;
    const std::string kind = nextField(rest);
    if (kind == "DEBUG") record.kind = LogRecord::Debug;
    else if (kind == "LOG") record.kind = LogRecord::Log;
    else return false;
    record.application = StringUtils::toInt32(nextField(rest));
    record.module = StringUtils::toInt32(nextField(rest));
    record.time = DateTime(StringUtils::toInt32(nextField(rest)));
    const int32_t level = StringUtils::toInt32(nextField(rest));
    if (record.kind == LogRecord::Debug) record.debugLevel = level;
    else record.severity = level;
    record.text = nextField(rest);
    record.thread = static_cast<uint32_t>(StringUtils::toInt64(nextField(rest)));
    record.messageId = record.kind == LogRecord::Debug ? LogRecord::NoMessage : StringUtils::toInt32(nextField(rest));
    return true;
}

std::string LogCommons::expandParameters(const std::string& format, const std::string& parameters) {
    std::vector<std::string> list = StringUtils::split(parameters, kParameterSeparator);
    if (!list.empty() && list.back().empty()) list.pop_back();  // the piece after the last separator

    std::string out;
    out.reserve(format.size() + parameters.size());
    size_t used = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (used == list.size() || i + 1 == format.size()) {
            out += "<\?\?\?>";  // escaped: the plain text would read as a trigraph
            ++i;
            continue;
        }
        const char directive = format[++i];
        if (directive == '%') {
            out += '%';
            continue;
        }
        char expected = 0;
        switch (directive) {
            case 'd': expected = 'e'; break;
            case 'f':
            case 'i': expected = 'n'; break;
            case 'p': expected = 'p'; break;
            case 's': expected = 's'; break;
            default: break;  // expects nothing that can match
        }
        const std::string& parameter = list[used++];
        const std::string value = parameter.empty() ? std::string() : parameter.substr(1);
        if (expected != 0 && !parameter.empty() && parameter[0] == expected) out += value;
        else out += "\\" + value + "\\";
    }
    return out;
}

std::string LogCommons::formatLine(const LogRecord& record, bool found) {
    return label(record) + timeStamp(record) + identification(record) + StringUtils::uint64Text(record.thread) + ": " +
           messageText(record, found);
}

std::string LogCommons::formatSystemLogMessage(const LogRecord& record, bool found) {
    return identification(record) + messageText(record, found);
}

std::string LogCommons::catalogueKey(int32_t module, int32_t messageId) {
    return StringUtils::intText(module) + "." + StringUtils::intText(messageId);
}

bool LogCommons::findMessage(int32_t module, int32_t messageId, std::string& out) const {
    const auto found = catalogue_.find(catalogueKey(module, messageId));
    if (found == catalogue_.end()) return false;
    out = found->second;
    return true;
}

}  // namespace Quilna
