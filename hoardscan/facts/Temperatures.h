#pragma once
// Access and modify temperatures: how long ago a file was last read and last written, named by
// the bands of the temperatures file ("hot 7", "warm 30", "frozen infinity", ...).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileStatus.h"
#include "platform/FileSystem.h"
#include "hoardscan/facts/TemperatureBand.h"

namespace Quilna {

class LoggerUnit;

class Temperatures {
public:
    Temperatures(FileSystem& files, LoggerUnit& logger) : files_(files), logger_(logger) {}

    // Loads the temperatures file; true also for a file without bands. The same for a text
    // already read (fileName names it in messages).
    bool loadTemperaturesFile(const std::string& path);
    bool loadTemperaturesText(std::string_view text, const std::string& fileName);

    // Access and modify temperatures (in/out: the walk passes "UNKNOWN"; an age that no band
    // covers keeps it) from the status the walk read once for the file; a status that was not
    // found (exists false) gives both the first band's name.
    void temperaturesOf(const std::string& name, std::string& access, std::string& modify, const FileStatus& status);

    // The band of that name, compared without case; null when there is none.
    const TemperatureBand* bandNamed(const std::string& name) const;

    const std::string& fileName() const { return fileName_; }
    const std::vector<TemperatureBand>& accessBands() const { return accessBands_; }
    const std::vector<TemperatureBand>& modifyBands() const { return modifyBands_; }

private:
    static int32_t ageInDays(int64_t now, int64_t then);
    static void nameOf(const std::vector<TemperatureBand>& bands, int32_t age, std::string& temperature);

    FileSystem& files_;  // the temperatures file is read through it
    LoggerUnit& logger_;
    // The same bands in both lists, kept apart as the two temperatures are.
    std::vector<TemperatureBand> accessBands_;
    std::vector<TemperatureBand> modifyBands_;
    std::string fileName_;
};

}  // namespace Quilna
