#pragma once
// Logging is set up in two passes: setupLogging early, from the set-up block and the
// installation's resources, before any configuration file is read; applyLogConfiguration once
// the configuration reader exists, from its "log." keys.

#include <cstdint>
#include <string>

#include "logger/LoggingSetup.h"

namespace Quilna {

class FileSystem;
class Platform;

// Builds the chain (messenger, centre, unit) and applies the resources "StartupLogDir",
// "StartupDebugLevel" and "LogFileRotationScheme", and turns the messenger's system log on.
// True when the unit exists afterwards.
// Called again once the unit exists, it only applies the configuration.
bool setupLogging(Platform& system, LoggingSetup& setup);

// Applies "Quilna.directories.log", "log.time", "log.rotation.scheme", "log.rotation.time",
// "log.rotation.size", "log.global.severity", "log.global.debug-level" and "log.syslog".
// Absent keys reset their settings to the defaults. Nothing happens without a configuration
// reader.
// "log.rotation.keep" and "log.syslog" go to the set-up's messenger.
void applyLogConfiguration(FileSystem& files, LoggingSetup& setup);

// The severity a "log.global.severity" value names (NOTICE ... FATAL, NONE), letter case
// ignored; Severity::Invalid for any other text.
int32_t severityNamed(const std::string& value);

// Applies comma-separated rotation words in order: "none" empties the scheme, "init", "time"
// and "size" add their condition; other words (" size" with its blank too) are ignored.
void applyRotationWords(const std::string& words);

}  // namespace Quilna
