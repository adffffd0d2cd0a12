// Any file systems file ends in loaded rules or a reported error; the loaded rules are in the
// case the decisions compare them in, and every decision over them terminates.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzRules.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"

using namespace Quilna;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRules::Chain& log = FuzzRules::chain();
    LoggerUnit& logger = log.unit();
    ScanIdentity identity{"PC42", "OSLO"};
    RuleTables tables;
    RulesFiles files(logger, identity, tables);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    bool loaded = files.loadFileSystemsText(text, "fuzz.txt");
    FuzzRules::requireLoadOutcome(loaded, log);

    for (const FileSystemRule& rule : tables.fileSystems) {
        FuzzRules::require(!FuzzRules::hasLower(rule.host));
        FuzzRules::require(!FuzzRules::hasUpper(rule.fileSystem) && !FuzzRules::hasUpper(rule.path));
        FuzzRules::require(!(rule.include && rule.excludeAll));
    }
    RuleDecisions decisions(logger, identity, tables);
    for (const char* directory : {"/", "/home/ann/", "c:\\users\\ann\\", ""}) {
        decisions.isExcludedTree(directory, "Sub Dir", "fixed");
        decisions.isExcludedTree(directory, "/abs", "");
        decisions.isIncludedFile(directory, "Report.DOC", "fixed");
        decisions.isIncludedFile(directory, "x.tmp", "remote");
    }
    return 0;
}
