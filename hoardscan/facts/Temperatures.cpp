#include "hoardscan/facts/Temperatures.h"

#include <algorithm>
#include <limits>

#include "config/WhitespaceSearcher.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/rules/RulesFiles.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"
#include "time/DateTime.h"

namespace Quilna {

using namespace StringUtils;

namespace {

constexpr int64_t secondsPerDay = 86400;

int32_t clampToInt32(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The limit of a band: -1 for "infinity" in any letter case, else its leading number of days
// (letters after it are left aside, with a note). False when it has no leading number, or one
// too long to be a number of days.
bool limitOf(const std::string& text, int32_t& limit, std::string& note) {
    if (lowerCopy(text) == "infinity") {
        limit = -1;
        return true;
    }
    const size_t digits = std::min(text.size(), text.find_first_not_of("0123456789"));
    if (digits == 0 || digits > 9) return false;
    limit = toInt32(text.substr(0, digits));
    if (digits < text.size()) note = "taken as " + std::to_string(limit) + " days, what follows the number left aside";
    return true;
}

// "name limit": the name is the first word (a quoted stretch stays in it), the limit a number
// of days above the previous band's, or "infinity". False with what was expected instead; a
// note for what is taken as it stands but is likely a mistake.
bool bandOf(const std::string& line, const TemperatureBand* previous, TemperatureBand& band, std::string& expected,
            std::string& found, std::string& note) {
    WhitespaceSearcher searcher;
    uint8_t significant = 0;
    size_t end = searcher.findEnd(line, 0, std::string::npos, significant);
    if (end == StringSearcher::npos) end = line.size();
    band.name = line.substr(0, end);
    found = line.substr(end);
    trim(found);
    if (!limitOf(found, band.maxDays, note)) {
        expected = "a number of days or infinity";
        return false;
    }
    const int32_t previousLimit = previous ? previous->maxDays : -1;
    if (previous && previousLimit == -1) {
        // The band before covers every age already.
        note = "it follows a band without limit, starts again at day 0 and is never chosen";
    } else if (band.maxDays != -1 && band.maxDays <= previousLimit) {
        expected = "more than " + std::to_string(previousLimit) + " days";
        return false;
    }
    // A band starts the day after the previous band's limit.
    band.minDays = previousLimit + 1;
    return true;
}

}  // namespace

bool Temperatures::loadTemperaturesFile(const std::string& path) {
    std::string text;
    return RulesFiles::readRulesFile(files_, logger_, path, text) && loadTemperaturesText(text, path);
}

bool Temperatures::loadTemperaturesText(std::string_view content, const std::string& fileName) {
    RuleText text{content, fileName};
    fileName_ = fileName;
    std::string line;
    if (!RulesFiles::readSignificantLine(text, line)) {
        logger_.warning(Message::EmptyRulesFile, ParamStream() << fileName);
        return true;
    }
    // The bands must follow each other: a band out of order, or one whose limit is no number,
    // would give files a wrong temperature without a word.
    do {
        TemperatureBand band;
        std::string expected, found, note;
        if (!bandOf(line, accessBands_.empty() ? nullptr : &accessBands_.back(), band, expected, found, note)) {
            logger_.fatal(Message::ExpectedLine, ParamStream() << expected << found << text.lineNumber << fileName);
            accessBands_.clear();
            modifyBands_.clear();
            return false;
        }
        if (!note.empty())
            logger_.warning(Message::RulesLineTaken, ParamStream() << text.lineNumber << fileName << line << note);
        band.line = text.lineNumber;
        accessBands_.push_back(band);
        modifyBands_.push_back(std::move(band));
    } while (RulesFiles::readSignificantLine(text, line));
    return true;
}

const TemperatureBand* Temperatures::bandNamed(const std::string& name) const {
    const std::string wanted = lowerCopy(name);
    for (const TemperatureBand& band : accessBands_)
        if (lowerCopy(band.name) == wanted) return &band;
    return nullptr;
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
    nameOf(accessBands_, ageInDays(now, status.accessed), access);
    nameOf(modifyBands_, ageInDays(now, status.modified), modify);
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Accesstemp=%s, Modifytemp=%s.", ParamStream() << access << modify);
}

}  // namespace Quilna
