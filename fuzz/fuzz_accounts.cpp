// Any accounts file ends in loaded rules or a reported error; the decisions and placeholder
// expansions over the loaded rules terminate and never read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
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
    bool loaded = files.loadAccountsText(text, "fuzz.txt");
    FuzzRules::requireLoadOutcome(loaded, log);

    for (const SiteRule& site : tables.sites)
        for (const HostRule& host : site.hosts) {
            FuzzRules::require(!FuzzRules::hasLower(host.name));
            for (const AccountEntry& entry : host.entries) FuzzRules::require(!FuzzRules::hasUpper(entry.dir));
        }
    RuleDecisions decisions(logger, identity, tables);
    std::string account, site;
    for (const char* directory : {"/", "/home/ann/deep/", "c:\\users\\ann\\", "\\\\srv\\share\\", ""}) {
        decisions.isAccountedDirectory(directory);
        if (decisions.accountOf(directory, "Report.DOC", account, site)) FuzzRules::require(site == identity.domain);
        decisions.accountOf(directory, "", account, site);
    }
    return 0;
}
