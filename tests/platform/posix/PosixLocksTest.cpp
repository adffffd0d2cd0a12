// The POSIX named locks: flocks on files in shared directories below the runtime directory.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/NamedLock.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

// A fake backend whose runtime directory is a fresh test directory.
class RuntimeScope {
public:
    RuntimeScope() { fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime"); }
    std::string lockFile(const std::string& name) const { return dir.child("runtime/locks/" + name); }

    TestDirectory dir;
    FakePlatform fake;
};

mode_t modeOf(const std::string& path) {
    struct stat facts {};
    ::lstat(path.c_str(), &facts);
    return facts.st_mode & 07777;
}

TEST(PosixNamedLock, RuntimeDirectoriesAreSharedAndLockFilesWritableByAll) {
    RuntimeScope runtime;
    auto held = platform().tryNamedLock("a/b");
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(modeOf(runtime.dir.child("runtime")), 01777u);
    EXPECT_EQ(modeOf(runtime.dir.child("runtime/locks")), 01777u);
    // A separator in the name cannot lead out of the locks directory.
    EXPECT_EQ(modeOf(runtime.lockFile("a_b")), 0666u);
}

TEST(PosixNamedLock, BadNamesAndAnUnusableRuntimeDirectoryGiveNoLock) {
    RuntimeScope runtime;
    EXPECT_EQ(platform().tryNamedLock(""), nullptr);
    EXPECT_EQ(platform().tryNamedLock(".."), nullptr);
    EXPECT_EQ(platform().tryNamedLock(std::string("a\0b", 3)), nullptr);
    runtime.dir.write("plainfile", "not a directory");
    runtime.fake.environment["QUILNA_RUNTIME_DIR"] = runtime.dir.child("plainfile");
    EXPECT_EQ(platform().tryNamedLock("name"), nullptr);
}

}  // namespace
}  // namespace Quilna
