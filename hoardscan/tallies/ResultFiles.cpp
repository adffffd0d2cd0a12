#include "hoardscan/tallies/ResultFiles.h"

#include <algorithm>

#include "files/FileOps.h"
#include "hoardscan/tallies/DirectoryTotals.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/tallies/Tallies.h"
#include "logger/LoggerUnit.h"
#include "results/AccountRecordFormat.h"
#include "results/ExtensionLogFormat.h"
#include "results/InactiveTableFormat.h"
#include "results/TemperatureLogFormat.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

constexpr int32_t secondsPerDay = 86400;

}  // namespace

ResultFiles::ResultFiles(FileSystem& files, SystemServices& services, LoggerUnit& logger, const ScanSettings& settings,
                         uint32_t processId)
    : files_(files),
      services_(services),
      logger_(logger),
      settings_(settings),
      accountFile_(files, logger, ResultFileKind::AccountRecords, processId),
      extensionFile_(files, logger, ResultFileKind::ExtensionLog, processId),
      inactiveFile_(files, logger, ResultFileKind::InactiveFiles, processId),
      // The monitor's name joins the name at the first flush, once init has read it.
      temperatureFile_(files, logger, ResultFileKind::TemperatureLog, processId),
      totalsFile_(files, logger, ResultFileKind::DirectoryTotals, processId) {}

int32_t ResultFiles::dayStamp(const DateTime& moment) {
    DateTime day(moment);
    day.alignDown(TimeSpan(secondsPerDay));
    if (moment.value() - day.value() >= secondsPerDay / 2) day += TimeSpan(secondsPerDay);
    return day.value();
}

bool ResultFiles::flushAccountRecords(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    if (!accountFile_.begin(settings_.workingDirectory, day)) return false;
    const std::string dayText = StringUtils::intText(day);
    for (const auto& [key, values] : tallies.accountRecords()) {
        text_.clear();
        AccountRecordFormat::appendRecord(text_, dayText, key, values);
        if (!accountFile_.put(text_)) return false;
    }
    if (!accountFile_.commit()) return false;
    tallies.clearAccountRecords();
    return true;
}

bool ResultFiles::flushTemperatureRows(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    ResultFile& file = temperatureFile_;
    file.setMonitor(settings_.temperatureMonitor);
    if (!file.begin(settings_.tempDirectory, day)) return false;
    const double limit = static_cast<double>(settings_.temperatureMonitorSize);
    for (const auto& [directory, bytes] : tallies.temperatureRows()) {
        if (bytes < limit) continue;
        text_.clear();
        TemperatureLogFormat::appendRow(text_, directory, bytes);
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
        ExtensionLogFormat::appendLine(text_, extension);
        if (!extensionFile_.put(text_)) return false;
    }
    return extensionFile_.commit();
}

bool ResultFiles::flushInactiveRows(Tallies& tallies) {
    const int32_t day = dayStamp(DateTime());
    if (!inactiveFile_.begin(settings_.tempDirectory, day)) return false;
    const bool withHeader = !inactiveHeaderWritten_ && !tallies.inactiveRows().empty();
    if (withHeader && !inactiveFile_.put(std::string(InactiveTableFormat::header) + "\n")) return false;
    for (const std::string& row : tallies.inactiveRows())
        if (!inactiveFile_.putLine(row)) return false;
    if (!inactiveFile_.commit()) return false;
    // Only a completed flush counts: an undone one takes its header with it.
    if (withHeader) inactiveHeaderWritten_ = true;
    tallies.clearInactiveRows();
    return true;
}

bool ResultFiles::flushDirectoryTotals(DirectoryTotals& totals) {
    const bool written = totalsFile_.begin(settings_.tempDirectory, dayStamp(DateTime())) &&
                         putLines(totalsFile_, totals.rows()) && totalsFile_.commit();
    totals.flushed(written);
    return written;
}

// A row at a time: a failed write names its row, not the whole buffer.
bool ResultFiles::putLines(ResultFile& file, std::string_view lines) {
    for (size_t start = 0, end = 0; start < lines.size(); start = end + 1) {
        end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size() - 1;
        text_.assign(lines.substr(start, end - start + 1));
        if (!file.put(text_)) return false;
    }
    return true;
}

void ResultFiles::finishAccountRecords(bool complete) { finish(accountFile_, complete); }

void ResultFiles::finishInactiveRows(bool complete, const Tallies& tallies) {
    finish(inactiveFile_, complete);
    const bool renamed = std::find(unfinished_.begin(), unfinished_.end(), inactiveFile_.name()) == unfinished_.end();
    const std::string name = renamed ? inactiveFile_.finishedName() : inactiveFile_.name();
    if (const uint64_t left = tallies.inactiveRowsOverLimit(); left > 0) {
        logger_.warning(Message::InactiveOverLimit, ParamStream() << name << settings_.inactiveLogLimit / (1 << 20)
                                                                  << tallies.inactiveRowsAdded() << left);
    }
    if (const uint64_t cut = tallies.inactiveRowsCut(); cut > 0) {
        logger_.warning(Message::InactiveRowsCut, ParamStream() << cut << name << files_.pathSyntax().longestPath);
    }
}

void ResultFiles::finishExtensionLog(bool complete) { finish(extensionFile_, complete); }

void ResultFiles::finishTemperatureLog(bool complete) { finish(temperatureFile_, complete); }

void ResultFiles::finishDirectoryTotals(bool complete, const DirectoryTotals& totals) {
    finish(totalsFile_, complete);
    if (totals.overlongDirectories() > 0 && LoggerUnit::isDebugOn(1))
        logger_.debug(1,
                      "%i directories of the directory totals have paths longer than %i bytes: their totals are "
                      "in the directories above them.",
                      ParamStream() << static_cast<unsigned long long>(totals.overlongDirectories())
                                    << static_cast<unsigned long long>(files_.pathSyntax().longestPath));
}

void ResultFiles::finish(ResultFile& file, bool complete) {
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
    const std::string finalName = file.finishedName();
    // A log has its final name from the start.
    if (finalName == file.name()) return;
    if (keepUnfinished_) {
        unfinished_.push_back(file.name());
        return;
    }
    // The final name promises a complete file: its content must be on the disk before it.
    if (!FileOps::syncFile(files_, file.name())) {
        logger_.error(Message::ResultIncomplete, ParamStream() << file.name());
        unfinished_.push_back(file.name());
        return;
    }
    if (!FileOps::renameFile(files_, services_, file.name(), finalName, true)) {
        logger_.error(Message::CannotRename, ParamStream() << file.name() << finalName);
        unfinished_.push_back(file.name());
    }
}

}  // namespace Quilna
