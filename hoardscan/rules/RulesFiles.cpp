#include "hoardscan/rules/RulesFiles.h"

#include <cstdint>
#include <limits>

#include "files/BasicFile.h"
#include "hoardscan/app/MessageNumbers.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"
#include "text/TextEncoding.h"

namespace Quilna {

using namespace StringUtils;

namespace {

// One line as the file reader gives it: up to the next line feed, carriage returns dropped
// wherever they are. False at the end of the text.
bool readLine(RuleText& text, std::string& line) {
    line.clear();
    if (text.position >= text.text.size()) return false;
    size_t end = text.text.find('\n', text.position);
    if (end == std::string_view::npos) end = text.text.size();
    for (size_t i = text.position; i < end; ++i)
        if (text.text[i] != '\r') line += text.text[i];
    text.position = end + 1;
    return true;
}

// "key = value" split at the first "=", both sides trimmed.
void splitKeyValue(const std::string& line, std::string& key, std::string& value) {
    size_t equals = line.find('=');
    key = trimmed(std::string_view(line).substr(0, equals));
    value = trimmed(std::string_view(line).substr(equals + 1));
}

}  // namespace

RulesFiles::RulesFiles(FileSystem& files, const PathSyntax& syntax, LoggerUnit& logger, const ScanIdentity& identity,
                       RuleTables& tables)
    : files_(files), syntax_(syntax), logger_(logger), identity_(identity), tables_(tables) {}

bool RulesFiles::readSignificantLine(RuleText& text, std::string& line) {
    while (readLine(text, line)) {
        if (text.lineNumber < std::numeric_limits<int32_t>::max()) ++text.lineNumber;
        trim(line);
        if (line.empty() || line[0] == '#') continue;
        line.erase(line.find('#') == std::string::npos ? line.size() : line.find('#'));
        trimRight(line);
        return true;
    }
    line.clear();
    return false;
}

bool RulesFiles::readRulesFile(FileSystem& files, LoggerUnit& logger, const std::string& path, std::string& text) {
    text.clear();
    BasicFile file(files);
    const bool read =
        file.open(path, BasicFile::Read) && (file.atEnd() || file.read(text, std::numeric_limits<uint64_t>::max()) ||
                                             file.error() == BasicFile::AlreadyAtEnd);
    if (!read) {
        logger.fatal(Message::CannotOpenFile, ParamStream() << path);
        return false;
    }
    TextEncoding::decodeFileText(text);
    return true;
}

// ---- file systems file ----

bool RulesFiles::loadFileSystems(const std::string& path) {
    std::string text;
    return readRulesFile(files_, logger_, path, text) && loadFileSystemsText(text, path);
}

bool RulesFiles::loadFileSystemsText(std::string_view content, const std::string& fileName) {
    RuleText text{content, fileName};
    tables_.fileSystemsFile = fileName;
    Part part = Part::None;
    std::string line;
    while (readSignificantLine(text, line))
        if (!fileSystemLine(text, line, part)) return false;
    if (LoggerUnit::isDebugOn(2))
        logger_.debug(2, "Got %i file system(s) to investigate and %i to account.",
                      ParamStream() << static_cast<long long>(tables_.drives.size())
                                    << static_cast<long long>(tables_.fileSystems.size()));
    return true;
}

bool RulesFiles::fileSystemLine(RuleText& text, std::string& line, Part& part) {
    if (line.size() >= 6 && startsWith(line, "@part")) {
        if (line == "@part1") {
            part = Part::Drives;
        } else if (line == "@part2") {
            part = Part::Rules;
        } else {
            reportUnexpected(text, line);
            return false;
        }
        return true;
    }
    if (part == Part::None) {
        logger_.fatal(Message::ExpectedLine, ParamStream() << "@part1" << line << text.lineNumber << text.fileName);
        return false;
    }
    std::string host = splitFirst(line, ':');
    toUpper(trim(host));
    if (part == Part::Drives) {
        if (host == identity_.hostName) addDrive(line);
        return true;
    }
    return addFileSystemRule(text, std::move(host), line);
}

void RulesFiles::addDrive(std::string& rest) {
    trim(rest);
    // Lower-cased only where paths compare without case: elsewhere it would name another
    // directory.
    if (syntax_.caseInsensitive) toLower(rest);
    tables_.drives.push_back(std::move(rest));
}

// The rest of "host:fileSystem:path keyword", after the host; a path holding blanks is
// written in double quotes directly after the second ":".
bool RulesFiles::addFileSystemRule(const RuleText& text, std::string host, std::string& rest) {
    FileSystemRule rule;
    rule.line = text.lineNumber;
    rule.host = std::move(host);
    rule.fileSystem = splitFirst(rest, ':');
    std::string path;
    if (!rest.empty() && rest[0] == '"') {
        size_t close = rest.find('"', 1);
        path = rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        rest.erase(0, close == std::string::npos ? rest.size() : close + 1);
    } else {
        size_t blank = 0;
        while (blank < rest.size() && !isBlank(rest[blank])) ++blank;
        path = rest.substr(0, blank);
        rest.erase(0, blank);
    }
    toLower(trim(rule.fileSystem));
    rule.path = std::move(toLower(trim(path)));
    const std::string& keyword = trim(rest);
    if (keyword == "include" || keyword == "1") {
        rule.include = true;
    } else if (keyword == "exclude_all") {
        rule.excludeAll = true;
    } else if (keyword != "exclude" && keyword != "0") {
        logger_.fatal(Message::BadRuleKeyword, ParamStream() << text.lineNumber << text.fileName);
        return false;
    }
    tables_.fileSystems.push_back(std::move(rule));
    return true;
}

// ---- accounts file ----

bool RulesFiles::loadAccounts(const std::string& path) {
    std::string text;
    return readRulesFile(files_, logger_, path, text) && loadAccountsText(text, path);
}

bool RulesFiles::loadAccountsText(std::string_view content, const std::string& fileName) {
    RuleText text{content, fileName};
    tables_.accountsFile = fileName;
    std::string line;
    // Every line at the top opens a site block (usually "{"); its text is not looked at.
    while (readSignificantLine(text, line)) {
        SiteRule site;
        if (!readSite(text, site)) return false;
        tables_.sites.push_back(std::move(site));
    }
    return true;
}

bool RulesFiles::nextBlockLine(RuleText& text, std::string& line, bool& closed) {
    closed = false;
    while (readSignificantLine(text, line)) {
        if (line == "{") continue;
        closed = line == "}";
        return true;
    }
    logger_.fatal(Message::EndInsideBlock, ParamStream() << text.lineNumber << text.fileName);
    return false;
}

bool RulesFiles::readSite(RuleText& text, SiteRule& site) {
    std::string line, key, value;
    for (bool closed = false;;) {
        if (!nextBlockLine(text, line, closed)) return false;
        if (closed) return true;
        if (line.find('=') == std::string::npos) {
            if (line != "map") {
                reportUnexpected(text, line);
                return false;
            }
            if (!readBlockList(text, site.hosts, &RulesFiles::readHost)) return false;
            continue;
        }
        splitKeyValue(line, key, value);
        if (key == "site") {
            if (!value.empty()) site.name = std::move(value);
        } else if (key == "exclude") {
            if (!value.empty()) site.excludes.push_back(std::move(value));
        } else {
            reportUnexpected(text, line);
            return false;
        }
    }
}

template <typename Item>
bool RulesFiles::readBlockList(RuleText& text, std::vector<Item>& items,
                               bool (RulesFiles::*readItem)(RuleText&, Item&)) {
    std::string line;
    for (bool closed = false;;) {
        if (!nextBlockLine(text, line, closed)) return false;
        if (closed) return true;
        if (line.find('=') != std::string::npos) {
            reportUnexpected(text, line);
            return false;
        }
        Item item;
        if (!(this->*readItem)(text, item)) return false;
        items.push_back(std::move(item));
    }
}

bool RulesFiles::readHost(RuleText& text, HostRule& host) {
    std::string line, key, value;
    for (bool closed = false;;) {
        if (!nextBlockLine(text, line, closed)) return false;
        if (closed) return true;
        if (line.find('=') == std::string::npos) {
            if (!readBlockList(text, host.entries, &RulesFiles::readEntry)) return false;
            continue;
        }
        splitKeyValue(line, key, value);
        if (key != "host") {
            reportUnexpected(text, line);
            return false;
        }
        if (!value.empty()) host.name = std::move(toUpper(value));
    }
}

bool RulesFiles::readEntry(RuleText& text, AccountEntry& entry) {
    std::string line, key, value;
    for (bool closed = false;;) {
        if (!nextBlockLine(text, line, closed)) return false;
        if (closed) return true;
        bool known = line.find('=') != std::string::npos;
        if (known) {
            splitKeyValue(line, key, value);
            if (key == "dir") {
                entry.dir = std::move(toLower(value));
                entry.line = text.lineNumber;
            } else if (key == "account") {
                entry.account = std::move(value);
            } else {
                known = false;
            }
        }
        if (!known) {
            reportUnexpected(text, line);
            return false;
        }
    }
}

void RulesFiles::reportUnexpected(const RuleText& text, const std::string& line) {
    logger_.fatal(Message::UnexpectedLine, ParamStream() << line << text.lineNumber << text.fileName);
}

}  // namespace Quilna
