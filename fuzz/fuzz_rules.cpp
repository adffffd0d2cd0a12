// Any rules file (the first byte chooses accounts, file systems, file types or temperatures)
// ends in loaded rules or one reported FATAL, and what was loaded serves every question.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "config/ConfReader.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"
#include "hoardscan/Tallies.h"
#include "hoardscan/Temperatures.h"
#include "logger/ConfigurationLog.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"

using namespace Quilna;
using Fuzz::require;

namespace {

// The end of a real logger chain, counting the FATAL lines instead of writing them.
class FatalCounter : public LoggerAgent {
public:
    std::string location() const override { return "counter"; }
    bool write(const std::string& line) override {
        fatalLines += line.rfind("FATAL", 0) == 0;
        return true;
    }
    int fatalLines = 0;
};

bool hasCase(std::string_view text, char first, char last) {
    for (char c : text)
        if (c >= first && c <= last) return true;
    return false;
}
bool hasUpper(std::string_view text) { return hasCase(text, 'A', 'Z'); }
bool hasLower(std::string_view text) { return hasCase(text, 'a', 'z'); }

const ScanIdentity identity{"PC42", "OSLO"};

// The rules in the case the decisions compare them in; every decision over them terminates.
void checkRules(LoggerUnit& logger, const RuleTables& tables) {
    for (const SiteRule& site : tables.sites)
        for (const HostRule& host : site.hosts) {
            require(!hasLower(host.name), "host names in capitals");
            for (const AccountEntry& entry : host.entries) require(!hasUpper(entry.dir), "account directories in lower case");
        }
    for (const FileSystemRule& rule : tables.fileSystems) {
        require(!hasLower(rule.host) && !hasUpper(rule.fileSystem) && !hasUpper(rule.path), "rules in their case");
        require(!(rule.include && rule.excludeAll), "a rule includes or excludes");
    }
    RuleDecisions decisions(logger, identity, tables);
    std::string account, site;
    for (const char* directory : {"/", "/home/ann/deep/", "c:\\users\\ann\\", "\\\\srv\\share\\", ""}) {
        decisions.isAccountedDirectory(directory);
        if (decisions.accountOf(directory, "Report.DOC", account, site)) require(site == identity.domain, "the site is ours");
        decisions.accountOf(directory, "", account, site);
        decisions.isExcludedTree(directory, "Sub Dir", "fixed");
        decisions.isExcludedTree(directory, "/abs", "");
        decisions.isIncludedFile(directory, "Report.DOC", "fixed");
        decisions.isIncludedFile(directory, "x.tmp", "remote");
    }
}

void checkFileTypes(FileTypes& types, const Tallies& tallies) {
    types.setScheme(FileTypes::Mapping);
    types.setCollectExtensions(true);
    FileStatus status;
    std::string fileSystem, fileType;
    for (uint16_t attributes : {0, 0x10, 0x80 | 0x400, 0xFFFF}) {
        status.exists = attributes != 0xFFFF;
        status.attributes = attributes;
        for (const char* name : {"Report.DOC", "photo.png", "noext", "a.b.JPEG", ".hidden", "trailing."}) {
            types.fileFacts("/data/Bin/", name, "/", status, fileSystem, fileType);
            require(fileSystem == "/" && (!fileType.empty() || types.defaultType().empty()), "every file has a type");
        }
    }
    for (const std::string& extension : tallies.extensionLines()) require(!hasUpper(extension), "extensions in lower case");
}

// The bands follow each other and every age finds its temperature without overflow.
void checkTemperatures(Temperatures& temperatures) {
    const auto& access = temperatures.accessBands();
    const auto& modify = temperatures.modifyBands();
    require(access.size() == modify.size(), "access and modification bands pair up");
    int64_t previous = -1;
    for (size_t i = 0; i < access.size(); ++i) {
        require(access[i].name == modify[i].name && !access[i].name.empty(), "bands are named");
        require(access[i].minDays == (previous + 1 > INT32_MAX ? INT32_MAX : previous + 1), "bands follow each other");
        previous = access[i].maxDays;
    }
    FileStatus status;
    status.exists = true;
    for (int32_t seconds : {0, 1000000000, INT32_MAX}) {
        status.accessed = DateTime(seconds);
        status.modified = DateTime(INT32_MAX - seconds);
        std::string accessName = "UNKNOWN", modifyName = "UNKNOWN";
        temperatures.temperaturesOf("f", accessName, modifyName, status);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One chain and reader for the whole run, at debug level 5 so that every debug line is built.
    static SmartPointer<FatalCounter> counter = makeSmart<FatalCounter>();
    static SmartPointer<LoggerCentre> centre =
        makeSmart<LoggerCentre>(17, makeSmart<LogMessenger>(SmartPointer<LoggerAgent>(counter)));
    static LoggerUnit logger(centre, 17);
    static ConfReader reader{makeSmart<ConfigurationLog>(centre)};
    setDebugLevel(5);
    counter->fatalLines = 0;

    size_t kind = 0;
    const std::string input = Fuzz::chosen(data, size, 4, kind);
    const std::string_view text(input);
    RuleTables tables;
    RulesFiles files(logger, identity, tables);
    Tallies tallies;
    FileTypes types(logger, reader, tallies);
    Temperatures temperatures(logger, reader);
    bool loaded = false;
    switch (kind) {
        case 0: loaded = files.loadAccountsText(text, "fuzz.txt"); break;
        case 1: loaded = files.loadFileSystemsText(text, "fuzz.txt"); break;
        case 2: loaded = types.loadFileTypeMappingText(text, "fuzz.txt"); break;
        default: loaded = temperatures.loadTemperaturesText(text, "fuzz.txt"); break;
    }
    require(loaded ? counter->fatalLines == 0 : counter->fatalLines == 1, "a load succeeds or reports one FATAL");
    if (kind < 2) checkRules(logger, tables);
    if (kind == 2) checkFileTypes(types, tallies);
    if (kind == 3) checkTemperatures(temperatures);
    return 0;
}
