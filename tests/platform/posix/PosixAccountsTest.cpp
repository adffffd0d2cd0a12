// The POSIX accounts: owners by the password database, with the upper-case short host name;
// local groups from the group database, checked against /etc/group as written (the database
// may add entries from other sources).
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/NativePlatform.h"
#include "platform/Platform.h"
#include "support/TestDirectory.h"
#include "support/posix/ShortHostName.h"

namespace Quilna {
namespace {

TEST(PosixOwner, TheOwnerOfALinkIsItsOwnAndAnIdWithoutEntryHasNoName) {
    TestSupport::TestDirectory dir;
    const std::string path = dir.write("owned", "x");
    ASSERT_EQ(::symlink(path.c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::lchown(dir.child("link").c_str(), 65534, 65534), 0) << "the tests run as root";
    std::string domain, account;
    ASSERT_TRUE(platform().fileOwner(dir.child("link"), "", domain, account));
    EXPECT_EQ(account, "nobody");
    ASSERT_TRUE(platform().ownerById(0, domain, account));
    EXPECT_EQ(account, "root");
    EXPECT_EQ(domain, TestSupport::upperShortHostName());

    ASSERT_EQ(::chown(path.c_str(), 54321, 54321), 0);
    account = "kept";
    EXPECT_FALSE(platform().fileOwner(path, "", domain, account));
    EXPECT_FALSE(platform().ownerById(54321, domain, account));
    EXPECT_FALSE(platform().fileOwner(dir.child("missing"), "", domain, account));
    EXPECT_FALSE(platform().fileOwner("", "", domain, account));
    EXPECT_EQ(account, "kept");
}

// Each group of /etc/group with the members listed on its line.
std::vector<std::pair<std::string, std::vector<std::string>>> groupFile() {
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    std::ifstream in("/etc/group");
    static const std::regex entry("([^-+#:][^:]*):[^:]*:[^:]*:(.*)");
    std::smatch fields;
    for (std::string line; std::getline(in, line);) {
        if (!std::regex_match(line, fields, entry)) continue;
        std::vector<std::string> listed;
        std::stringstream members(fields[2]);
        for (std::string member; std::getline(members, member, ',');)
            if (!member.empty()) listed.push_back(member);
        groups.emplace_back(fields[1], listed);
    }
    return groups;
}

TEST(LocalGroups, GroupsInTheDatabaseOrderAndMembersListedFirstThenPrimaryUsers) {
    NativePlatform native;
    std::vector<std::string> names;
    ASSERT_FALSE(native.localGroups(names).failed());
    auto next = names.begin();
    for (const auto& [group, listed] : groupFile()) {
        auto found = std::find(next, names.end(), group);
        ASSERT_NE(found, names.end()) << group << " in the order of the file";
        next = found + 1;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "no group twice";

    const std::string host = TestSupport::upperShortHostName();
    std::vector<std::string> members;
    ASSERT_FALSE(native.localGroupMembers("root", members).failed());
    EXPECT_NE(std::find(members.begin(), members.end(), host + "\\root"), members.end()) << "root's primary group";
    for (const auto& [group, listed] : groupFile()) {
        ASSERT_FALSE(native.localGroupMembers(group, members).failed()) << group;
        ASSERT_GE(members.size(), listed.size()) << group;
        for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(members[i], host + "\\" + listed[i]);
    }
    EXPECT_EQ(native.localGroupMembers("no-such-group-of-quilna", members).kind, ErrorKind::NotFound);
    EXPECT_TRUE(members.empty());
    EXPECT_EQ(native.localGroupMembers(std::string("ro\0ot", 5), members).kind, ErrorKind::NotFound);
}

}  // namespace
}  // namespace Quilna
