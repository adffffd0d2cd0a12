#pragma once
#include <cstdint>
#include <string>

#include "core/SmartPointer.h"

namespace Quilna {

class ConfReader;
class LoggerCentre;
class LoggerUnit;
class LogMessenger;

// What a program holds of its logging: where the log goes, who it logs as, and the chain
// unit -> centre -> messenger built by setupLogging.
struct LoggingSetup {
    std::string directory;    // log directory; empty before set-up lets the resources decide
    std::string fileName;     // joined to the directory
    int32_t application = 0;  // stamped into every record
    int32_t module = 0;       // module of the program's own logger
    SmartPointer<LoggerCentre> centre;
    SmartPointer<LogMessenger> messenger;    // a LogMessengerIPC
    SmartPointer<LoggerUnit> unit;           // the logger the program's code uses
    SmartPointer<ConfReader> configuration;  // set before applyLogConfiguration
};

}  // namespace Quilna
