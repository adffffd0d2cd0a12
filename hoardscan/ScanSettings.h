#pragma once
// The program's own settings, as init reads them from the configuration file.

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

struct ScanSettings {
    std::string workingDirectory;  // the account record file; absolute, ends in a separator
    std::string tempDirectory;     // the side files; absolute, ends in a separator
    int32_t fileTypeScheme = 0;    // FileTypes::Scheme
    bool extensionLog = false;
    bool inactiveLog = false;
    bool temperatureLog = false;
    std::string temperatureMonitor;            // the access temperature whose bytes are logged per directory
    std::string monitoredBand;                 // its band's name as the temperatures file writes it
    int64_t temperatureMonitorSize = 0;        // bytes; smaller directory totals are not logged
    int32_t bufferSize = 1000;                 // records held before a flush
    std::vector<std::string> userDirectories;  // lower case
};

}  // namespace Quilna
