// The POSIX named locks: flocks on files below the runtime directory, which is the user's own.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/NamedLock.h"
#include "support/ChildProcess.h"
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

TEST(PosixNamedLock, RuntimeDirectoryAndLockFilesAreTheUsersAlone) {
    RuntimeScope runtime;
    const mode_t before = ::umask(0);  // the modes are the program's own, whatever the umask
    auto held = platform().tryNamedLock("a/b");
    ::umask(before);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(modeOf(runtime.dir.child("runtime")), ::geteuid() == 0 ? 0755u : 0700u);
    EXPECT_EQ(modeOf(runtime.dir.child("runtime/locks")), 0700u);
    // A separator in the name cannot lead out of the locks directory.
    EXPECT_EQ(modeOf(runtime.lockFile("a_b")), 0600u);
    // A link at a lock's name is not followed.
    const std::string target = runtime.dir.write("target", "untouched");
    ASSERT_EQ(::symlink(target.c_str(), runtime.lockFile("linked").c_str()), 0);
    std::string refusal;
    EXPECT_EQ(platform().tryNamedLock("linked", refusal), nullptr);
    EXPECT_EQ(refusal, "\"" + runtime.lockFile("linked") + "\" is a symbolic link, which is never followed for writing");
    EXPECT_EQ(TestDirectory::readFile(target), "untouched");
    // A lock that is only held by another is no refusal: it may be had later.
    EXPECT_EQ(platform().tryNamedLock("a/b", refusal), nullptr);
    EXPECT_EQ(refusal, "");
}

// A runtime directory that someone else controls is refused with its reason, and nothing is
// made in it; the defaults of a user other than root are $XDG_RUNTIME_DIR/quilna, else
// /tmp/quilna-<uid>.
TEST(PosixNamedLock, ARuntimeDirectoryOthersControlIsRefusedAndDefaultsAreTheUsersOwn) {
    RuntimeScope runtime;
    const std::string open = runtime.dir.child("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    runtime.fake.environment["QUILNA_RUNTIME_DIR"] = open;
    std::string path, refusal;
    EXPECT_FALSE(platform().runtimeDirectory(path, refusal));
    EXPECT_EQ(refusal, "the runtime directory \"" + open + "\" cannot be used: the directory \"" + open +
                           "\" may be written by every user");
    EXPECT_EQ(platform().tryNamedLock("name"), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(open));
    if (::geteuid() != 0) return;

    // Another user's: refused for root.
    const std::string theirs = runtime.dir.child("theirs");
    ASSERT_EQ(::mkdir(theirs.c_str(), 0700), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    runtime.fake.environment["QUILNA_RUNTIME_DIR"] = theirs + "/below";
    EXPECT_FALSE(platform().runtimeDirectory(path, refusal));
    EXPECT_NE(refusal.find("the directory \"" + theirs + "\" belongs to user 65534"), std::string::npos) << refusal;
    EXPECT_TRUE(std::filesystem::is_empty(theirs));

    // The defaults of another user, checked as that user.
    const std::string session = runtime.dir.child("session");
    ASSERT_EQ(::mkdir(session.c_str(), 0700), 0);
    ASSERT_EQ(::chown(session.c_str(), 65534, 65534), 0);
    ::chmod(runtime.dir.text().c_str(), 0755);
    TestSupport::ChildProcess user([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
        runtime.fake.environment["QUILNA_RUNTIME_DIR"] = std::nullopt;
        runtime.fake.environment["XDG_RUNTIME_DIR"] = session;
        if (!platform().runtimeDirectory(path, refusal) || path != session + "/quilna" || modeOf(path) != 0700) return 11;
        runtime.fake.environment["XDG_RUNTIME_DIR"] = std::nullopt;
        if (!platform().runtimeDirectory(path, refusal) || path != "/tmp/quilna-65534" || modeOf(path) != 0700) return 12;
        return ::rmdir(path.c_str()) == 0 ? 0 : 13;
    });
    EXPECT_EQ(user.wait(), 0);
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
