#include "hoardscan/ResultFiles.h"

#include "files/FileOps.h"
#include "hoardscan/MessageNumbers.h"
#include "hoardscan/Tallies.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"

namespace Quilna {

using StringUtils::exactNumberText;

namespace {

constexpr int32_t secondsPerDay = 86400;

}  // namespace

ResultFiles::ResultFiles(LoggerUnit& logger, const ScanSettings& settings, uint32_t processId)
    : logger_(logger),
      settings_(settings),
      accountFile_(logger, "Hoardscan", ".make", processId),
      extensionFile_(logger, "HoardscanExtension", ".log", processId),
      inactiveFile_(logger, "HoardscanInactive", ".csv.make", processId),
      // The monitor's name joins the stem at the first flush, once init has read it.
      temperatureFile_(logger, "Hoardscan", ".log", processId) {}

int32_t ResultFiles::dayStamp(const DateTime& moment) {
    DateTime day(moment);
    day.alignDown(TimeSpan(secondsPerDay));
    if (moment.value() - day.value() >= secondsPerDay / 2) day += TimeSpan(secondsPerDay);
    return day.value();
}

void ResultFiles::appendField(std::string& out, std::string_view field) {
    for (char c : field) out.push_back(static_cast<unsigned char>(c) < 0x20 ? '_' : c);
}

bool ResultFiles::flushAccountRecords(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    if (!accountFile_.begin(settings_.workingDirectory, day)) return false;
    const std::string dayText = StringUtils::intText(day);
    for (const auto& [key, values] : tallies.accountRecords()) {
        text_.assign("1:").append(dayText).append(":29:");
        appendField(text_, key);
        text_.append("\n1");
        for (double value : values) text_.append(":").append(exactNumberText(value));
        text_.push_back('\n');
        if (!accountFile_.put(text_)) return false;
    }
    if (!accountFile_.commit()) return false;
    tallies.clearAccountRecords();
    return true;
}

bool ResultFiles::flushTemperatureRows(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    ResultFile& file = temperatureFile_;
    file.setStem("Hoardscan-" + settings_.temperatureMonitor);
    if (!file.begin(settings_.tempDirectory, day)) return false;
    const double limit = static_cast<double>(settings_.temperatureMonitorSize);
    for (const auto& [directory, bytes] : tallies.temperatureRows()) {
        if (bytes < limit) continue;
        text_.clear();
        appendField(text_, directory);
        text_.append(";").append(exactNumberText(bytes)).push_back('\n');
        if (!file.put(text_)) return false;
    }
    if (!file.commit()) return false;
    tallies.clearTemperatureRows();
    return true;
}

bool ResultFiles::writeExtensionLog(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    if (!extensionFile_.begin(settings_.tempDirectory, day)) return false;
    for (const std::string& extension : tallies.extensionLines()) {
        text_.clear();
        appendField(text_, extension);
        text_.push_back('\n');
        if (!extensionFile_.put(text_)) return false;
    }
    return extensionFile_.commit();
}

bool ResultFiles::flushInactiveRows(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    if (!inactiveFile_.begin(settings_.tempDirectory, day)) return false;
    const bool withHeader = !inactiveHeaderWritten_ && !tallies.inactiveRows().empty();
    if (withHeader && !inactiveFile_.put(std::string(inactiveHeader) + "\n")) return false;
    for (const std::string& row : tallies.inactiveRows()) {
        text_.assign(row).push_back('\n');
        if (!inactiveFile_.put(text_)) return false;
    }
    if (!inactiveFile_.commit()) return false;
    // Only a completed flush counts: an undone one takes its header with it.
    if (withHeader) inactiveHeaderWritten_ = true;
    tallies.clearInactiveRows();
    return true;
}

std::string ResultFiles::finishedAccountName(const std::string& name) {
    std::string finished = name;
    const size_t make = finished.rfind("make");
    if (make != std::string::npos) finished.replace(make, 4, "data");
    return finished;
}

std::string ResultFiles::finishedInactiveName(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void ResultFiles::finishAccountRecords(bool complete) {
    finish(accountFile_, complete, finishedAccountName(accountFile_.name()));
}

void ResultFiles::finishInactiveRows(bool complete) {
    finish(inactiveFile_, complete, finishedInactiveName(inactiveFile_.name()));
}

void ResultFiles::finishExtensionLog(bool complete) { finish(extensionFile_, complete, std::string()); }

void ResultFiles::finishTemperatureLog(bool complete) { finish(temperatureFile_, complete, std::string()); }

// finalName empty: the file has its final name from the start.
void ResultFiles::finish(ResultFile& file, bool complete, const std::string& finalName) {
    ++enabled_;
    const bool whole = file.close();
    // Never opened: nothing to rename (each failed attempt was reported).
    if (file.name().empty()) {
        unfinished_.push_back(file.stem() + " (could not be created)");
        return;
    }
    if (!complete || !whole) {
        logger_.error(Message::ResultIncomplete, ParamStream() << file.name());
        unfinished_.push_back(file.name());
        return;
    }
    if (finalName.empty()) return;
    if (keepUnfinished_) {
        unfinished_.push_back(file.name());
        return;
    }
    // The final name promises a complete file: its content must be on the disk before it.
    if (!FileOps::syncFile(file.name())) {
        logger_.error(Message::ResultIncomplete, ParamStream() << file.name());
        unfinished_.push_back(file.name());
        return;
    }
    if (!FileOps::renameFile(file.name(), finalName, true)) {
        logger_.error(Message::CannotRename, ParamStream() << file.name() << finalName);
        unfinished_.push_back(file.name());
    }
}

}  // namespace Quilna
