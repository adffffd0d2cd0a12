#pragma once
// The scan engine, its stages wired in the order a file travels: the walk (Walk, or TableWalk
// for an NTFS volume read from its master file table) hands each
// listed file to the facts stage (FactFinder), which hands a counted file's facts to the
// tallies (Tallying), which flushes full buffers into the result files (ResultFiles). Made once
// the settings are read; the parts log through the program's unit.

#include <cstdint>
#include <string>

#include "hoardscan/facts/DriveCheck.h"
#include "hoardscan/facts/FactFinder.h"
#include "hoardscan/facts/FileTypes.h"
#include "hoardscan/facts/Owners.h"
#include "hoardscan/tallies/ResultFiles.h"
#include "hoardscan/rules/RuleDecisions.h"
#include "hoardscan/rules/RuleTables.h"
#include "hoardscan/tallies/Tallies.h"
#include "hoardscan/walk/TableWalk.h"
#include "hoardscan/tallies/Tallying.h"
#include "hoardscan/facts/Temperatures.h"
#include "hoardscan/walk/Walk.h"
#include "platform/Platform.h"

namespace Quilna {

class LoggerUnit;
struct ScanIdentity;
struct ScanSettings;

class ScanEngine {
public:
    ScanEngine(Platform& system, LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity,
               uint32_t processId);

    // The rules files, the file type mapping and the temperatures the settings name; false when
    // one cannot be used (reported).
    bool loadRules();

    // Rules and what the facts are read with.
    RuleTables tables;
    RuleDecisions decisions;
    Tallies tallies;
    FileTypes fileTypes;
    Temperatures temperatures;
    Owners owners;
    DriveCheck driveCheck;
    // The stages, from the last to the first.
    ResultFiles resultFiles;
    Tallying tallying;
    FactFinder facts;
    RunRoots roots;  // what this run walks, set before its first file system
    Walk walk;
    TableWalk tableWalk;  // the walk's other way: an NTFS volume read from its table

private:
    // The monitored temperature is one of the bands, whatever its letter case.
    bool findMonitoredBand();

    Platform& system_;
    LoggerUnit& logger_;
    const ScanSettings& settings_;
    const ScanIdentity& identity_;
};

}  // namespace Quilna
