#include "hoardscan/Temperatures.h"

#include <algorithm>
#include <limits>

#include "common/ConfReader.h"
#include "common/DateTime.h"
#include "common/FileOps.h"
#include "common/StringUtils.h"
#include "common/WhitespaceSearcher.h"
#include "hoardscan/MessageNumbers.h"
#include "hoardscan/RulesFiles.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

using namespace StringUtils;

namespace {

constexpr int64_t secondsPerDay = 86400;

int32_t clampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// "name limit": the name is the first word (a quoted stretch stays in it), the limit a number
// of days or "infinity" in any letter case.
TemperatureBand bandOf(const std::string& line, int32_t previousLimit) {
    WhitespaceSearcher searcher;
    uint8_t significant = 0;
    size_t end = searcher.findEnd(line, 0, std::string::npos, significant);
    if (end == StringSearcher::npos) end = line.size();
    TemperatureBand band;
    band.name = line.substr(0, end);
    std::string limit = line.substr(end);
    trimLeft(limit);
    band.maxDays = lowerCopy(limit) == "infinity" ? -1 : toInt32(limit);
    // A band starts the day after the previous band's limit; after "infinity" again at day 0.
    band.minDays = clampToInt32(static_cast<int64_t>(previousLimit) + 1);
    return band;
}

}  // namespace

Temperatures::Temperatures(LoggerUnit& logger, const ConfReader& configuration)
    : logger_(logger), configuration_(configuration) {}

bool Temperatures::loadTemperatures() {
    std::string path;
    if (configuration_.getFileName(settingKey, path) != ConfResult::Found) {
        logger_.fatal(Message::SettingMissing, ParamStream() << settingKey);
        logger_.debug(1, "No temperatures file configured.");
        return false;
    }
    if (!FileOps::exists(path)) {
        logger_.error(Message::SettingUnusable, ParamStream() << settingKey << path);
        if (LoggerUnit::isDebugOn(1)) logger_.debug(1, "Temperaturs file \"%s\" does not exist.", ParamStream() << path);
        return false;
    }
    return loadTemperaturesFile(path);
}

bool Temperatures::loadTemperaturesFile(const std::string& path) {
    std::string text;
    if (!RulesFiles::readRulesFile(path, text)) {
        logger_.fatal(Message::CannotOpenFile, ParamStream() << path);
        return false;
    }
    return loadTemperaturesText(text, path);
}

bool Temperatures::loadTemperaturesText(std::string_view content, const std::string& fileName) {
    RuleText text{content, fileName};
    std::string line;
    if (!RulesFiles::readSignificantLine(text, line)) {
        logger_.warning(Message::EmptyRulesFile, ParamStream() << fileName);
        return true;
    }
    int32_t previousLimit = -1;
    do {
        TemperatureBand band = bandOf(line, previousLimit);
        previousLimit = band.maxDays;
        accessBands_.push_back(band);
        modifyBands_.push_back(std::move(band));
    } while (RulesFiles::readSignificantLine(text, line));
    return true;
}

int32_t Temperatures::ageInDays(int64_t now, int64_t then) {
    // Truncated toward zero; a file from the future (clock skew) is of age 0.
    int64_t age = (now - then) / secondsPerDay;
    return age < 0 ? 0 : clampToInt32(age);
}

void Temperatures::nameOf(const std::vector<TemperatureBand>& bands, int32_t age, std::string& temperature) {
    for (const TemperatureBand& band : bands) {
        if (band.covers(age)) {
            temperature = band.name;
            return;
        }
    }
}

void Temperatures::temperaturesOf(const std::string& name, std::string& access, std::string& modify,
                                  const FileStatus& status) {
    if (!status.exists) {
        if (!accessBands_.empty()) {
            access = accessBands_.front().name;
            modify = modifyBands_.front().name;
        }
        logger_.warning(Message::NoFileInformation, ParamStream() << name);
        return;
    }
    int64_t now = DateTime().value();
    nameOf(accessBands_, ageInDays(now, status.accessed.value()), access);
    nameOf(modifyBands_, ageInDays(now, status.modified.value()), modify);
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Accesstemp=%s, Modifytemp=%s.", ParamStream() << access << modify);
}

}  // namespace Quilna
