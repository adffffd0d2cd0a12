// The POSIX named locks: flocks on files below the runtime directory, which is the user's own.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/NamedLock.h"
#include "platform/posix/PosixImpl.h"
#include "support/ChildProcess.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

class RuntimeScope {
public:
    RuntimeScope() { fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime"); }
    std::string lockFile(const std::string& name) const { return dir.child("runtime/locks/" + name); }

    TestSupport::TestDirectory dir;
    FakePlatform fake;
};

mode_t modeOf(const std::string& path) {
    struct stat facts {};
    ::lstat(path.c_str(), &facts);
    return facts.st_mode & 07777;
}

// Modes, and links at a lock's name (refused with their reason), are seen end to end.
TEST(PosixNamedLock, NoNameLeadsOutOfTheLocksDirectory) {
    RuntimeScope runtime;
    auto held = platform().tryNamedLock("a/b");
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(std::filesystem::exists(runtime.lockFile("a_b")));
    std::string refusal;
    // A lock that is only held by another is no refusal: it may be had later.
    EXPECT_EQ(platform().tryNamedLock("a/b", refusal), nullptr);
    EXPECT_EQ(refusal, "");
    for (const std::string& bad : {std::string(), std::string(".."), std::string("a\0b", 3)})
        EXPECT_EQ(platform().tryNamedLock(bad), nullptr) << bad;
    runtime.fake.environment["QUILNA_RUNTIME_DIR"] = runtime.dir.write("plainfile", "not a directory");
    EXPECT_EQ(platform().tryNamedLock("name"), nullptr);
}

TEST(PosixNamedLock, ALockHeldByAnotherProcessIsRefusedUntilThatProcessEnds) {
    RuntimeScope runtime;
    TestSupport::Handshake handshake;
    TestSupport::ChildProcess holder([&] {
        auto held = platform().tryNamedLock("shared");
        handshake.tellParent(held ? 'h' : 'x');
        handshake.fromParent();
        return held ? 0 : 1;
    });
    ASSERT_EQ(handshake.fromChild(), 'h');
    EXPECT_EQ(platform().tryNamedLock("shared"), nullptr);
    const int fd = ::open(runtime.lockFile("shared").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(posix::lockHolders(fd), "process " + std::to_string(holder.id()) + " of user root");
    ::close(fd);
    handshake.tellChild('g');
    EXPECT_EQ(holder.wait(), 0);
    EXPECT_NE(platform().tryNamedLock("shared"), nullptr);
}

// The defaults of a user other than root are $XDG_RUNTIME_DIR/quilna, else /tmp/quilna-<uid>
// (the refusal of directories others control is seen end to end).
TEST(PosixNamedLock, TheDefaultsOfAnotherUserAreTheirOwn) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    RuntimeScope runtime;
    std::string path, refusal;
    const std::string session = runtime.dir.child("session");
    ASSERT_EQ(::mkdir(session.c_str(), 0700), 0);
    ASSERT_EQ(::chown(session.c_str(), 65534, 65534), 0);
    ::chmod(runtime.dir.text().c_str(), 0755);
    TestSupport::ChildProcess user([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
        runtime.fake.environment["QUILNA_RUNTIME_DIR"] = std::nullopt;
        runtime.fake.environment["XDG_RUNTIME_DIR"] = session;
        if (!platform().runtimeDirectory(path, refusal) || path != session + "/quilna" || modeOf(path) != 0700)
            return 11;
        runtime.fake.environment["XDG_RUNTIME_DIR"] = std::nullopt;
        if (!platform().runtimeDirectory(path, refusal) || path != "/tmp/quilna-65534" || modeOf(path) != 0700)
            return 12;
        return ::rmdir(path.c_str()) == 0 ? 0 : 13;
    });
    EXPECT_EQ(user.wait(), 0);
}

}  // namespace
}  // namespace Quilna
