#include "hoardscan/tallies/Tallying.h"

#include <algorithm>

#include "hoardscan/facts/FileFacts.h"
#include "hoardscan/app/PathSummary.h"
#include "hoardscan/tallies/ResultFiles.h"
#include "hoardscan/app/ScanIdentity.h"
#include "hoardscan/app/ScanSettings.h"
#include "time/DateTime.h"
#include "hoardscan/tallies/Tallies.h"
#include "results/AccountRecordFormat.h"

namespace Quilna {

Tallying::Tallying(const PathSyntax& syntax, const ScanSettings& settings, const ScanIdentity& identity,
                   Tallies& tallies, ResultFiles& results)
    : settings_(settings),
      identity_(identity),
      tallies_(tallies),
      results_(results),
      monitoredBand_(settings.temperatureMonitor),
      directoryTotals_(settings.directoryTotalsSize, syntax.longestPath,
                       static_cast<size_t>(std::max(settings.bufferSize, 1)), Tallies::bufferBytes),
      totalling_(settings.directoryTotals) {}

void Tallying::summarizeInto(PathSummary& summary) {
    summary_ = &summary;
    writing_ = !settings_.workingDirectory.empty();
    totalling_ = true;
    directoryTotals_.offerTo(summary.largestDirectories());
}

void Tallying::add(FileFacts& facts) {
    // The temperatures are compared below as the key writes them.
    AccountRecordFormat::escapeKeyField(facts.accessTemperature);
    AccountRecordFormat::escapeKeyField(facts.modifyTemperature);
    const std::string& access = facts.accessTemperature;
    if (summary_) {
        summary_->add(facts);
        directoryTotals_.addFile(facts.account, facts.user, access, facts.logicalSize, facts.physicalSize);
        if (!writing_) return;
    }
    const RecordKeyView key = keyOf(facts);
    if (!hasKeyStart_ || !std::equal(keyStartFields_.begin(), keyStartFields_.end(), key.fields.begin())) {
        for (size_t i = 0; i < sharedFields; ++i) keyStartFields_[i].assign(key.fields[i]);
        keyStart_.clear();
        AccountRecordFormat::appendKey(keyStart_, key, 0, sharedFields);
        hasKeyStart_ = true;
    }
    key_.assign(keyStart_);
    AccountRecordFormat::appendKey(key_, key, sharedFields);
    if (tallies_.addAccountRecord(key_, facts.logicalSize, facts.physicalSize)) results_.flushAccountRecords(tallies_);

    if (settings_.temperatureLog && access == monitoredBand_) {
        if (tallies_.addTemperatureRow(facts.directoryVisit, *facts.directory, facts.physicalSize))
            results_.flushTemperatureRows(tallies_);
    }
    if (settings_.directoryTotals && !summary_)
        directoryTotals_.addFile(facts.account, facts.user, access, facts.logicalSize, facts.physicalSize);
    if (settings_.inactiveLog && (access == "cold" || access == "frozen")) {
        lastAccess_.clear();
        DateTime(static_cast<int32_t>(facts.status.accessed)).appendLocal(lastAccess_, false);
        if (tallies_.addInactiveRow(*facts.name, *facts.directory, facts.physicalSize, lastAccess_, access))
            results_.flushInactiveRows(tallies_);
    }
}

RecordKeyView Tallying::keyOf(const FileFacts& facts) const {
    return RecordKeyView{{facts.site, identity_.hostName, facts.fileSystem, facts.account, facts.user, facts.group,
                          facts.fileType, *facts.statusWord, facts.accessTemperature, facts.modifyTemperature}};
}

void Tallying::recordKey(FileFacts& facts, std::string& key) const {
    AccountRecordFormat::escapeKeyField(facts.accessTemperature);
    AccountRecordFormat::escapeKeyField(facts.modifyTemperature);
    key.clear();
    AccountRecordFormat::appendKey(key, keyOf(facts), 0);
}

void Tallying::beginWalk() {
    if (totalling_) directoryTotals_.beginWalk();
}

void Tallying::enterDirectory() {
    if (totalling_) directoryTotals_.enterDirectory();
}

void Tallying::leaveDirectory(std::string_view path) {
    if (totalling_ && directoryTotals_.leaveDirectory(path) && writing_)
        results_.flushDirectoryTotals(directoryTotals_);
}

void Tallying::finishResultFiles() {
    if (!writing_) return;
    const bool accountsComplete = results_.flushAccountRecords(tallies_) && tallies_.lostAccountRecords() == 0;
    if (settings_.extensionLog) results_.finishExtensionLog(results_.writeExtensionLog(tallies_));
    if (settings_.temperatureLog)
        results_.finishTemperatureLog(results_.flushTemperatureRows(tallies_) && tallies_.lostTemperatureRows() == 0);
    if (settings_.inactiveLog)
        results_.finishInactiveRows(results_.flushInactiveRows(tallies_) && tallies_.lostInactiveRows() == 0, tallies_);
    if (settings_.directoryTotals)
        results_.finishDirectoryTotals(
            results_.flushDirectoryTotals(directoryTotals_) && directoryTotals_.lostRows() == 0, directoryTotals_);
    results_.finishAccountRecords(accountsComplete);
}

}  // namespace Quilna
