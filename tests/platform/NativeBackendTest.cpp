// The native backend's system slice and its open directories, on a real temporary directory.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(NativeSystem, ClockEnvironmentIdentitiesMachineFactsAndDrives) {
    EXPECT_LE(std::abs(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()) - platform().now()), 2);

    // An empty value is still a set variable (an empty key path is a key path).
    const std::string name = "QUILNA_TEST_" + std::to_string(platform().processId());
    std::string value = "untouched";
    EXPECT_FALSE(platform().getEnv(name, value));
    SystemError failure;
    for (const std::string& set : {std::string("some value"), std::string(), std::string(1000, 'v')})
        EXPECT_TRUE(platform().setEnv(name, set, failure) && platform().getEnv(name, value) && value == set)
            << set.size();
    EXPECT_TRUE(platform().unsetEnv(name, failure) && !platform().getEnv(name, value) && !failure.failed());

    EXPECT_NE(platform().processId(), 0u);
    const uint32_t mine = platform().threadId();
    uint32_t other = mine;
    std::thread([&] { other = platform().threadId(); }).join();
    EXPECT_TRUE(other != mine && platform().threadId() == mine);

    // 2: no such file on both systems.
    const std::string text = platform().errorText(2);
    EXPECT_TRUE(!text.empty() && static_cast<unsigned char>(text.back()) > 0x20) << "no line end: " << text;

    std::string computer, user;
    ASSERT_TRUE(platform().computerName(computer) && platform().userName(user));
    EXPECT_FALSE(computer.empty() || user.empty() || computer.find('.') != std::string::npos) << "the short name";
    OsVersion version;
    ASSERT_TRUE(platform().osVersion(version) && version.ntFamily);
#ifndef _WIN32
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);)
        EXPECT_TRUE(line.rfind("PRETTY_NAME=\"", 0) || version.name == line.substr(13, line.size() - 14))
            << version.name;
#endif
    std::vector<std::string> roots;
    SystemError error;
    ASSERT_TRUE(platform().logicalDrives(roots, error)) << platform().errorText(error.code);
    // A fixed drive may be out of reach (a FUSE mount whose daemon died): then it says why. The
    // system's own drive is always within reach.
    size_t measured = 0;
    for (const std::string& root : roots) {
        EXPECT_NE(platform().driveType(root), DriveType::NoRootDir) << root << " is a root";
        uint32_t bytes = 0;
        if (platform().driveType(root) != DriveType::Fixed) continue;
        if (!platform().clusterSize(root, bytes, error)) {
            EXPECT_TRUE(error.failed() && !platform().errorText(error.code).empty()) << root;
            EXPECT_NE(root, roots.front());
            continue;
        }
        ++measured;
        EXPECT_TRUE(bytes > 0 && (bytes & (bytes - 1)) == 0) << "a power of two: " << bytes;
    }
    EXPECT_GT(measured, 0u);
}

// A listing stopped goes on where it stopped; parent and subdirectories are told apart by identity.
TEST(NativeFiles, AnOpenDirectoryListsAnswersAndLeadsUpAndDown) {
    TestSupport::TestDirectory dir;
    for (const char* name : {"a.txt", "b.txt", "c.log"}) dir.write(name, name);
    for (const char* name : {"sub", "other"}) std::filesystem::create_directory(dir.path() / name);
    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = platform().openDirectory(dir.text(), resolved, error);
    ASSERT_TRUE(top) << platform().errorText(error.code);
    ASSERT_EQ(resolved.back(), platform().pathSyntax().separator);
    EXPECT_TRUE(std::filesystem::equivalent(resolved.substr(0, resolved.size() - 1), dir.path())) << resolved;

    std::vector<DirEntry> listed;
    ASSERT_TRUE(platform().listDirectory(dir.text(), listed, error));
    std::vector<std::string> expected, visited;
    for (const DirEntry& entry : listed) expected.push_back(entry.name + (entry.isFile ? "" : "/"));
    const auto visit = [&](const DirEntry& entry) {
        visited.push_back(entry.name + (entry.isFile ? "" : "/"));
        return visited.size() != 2;
    };
    using enum OpenDirectory::Listing;
    EXPECT_EQ(
        (std::vector{top->readEntries(visit, error), top->readEntries(visit, error), top->readEntries(visit, error)}),
        (std::vector{More, End, End}));
    EXPECT_EQ(visited, expected);
    FileInfo info;
    EXPECT_TRUE(top->entryInfo("c.log", info, error) && info.size == 5u && info.fullPath.empty() &&
                !top->entryInfo("absent.txt", info, error) && error.kind == ErrorKind::NotFound);

    std::unique_ptr<OpenDirectory> sub = top->openSubdirectory("sub", error);
    std::unique_ptr<OpenDirectory> other = top->openSubdirectory("other", error);
    ASSERT_TRUE(sub && other) << platform().errorText(error.code);
    std::unique_ptr<OpenDirectory> up = sub->openParent(error);
    FileIdentity topId, subId, otherId, upId;
    ASSERT_TRUE(up && top->identity(topId) && sub->identity(subId) && other->identity(otherId) && up->identity(upId));
    EXPECT_TRUE(upId == topId && !(subId == otherId) && !(subId == topId));
    EXPECT_FALSE(top->openSubdirectory("a.txt", error)) << "a file is no directory";
    EXPECT_TRUE(!top->openSubdirectory("missing", error) && error.kind == ErrorKind::NotFound);
    EXPECT_TRUE(!platform().openDirectory(dir.child("missing"), resolved, error) && error.kind == ErrorKind::NotFound);
}

}  // namespace
}  // namespace Quilna
