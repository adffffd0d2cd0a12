#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "common/ConfReader.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/Owners.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/RulesFiles.h"
#include "hoardscan/Tallies.h"
#include "hoardscan/Temperatures.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

// The walk reads a file's status once and hands it to every step: none of them asks again.
TEST(PerFileFacts, TheWalksOneStatusServesEveryStep) {
    Owners::forgetGroupTables();
    FakePlatform fake;
    fake.syntax = FakePlatform::windowsSyntax();
    fake.clock = 1700000000;
    fake.groups = {SystemError{}, {"Users"}};
    fake.members["Users"] = {SystemError{}, {"OFFICE\\ann"}};
    fake.owners["c:\\data\\a.doc"] = {"OFFICE", "ann"};

    RulesTest::TestLog log;
    ScanIdentity identity{"PC42", "OSLO"};
    RuleTables tables;
    RulesFiles files(log.unit(), identity, tables);
    ASSERT_TRUE(files.loadFileSystemsText("@part2\n*:*:*.tmp exclude\n", "fs.txt"));
    ASSERT_TRUE(files.loadAccountsText("{\nsite=*\nmap\nhosts\nhost=*\nentries\nentry\ndir=*\naccount=x\n}\n}\n}\n}\n}\n",
                                       "acc.txt"));
    RuleDecisions decisions(log.unit(), identity, tables);
    ConfReader reader(log.centre());
    Tallies tallies;
    FileTypes types(log.unit(), reader, tallies);
    ASSERT_TRUE(types.loadFileTypeMappingText("secret\n{\n%hidden\n}\ndocs\n{\ndoc\n}\n", "types.txt"));
    types.setScheme(FileTypes::Mapping);
    Temperatures temperatures(log.unit(), reader);
    ASSERT_TRUE(temperatures.loadTemperaturesText("hot 7\ncold infinity\n", "t.txt"));
    Owners owners;

    FileStatus status;
    status.exists = true;
    status.attributes = FileAttribute::Hidden;
    status.accessed = DateTime(1700000000 - 30 * 86400);
    status.modified = DateTime(1700000000);

    int before = fake.fileInfoCalls;
    std::string account, site, fileSystem, fileType, user = "UNDEF", access = "UNKNOWN", modify = "UNKNOWN";
    std::vector<std::string> groups;
    for (int file = 0; file < 3; ++file) {
        ASSERT_TRUE(decisions.isIncludedFile("c:\\data\\", "a.doc", "fixed"));
        ASSERT_TRUE(decisions.accountOf("c:\\data\\", "a.doc", account, site));
        types.fileFacts("c:\\data\\", "a.doc", "C:\\", status, fileSystem, fileType);
        owners.ownerOf("c:\\data\\", "a.doc", status, user, groups);
        temperatures.temperaturesOf("a.doc", access, modify, status);
    }
    EXPECT_EQ(fake.fileInfoCalls, before);
    EXPECT_EQ(fileType, "secret");
    EXPECT_EQ(user, "\\\\OFFICE\\ann");
    EXPECT_EQ(groups, (std::vector<std::string>{"Users"}));
    EXPECT_EQ(access + "/" + modify, "cold/hot");
    Owners::forgetGroupTables();
}

}  // namespace
}  // namespace Quilna
