#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/NativePlatform.h"
#include "support/posix/ShortHostName.h"

namespace Quilna {
namespace {

struct GroupLine {
    std::string name;
    std::vector<std::string> listed;
};

// /etc/group as written; the database may add entries from other sources.
std::vector<GroupLine> groupFile() {
    std::vector<GroupLine> groups;
    std::ifstream in("/etc/group");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line[0] == '+' || line[0] == '-') continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, ':')) fields.push_back(field);
        if (fields.empty()) continue;
        GroupLine group{fields[0], {}};
        if (fields.size() > 3) {
            std::stringstream members(fields[3]);
            while (std::getline(members, field, ','))
                if (!field.empty()) group.listed.push_back(field);
        }
        groups.push_back(group);
    }
    return groups;
}

TEST(LocalGroups, GroupsComeInTheDatabaseOrder) {
    NativePlatform native;
    std::vector<std::string> names;
    ASSERT_FALSE(native.localGroups(names).failed());
    ASSERT_FALSE(names.empty());
    // Every group of the file, in the file's order, among the groups the database gives.
    auto next = names.begin();
    for (const GroupLine& group : groupFile()) {
        auto found = std::find(next, names.end(), group.name);
        ASSERT_NE(found, names.end()) << group.name;
        next = found + 1;
    }
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(LocalGroups, MembersAreListedMembersThenPrimaryUsers) {
    NativePlatform native;
    const std::string host = TestSupport::upperShortHostName();
    std::vector<std::string> members;
    ASSERT_FALSE(native.localGroupMembers("root", members).failed());
    // root's primary group is root.
    EXPECT_NE(std::find(members.begin(), members.end(), host + "\\root"), members.end());

    for (const GroupLine& group : groupFile()) {
        if (group.listed.empty()) continue;
        ASSERT_FALSE(native.localGroupMembers(group.name, members).failed()) << group.name;
        ASSERT_GE(members.size(), group.listed.size()) << group.name;
        for (size_t i = 0; i < group.listed.size(); ++i) EXPECT_EQ(members[i], host + "\\" + group.listed[i]);
    }

    EXPECT_EQ(native.localGroupMembers("no-such-group-of-quilna", members).kind, ErrorKind::NotFound);
    EXPECT_TRUE(members.empty());
    EXPECT_EQ(native.localGroupMembers(std::string("ro\0ot", 5), members).kind, ErrorKind::NotFound);
}

}  // namespace
}  // namespace Quilna
