// The native backend's files slice against a real temporary directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileAttribute.h"
#include "platform/Platform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;
namespace fs = std::filesystem;

// Each entry as "name/" for a directory, "name" for a file, in the order listed.
std::vector<std::string> namesOf(const std::vector<DirEntry>& entries) {
    std::vector<std::string> names;
    for (const DirEntry& entry : entries) names.push_back(entry.name + (entry.isFile ? "" : "/"));
    return names;
}

// A directory held open lists its entries one at a time (a listing stopped goes on where it
// stopped), answers for them by name, and leads to its subdirectories and its parent, each told
// apart by identity.
TEST(NativeFiles, AnOpenDirectoryListsAnswersAndLeadsUpAndDown) {
    TestDirectory dir;
    for (const char* name : {"a.txt", "b.txt", "c.log"}) dir.write(name, name);
    fs::create_directory(dir.path() / "sub");
    fs::create_directory(dir.path() / "other");
    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = platform().openDirectory(dir.text(), resolved, error);
    ASSERT_TRUE(top) << platform().errorText(error.code);
    ASSERT_EQ(resolved.back(), platform().pathSyntax().separator);
    EXPECT_TRUE(fs::equivalent(resolved.substr(0, resolved.size() - 1), dir.path())) << resolved;

    std::vector<DirEntry> listed, visited;
    ASSERT_TRUE(platform().listDirectory(dir.text(), "*", listed));
    FileInfo info;
    int calls = 0;
    // Two entries, then the rest.
    ASSERT_EQ(top->readEntries([&](const DirEntry& entry) {
        visited.push_back(entry);
        return ++calls < 2;
    }),
              OpenDirectory::Listing::More);
    ASSERT_EQ(top->readEntries([&](const DirEntry& entry) {
        visited.push_back(entry);
        if (entry.name == "c.log") {
            EXPECT_TRUE(top->entryInfo(entry.name, info));
        }
        return true;
    }),
              OpenDirectory::Listing::End);
    EXPECT_EQ(top->readEntries([](const DirEntry&) { return true; }), OpenDirectory::Listing::End);
    EXPECT_EQ(namesOf(visited), namesOf(listed));
    EXPECT_EQ(info.size, 5u);
    EXPECT_TRUE(info.fullPath.empty());
    EXPECT_FALSE(top->entryInfo("absent.txt", info));

    std::unique_ptr<OpenDirectory> sub = top->openSubdirectory("sub", error);
    std::unique_ptr<OpenDirectory> other = top->openSubdirectory("other", error);
    ASSERT_TRUE(sub && other) << platform().errorText(error.code);
    std::unique_ptr<OpenDirectory> up = sub->openParent(error);
    ASSERT_TRUE(up);
    FileIdentity topId, subId, otherId, upId;
    ASSERT_TRUE(top->identity(topId) && sub->identity(subId) && other->identity(otherId) && up->identity(upId));
    EXPECT_EQ(upId, topId);
    EXPECT_FALSE(subId == otherId);
    EXPECT_FALSE(subId == topId);

    EXPECT_FALSE(top->openSubdirectory("a.txt", error)) << "a file is no directory";
    EXPECT_FALSE(top->openSubdirectory("..", error)) << "names only";
    EXPECT_FALSE(top->openSubdirectory("missing", error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
    EXPECT_FALSE(platform().openDirectory(dir.child("missing"), resolved, error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
}

}  // namespace
}  // namespace Quilna
