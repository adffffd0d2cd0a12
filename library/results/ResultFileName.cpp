#include "results/ResultFileName.h"

#include "results/FormatText.h"

namespace Quilna {

using namespace FormatText;

namespace {

constexpr std::string_view recordStem = "Hoardscan";
constexpr std::string_view inactiveStem = "HoardscanInactive";
constexpr std::string_view extensionStem = "HoardscanExtension";
constexpr std::string_view totalsStem = "HoardscanTotals";
constexpr std::string_view recordEnding = ".data";
constexpr std::string_view inactiveEnding = ".csv";
constexpr std::string_view logEnding = ".log";
constexpr std::string_view totalsEnding = ".txt";
constexpr std::string_view unfinishedEnding = ".make";

// Splits "<lead>-<D>-<P>" from its end. The lead is what precedes D without its "-", or
// nothing when D begins the text.
struct DayAndProcess {
    std::optional<std::string_view> lead;
    int64_t day = 0;
    int64_t processId = 0;
};

std::optional<DayAndProcess> splitDayAndProcess(std::string_view text) {
    const size_t lastDash = text.rfind('-');
    if (lastDash == std::string_view::npos) return std::nullopt;
    const std::string_view processText = text.substr(lastDash + 1);
    const std::string_view rest = text.substr(0, lastDash);
    const size_t dayDash = rest.rfind('-');
    const std::string_view dayText = dayDash == std::string_view::npos ? rest : rest.substr(dayDash + 1);
    const auto day = parseInteger(dayText);
    const auto processId = parseInteger(processText);
    if (!allDigits(processText) || !allDigits(dayText) || !day || !processId) return std::nullopt;
    DayAndProcess parts;
    parts.day = *day;
    parts.processId = *processId;
    if (dayDash != std::string_view::npos) parts.lead = rest.substr(0, dayDash);
    return parts;
}

std::string prefixOf(std::string_view stem) { return std::string(stem) + "-"; }

}  // namespace

std::optional<ResultFileName> ResultFileName::parse(std::string_view fileName) {
    ResultFileName name;
    std::string_view text = fileName;
    const bool unfinished = takeSuffix(text, unfinishedEnding);
    name.unfinished = unfinished;
    std::optional<DayAndProcess> parts;
    if (takePrefix(text, prefixOf(inactiveStem))) {
        if (!takeSuffix(text, inactiveEnding)) return std::nullopt;
        name.kind = ResultFileKind::InactiveFiles;
        parts = splitDayAndProcess(text);
        if (!parts || parts->lead) return std::nullopt;
    } else if (takePrefix(text, prefixOf(totalsStem))) {
        if (!takeSuffix(text, totalsEnding)) return std::nullopt;
        name.kind = ResultFileKind::DirectoryTotals;
        parts = splitDayAndProcess(text);
        if (!parts || parts->lead) return std::nullopt;
    } else if (takePrefix(text, prefixOf(extensionStem))) {
        if (unfinished || !takeSuffix(text, logEnding)) return std::nullopt;
        name.kind = ResultFileKind::ExtensionLog;
        parts = splitDayAndProcess(text);
        if (!parts || parts->lead) return std::nullopt;
    } else if (takePrefix(text, prefixOf(recordStem))) {
        // The record file is "...-P.make" while written and "...-P.data" when done.
        if (!unfinished && takeSuffix(text, recordEnding)) {
            name.kind = ResultFileKind::AccountRecords;
        } else if (!unfinished && takeSuffix(text, logEnding)) {
            name.kind = ResultFileKind::TemperatureLog;
        } else if (unfinished) {
            name.kind = ResultFileKind::AccountRecords;
        } else {
            return std::nullopt;
        }
        parts = splitDayAndProcess(text);
        if (!parts) return std::nullopt;
        const bool isLog = name.kind == ResultFileKind::TemperatureLog;
        if (isLog != parts->lead.has_value() || (isLog && parts->lead->empty())) return std::nullopt;
        if (isLog) name.monitor = std::string(*parts->lead);
    } else {
        return std::nullopt;
    }
    name.day = parts->day;
    name.processId = parts->processId;
    return name;
}

std::string ResultFileName::stem() const {
    switch (kind) {
        case ResultFileKind::InactiveFiles: return std::string(inactiveStem);
        case ResultFileKind::ExtensionLog: return std::string(extensionStem);
        case ResultFileKind::DirectoryTotals: return std::string(totalsStem);
        case ResultFileKind::TemperatureLog: return prefixOf(recordStem) + monitor;
        case ResultFileKind::AccountRecords: break;
    }
    return std::string(recordStem);
}

std::string ResultFileName::text() const {
    std::string name = stem() + "-" + std::to_string(day) + "-" + std::to_string(processId);
    switch (kind) {
        // The record file's unfinished name replaces its ending; the table's extends it.
        case ResultFileKind::AccountRecords: return name.append(unfinished ? unfinishedEnding : recordEnding);
        case ResultFileKind::InactiveFiles:
            return name.append(inactiveEnding).append(unfinished ? unfinishedEnding : std::string_view());
        case ResultFileKind::DirectoryTotals:
            return name.append(totalsEnding).append(unfinished ? unfinishedEnding : std::string_view());
        case ResultFileKind::TemperatureLog:
        case ResultFileKind::ExtensionLog: break;
    }
    return name.append(logEnding);
}

}  // namespace Quilna
