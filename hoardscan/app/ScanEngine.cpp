#include "hoardscan/app/ScanEngine.h"

#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/rules/RulesFiles.h"
#include "hoardscan/app/ScanSettings.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

ScanEngine::ScanEngine(Platform& system, LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity,
                       uint32_t processId)
    : decisions(system, system.pathSyntax(), logger, identity, tables),
      tallies(settings.bufferSize),
      fileTypes(system, logger, tallies),
      temperatures(system, logger),
      owners(system, system, system.pathSyntax()),
      driveCheck(system, system.pathSyntax(), logger),
      resultFiles(system, system, logger, settings, processId),
      tallying(system.pathSyntax(), settings, identity, tallies, resultFiles),
      facts(logger, decisions, fileTypes, owners, temperatures, driveCheck, tallying),
      roots(system.pathSyntax(), logger),
      walk(system, system, logger, decisions, facts, roots),
      tableWalk(system, logger, decisions, facts, roots),
      system_(system),
      logger_(logger),
      settings_(settings),
      identity_(identity) {
    tallies.setTemperatureLimit(settings.temperatureMonitorSize);
    tallies.setInactiveLimits(static_cast<size_t>(settings.inactiveLogLimit), system.pathSyntax().longestPath);
    fileTypes.setScheme(settings.fileTypeScheme);
    fileTypes.setCollectExtensions(settings.extensionLog);
    walk.readAheadWith(settings.readAhead);
}

bool ScanEngine::loadRules() {
    RulesFiles rulesFiles(system_, system_.pathSyntax(), logger_, identity_, tables);
    if (!rulesFiles.loadFileSystems(settings_.fileSystemsFile) || !rulesFiles.loadAccounts(settings_.accountsFile))
        return false;
    if (settings_.fileTypeScheme == FileTypes::Mapping &&
        !fileTypes.loadFileTypeMappingFile(settings_.fileTypeMappingFile))
        return false;
    return temperatures.loadTemperaturesFile(settings_.temperaturesFile) && findMonitoredBand();
}

// A name that no band has would leave the temperature log empty without a word.
bool ScanEngine::findMonitoredBand() {
    if (!settings_.temperatureLog || temperatures.accessBands().empty()) return true;
    if (const TemperatureBand* band = temperatures.bandNamed(settings_.temperatureMonitor)) {
        tallying.monitor(band->name);
        return true;
    }
    std::string names;
    for (const TemperatureBand& band : temperatures.accessBands()) names += (names.empty() ? "" : ", ") + band.name;
    logger_.fatal(Message::SettingInvalid, ParamStream()
                                               << "hoardscan.temperature-monitor" << settings_.temperatureMonitor
                                               << "one of the temperatures " + names + " expected");
    return false;
}

}  // namespace Quilna
