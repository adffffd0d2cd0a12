#include <gtest/gtest.h>

#include <tuple>

#include "RulesTestSupport.h"
#include "files/FileOps.h"
#include "hoardscan/Owners.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using Groups = std::vector<std::string>;

class ServerProbe : public FakePlatform {
public:
    bool fileOwner(const std::string& path, const std::string& server, std::string& domain,
                   std::string& account) override {
        servers.push_back(server);
        return FakePlatform::fileOwner(path, server, domain, account);
    }
    std::vector<std::string> servers;
};

// A Windows computer with three local groups; the group tables start empty for each test.
class OwnersTest : public ::testing::Test {
protected:
    OwnersTest() {
        Owners::forgetGroupTables();
        fake.syntax = FakePlatform::windowsSyntax();
        fake.groups = {SystemError{}, {"Administrators", "Users", "Guests", "Leftovers"}};
        fake.members["Administrators"] = {SystemError{}, {"PC42\\Administrator", "OFFICE\\ann"}};
        fake.members["Users"] = {SystemError{}, {"OFFICE\\Ann", "OFFICE\\bob"}};
        fake.members["Guests"] = {SystemError{}, {"PC42\\Guest"}};
        fake.members["Leftovers"] = {SystemError{}, {"PC42\\undef"}};
        fake.owners["c:\\data\\report.doc"] = {"OFFICE", "ann"};
        fake.owners["c:\\data\\setup.log"] = {"BUILTIN", "Administrators"};
        fake.owners["c:\\data\\notes.txt"] = {"OFFICE", "carol"};
        status.exists = true;
    }
    ~OwnersTest() override { Owners::forgetGroupTables(); }

    std::string ownerOf(const std::string& name, Groups& groups, const std::string& directory = "c:\\data\\") {
        std::string user = "UNDEF";
        owners.ownerOf(directory, name, status, user, groups);
        return user;
    }

    ServerProbe fake;
    Owners owners;
    FileStatus status;
};

// The owner and the local groups holding it: members whose name ends in the user, without case.
TEST_F(OwnersTest, OwnerAndTheGroupsHoldingIt) {
    const std::vector<std::tuple<std::string, std::string, Groups>> cases = {
        {"report.doc", "\\\\OFFICE\\ann", {"Administrators", "Users"}},
        {"setup.log", "Administrator", {"Administrators"}},  // the Administrators group is the Administrator
        {"no-such-file.doc", "UNDEF", {"Leftovers"}},        // members ending in "undef"
        {"notes.txt", "\\\\OFFICE\\carol", {}},
    };
    for (const auto& [file, owner, expected] : cases) {
        Groups groups{"stale"};
        EXPECT_EQ(ownerOf(file, groups), owner);
        EXPECT_EQ(groups, expected) << file;
    }
    // Owners of network files are asked of their server.
    fake.servers.clear();
    Groups groups;
    for (const char* directory : {"\\\\files\\home\\ann\\", "\\\\x", "\\\\srv"}) ownerOf("a.doc", groups, directory);
    EXPECT_EQ(fake.servers, (std::vector<std::string>{"files", "", "srv"}));
    EXPECT_EQ(owners.localGroupsOf("\\\\office\\bob"), (Groups{"Users"}));
    fake.user = "bob";  // an empty user is the one running the program
    EXPECT_EQ(owners.localGroupsOf(""), (Groups{"Users"}));
    // Asked ahead by a helper of the walk: taken as it was found, the file not asked again.
    status.ownerLookup = OwnerLookup::Found;
    status.owner = "\\\\OFFICE\\bob";
    EXPECT_EQ(ownerOf("report.doc", groups), "\\\\OFFICE\\bob");
    EXPECT_EQ(groups, (Groups{"Users"}));
    status.ownerLookup = OwnerLookup::NotFound;
    EXPECT_EQ(ownerOf("report.doc", groups), "UNDEF");
}

TEST_F(OwnersTest, GroupTablesAreReadOncePerRun) {
    Groups groups;
    for (int file = 0; file < 50; ++file) {
        ownerOf("report.doc", groups);
        ownerOf("notes.txt", groups);
    }
    Owners another;  // the tables are process-wide
    EXPECT_EQ(another.localGroupsOf("bob"), (Groups{"Users"}));
    EXPECT_EQ(fake.localGroupsCalls, 1);
    for (const char* group : {"Administrators", "Users", "Guests", "Leftovers"})
        EXPECT_EQ(fake.memberCalls[group], 1) << group;
}

TEST_F(OwnersTest, FailedGroupListsAreAskedAgain) {
    fake.groups = {SystemError{}, {"Users", "Denied", "Partial"}};
    fake.members["Denied"] = {SystemError{ErrorKind::AccessDenied, 5}, {"OFFICE\\ann"}};
    fake.members["Partial"] = {SystemError{ErrorKind::Other, 234}, {"OFFICE\\ann"}};
    EXPECT_EQ(owners.localGroupsOf("ann"), (Groups{"Users"}));
    EXPECT_EQ(owners.localGroupsOf("ann"), (Groups{"Users"}));
    EXPECT_EQ(fake.memberCalls["Users"], 1);
    for (const char* group : {"Denied", "Partial"}) EXPECT_EQ(fake.memberCalls[group], 2) << group;
    // A failed enumeration of the groups is tried again too.
    Owners::forgetGroupTables();
    fake.localGroupsCalls = 0;
    fake.groups = {SystemError{ErrorKind::Other, 234}, {"Users"}};
    EXPECT_TRUE(owners.localGroupsOf("ann").empty());
    fake.groups = {SystemError{}, {"Users"}};
    EXPECT_EQ(owners.localGroupsOf("ann"), (Groups{"Users"}));
    EXPECT_EQ(fake.localGroupsCalls, 2);
}

// The status's owner id names the user (the end-to-end scans see it); one that no account has
// leaves the user undefined, the file not asked.
TEST(Owners, AnOwnerIdThatNoAccountHasLeavesTheUserUndefined) {
    TestSupport::TestDirectory dir;
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus(dir.write("mine.txt", "x"), status));
    if (!status.hasOwnerId) GTEST_SKIP() << "the platform gives no owner id";
    status.ownerId = 4123456789u;
    Owners::forgetGroupTables();
    Owners owners;
    std::string user = "UNDEF";
    std::vector<std::string> groups;
    owners.ownerOf(dir.child(""), "mine.txt", status, user, groups);
    EXPECT_EQ(user, "UNDEF");
    Owners::forgetGroupTables();
}

}  // namespace
}  // namespace Quilna
