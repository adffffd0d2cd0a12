// Any rules file (the first byte chooses which) loads or reports one FATAL; what loaded answers all.
#include "FuzzCheck.h"
#include "hoardscan/facts/FileTypes.h"
#include "hoardscan/rules/RuleDecisions.h"
#include "hoardscan/rules/RulesFiles.h"
#include "hoardscan/tallies/Tallies.h"
#include "hoardscan/facts/Temperatures.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "platform/Platform.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

using namespace Quilna;
using Fuzz::require;

namespace {

// The end of a logger chain, counting FATAL lines.
struct FatalCounter : LoggerAgent {
    std::string location() const override { return "counter"; }
    bool write(const std::string& line) override {
        fatalLines += line.rfind("FATAL", 0) == 0;
        return true;
    }
    int fatalLines = 0;
};

const ScanIdentity identity{"PC42", "OSLO"};

void checkRules(LoggerUnit& logger, const RuleTables& tables) {
    RuleDecisions decisions(platform(), platform().pathSyntax(), logger, identity, tables);
    const std::unique_ptr<PathRules> accounts = decisions.compile(std::string());
    const std::unique_ptr<PathRules> remote = decisions.compile("remote");
    std::string account, site;
    // The questions the walk asks, in its order: a directory's state, then a name on it.
    for (const char* directory : {"/", "/home/ann/deep/", "c:\\users\\ann\\", ""}) {
        PathRules::Probe state;
        accounts->start(state);
        accounts->feed(state, directory);
        accounts->isAccountedDirectory(state);
        if (decisions.accountOf(*accounts, state, accounts->accountEntry(state, "Report.DOC", nullptr), directory,
                                "Report.DOC", account, site))
            require(site == identity.domain, "the site is ours");
        decisions.isExcludedTree(directory, "Sub Dir", "fixed");
        remote->start(state);
        remote->feed(state, directory);
        remote->feedFileName(state, "x.tmp");
        decisions.isIncludedFile(remote->firstFileSystemRule(state), directory, "x.tmp");
    }
}

void checkFileTypes(FileTypes& types, FileStatus& status) {
    types.setScheme(FileTypes::Mapping);
    types.setCollectExtensions(true);
    std::string fileSystem, fileType;
    for (const char* name : {"Report.DOC", "noext", "a.b.JPEG", ".hidden", "trailing."}) {
        types.fileFacts("/data/Bin/", name, "/", status, fileSystem, fileType);
        require(fileSystem == "/" && (!fileType.empty() || types.defaultType().empty()), "every file has a type");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One chain for the run; debug level 5 builds every debug line.
    static SmartPointer<FatalCounter> counter = makeSmart<FatalCounter>();
    static SmartPointer<LoggerCentre> centre =
        makeSmart<LoggerCentre>(17, makeSmart<LogMessenger>(platform(), SmartPointer<LoggerAgent>(counter)));
    static LoggerUnit logger(platform(), centre, 17);
    setDebugLevel(5);
    counter->fatalLines = 0;

    size_t kind = 0;
    const std::string input = Fuzz::chosen(data, size, 4, kind);
    RuleTables tables;
    RulesFiles files(platform(), platform().pathSyntax(), logger, identity, tables);
    Tallies tallies;
    FileTypes types(platform(), logger, tallies);
    Temperatures temperatures(platform(), logger);
    bool loaded = false;
    switch (kind) {
        case 0: loaded = files.loadAccountsText(input, "fuzz.txt"); break;
        case 1: loaded = files.loadFileSystemsText(input, "fuzz.txt"); break;
        case 2: loaded = types.loadFileTypeMappingText(input, "fuzz.txt"); break;
        default: loaded = temperatures.loadTemperaturesText(input, "fuzz.txt"); break;
    }
    require(loaded ? counter->fatalLines == 0 : counter->fatalLines == 1, "a load succeeds or reports one FATAL");
    if (kind < 2) checkRules(logger, tables);
    FileStatus status;
    status.exists = true;
    if (kind == 2) checkFileTypes(types, status);
    for (int32_t seconds : {0, 1000000000, INT32_MAX}) {
        status.accessed = seconds;
        status.modified = INT32_MAX - seconds;
        std::string accessName = "UNKNOWN", modifyName = "UNKNOWN";
        if (kind == 3) temperatures.temperaturesOf("f", accessName, modifyName, status);
    }
    return 0;
}
