#include "hoardscan/ScanEngine.h"

#include "hoardscan/MessageNumbers.h"
#include "hoardscan/RulesFiles.h"
#include "hoardscan/ScanSettings.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

ScanEngine::ScanEngine(LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity,
                       uint32_t processId)
    : decisions(logger, identity, tables),
      tallies(settings.bufferSize),
      fileTypes(logger, tallies),
      temperatures(logger),
      driveCheck(logger),
      resultFiles(logger, settings, processId),
      tallying(settings, identity, tallies, resultFiles),
      facts(logger, decisions, fileTypes, owners, temperatures, driveCheck, tallying),
      walk(logger, decisions, facts) {
    tallies.setTemperatureLimit(settings.temperatureMonitorSize);
    fileTypes.setScheme(settings.fileTypeScheme);
    fileTypes.setCollectExtensions(settings.extensionLog);
    walk.readAheadWith(settings.readAhead);
}

bool ScanEngine::loadRules(LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity) {
    RulesFiles rulesFiles(logger, identity, tables);
    if (!rulesFiles.loadFileSystems(settings.fileSystemsFile) || !rulesFiles.loadAccounts(settings.accountsFile))
        return false;
    if (settings.fileTypeScheme == FileTypes::Mapping &&
        !fileTypes.loadFileTypeMappingFile(settings.fileTypeMappingFile))
        return false;
    return temperatures.loadTemperaturesFile(settings.temperaturesFile) && findMonitoredBand(logger, settings);
}

// A name that no band has would leave the temperature log empty without a word.
bool ScanEngine::findMonitoredBand(LoggerUnit& logger, const ScanSettings& settings) {
    if (!settings.temperatureLog || temperatures.accessBands().empty()) return true;
    if (const TemperatureBand* band = temperatures.bandNamed(settings.temperatureMonitor)) {
        tallying.monitor(band->name);
        return true;
    }
    std::string names;
    for (const TemperatureBand& band : temperatures.accessBands()) names += (names.empty() ? "" : ", ") + band.name;
    logger.fatal(Message::SettingInvalid, ParamStream()
                                              << "hoardscan.temperature-monitor" << settings.temperatureMonitor
                                              << "one of the temperatures " + names + " expected");
    return false;
}

}  // namespace Quilna
