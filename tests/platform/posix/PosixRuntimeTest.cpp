// Below the POSIX runtime directory: named locks (flocked files) and mailslots (datagram sockets).
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>

#include "platform/MailslotEndpoint.h"
#include "platform/NamedLock.h"
#include "platform/posix/PosixImpl.h"
#include "support/ChildProcess.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

mode_t modeOf(const std::string& path) {
    struct stat facts {};
    ::lstat(path.c_str(), &facts);
    return facts.st_mode;
}

class PosixRuntime : public ::testing::Test {
protected:
    PosixRuntime() { fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime"); }
    std::string below(const std::string& path) const { return dir.child("runtime/" + path); }
    auto receiver(const std::string& name) { return fake.createMailslot(name, 1 << 20, error); }
    auto sender(const std::string& name) { return fake.openMailslot(name, false, error); }
    bool failedWith(const auto& result, int code) const { return !result && error.code == static_cast<uint32_t>(code); }

    std::vector<std::string> drain(MailslotEndpoint& endpoint) {
        std::vector<std::string> messages;
        bool asked = false, waiting = true;
        uint32_t size = 0;
        std::string message;
        while ((asked = endpoint.nextMessageSize(waiting, size, error)) && waiting &&
               endpoint.read(size, message, error))
            messages.push_back(message);
        EXPECT_TRUE(asked && !waiting) << "all read";
        return messages;
    }

    TestSupport::TestDirectory dir;
    FakePlatform fake;
    SystemError error;
};

// Modes, and links at a lock's name (refused with their reason), are seen end to end.
TEST_F(PosixRuntime, NoLockNameLeadsOutOfTheLocksDirectory) {
    auto held = fake.tryNamedLock("a/b");
    ASSERT_TRUE(held && std::filesystem::exists(below("locks/a_b")));
    SystemError refusal;
    // A lock that is only held by another is no refusal: it may be had later.
    EXPECT_TRUE(!fake.tryNamedLock("a/b", refusal) && !refusal.failed()) << refusal.detail;
    for (const std::string& bad : {std::string(), std::string(".."), std::string("a\0b", 3)}) {
        refusal = SystemError{};
        EXPECT_TRUE(!fake.tryNamedLock(bad, refusal) && refusal.failed() && !refusal.detail.empty()) << bad;
    }
    EXPECT_TRUE(held->release(refusal) && fake.tryNamedLock("a/b")) << "released";
    fake.environment["QUILNA_RUNTIME_DIR"] = dir.write("plainfile", "not a directory");
    EXPECT_EQ(fake.tryNamedLock("name"), nullptr);
    // A link on the way to an absolute target is followed from the root.
    ASSERT_EQ(::symlink(dir.child("real").c_str(), dir.child("alias").c_str()), 0);
    fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("alias");
    std::string path;
    EXPECT_TRUE(fake.runtimeDirectory(path, refusal) && path == dir.child("real")) << refusal.detail << path;
    EXPECT_EQ(modeOf(path), S_IFDIR | 0755u) << "made there";
    // Gone and come back as a directory that anyone may write: checked anew, and refused.
    std::filesystem::remove_all(path);
    std::filesystem::create_directory(path);
    std::filesystem::permissions(path, std::filesystem::perms::all);
    EXPECT_FALSE(fake.runtimeDirectory(path, refusal));
    EXPECT_NE(refusal.detail.find("may be written by every user"), std::string::npos) << refusal.detail;
    fake.environment["QUILNA_REGISTRY_ROOT"] = dir.child("registry");
    SystemError error;
    ASSERT_TRUE(fake.writeRegistryString("SOFTWARE\\Quilna\\Key", "A", "1", true, error));
    EXPECT_EQ(modeOf(dir.child("registry/HKEY_LOCAL_MACHINE/SOFTWARE/Quilna")), S_IFDIR | 0750u) << "a key's directory";
}

TEST_F(PosixRuntime, ALockHeldByAnotherProcessIsRefusedUntilThatProcessEnds) {
    TestSupport::Handshake handshake;
    TestSupport::ChildProcess holder([&] {
        auto held = fake.tryNamedLock("shared");
        handshake.tellParent(held ? 'h' : 'x');
        handshake.fromParent();
        return held ? 0 : 1;
    });
    ASSERT_EQ(handshake.fromChild(), 'h');
    EXPECT_EQ(fake.tryNamedLock("shared"), nullptr);
    const int fd = ::open(below("locks/shared").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(posix::lockHolders(fd), "process " + std::to_string(holder.id()) + " of user root");
    ::close(fd);
    handshake.tellChild('g');
    EXPECT_EQ(holder.wait(), 0);
    EXPECT_NE(fake.tryNamedLock("shared"), nullptr);
}

TEST_F(PosixRuntime, TheDefaultsOfAnotherUserAreTheirOwn) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    std::string path;
    SystemError refusal;
    const std::string session = dir.child("session");
    ASSERT_TRUE(::mkdir(session.c_str(), 0700) == 0 && ::chown(session.c_str(), 65534, 65534) == 0);
    ::chmod(dir.text().c_str(), 0755);
    TestSupport::ChildProcess user([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
        fake.environment["QUILNA_RUNTIME_DIR"] = std::nullopt;
        fake.environment["XDG_RUNTIME_DIR"] = session;
        const auto made = [&](const std::string& expected) {
            return fake.runtimeDirectory(path, refusal) && path == expected && (modeOf(path) & 07777) == 0700;
        };
        if (!made(session + "/quilna")) return 11;
        fake.environment["XDG_RUNTIME_DIR"] = std::nullopt;
        if (!made("/tmp/quilna-65534")) return 12;
        return ::rmdir(path.c_str()) == 0 ? 0 : 13;
    });
    EXPECT_EQ(user.wait(), 0);
}

TEST_F(PosixRuntime, MessagesArriveWholeAndInOrderFromThisUserOnly) {
    const mode_t before = ::umask(0777);
    auto in = receiver("Quilna_Core");
    ::umask(before);
    ASSERT_TRUE(in) << fake.errorText(error.code);
    // Modes exactly, whatever the umask: only this user (root here) may send.
    EXPECT_EQ((std::vector{modeOf(below("")), modeOf(below("mailslot")), modeOf(below("mailslot/Quilna_Core"))}),
              (std::vector<mode_t>{S_IFDIR | 0755u, S_IFDIR | 0700u, S_IFSOCK | 0600u}));
    auto out = sender("Quilna_Core");
    ASSERT_TRUE(out) << fake.errorText(error.code);
    const std::vector<std::string> messages{"first", "", std::string("a\0b\x1B\xff", 5), std::string(100000, 'x')};
    for (const std::string& message : messages) ASSERT_TRUE(out->write(message, error)) << message.size();
    EXPECT_EQ(drain(*in), messages);
    const auto [known, processId, userId] = in->lastSender();  // as the system vouches for it
    EXPECT_EQ(std::tuple(known, processId, userId), std::tuple(true, fake.processId(), ::geteuid()));
    // Too large for a datagram: fails whole, and the channel goes on.
    EXPECT_TRUE(failedWith(out->write(std::string(64 * 1024 * 1024, 'x'), error), EMSGSIZE)) << error.code;
    ASSERT_TRUE(out->write("small", error));
    EXPECT_EQ(drain(*in), std::vector<std::string>{"small"});

    // A receiver that stops reading: sends fail at once, the channel stays usable, nothing is lost.
    size_t queued = 0;
    while (queued < 100000 && out->write(std::to_string(queued), error)) ++queued;
    ASSERT_TRUE(queued > 0 && out->usableAfterFailure());
    EXPECT_TRUE(failedWith(out->write("dropped", error), EAGAIN)) << error.code;
    const std::vector<std::string> stalled = drain(*in);
    EXPECT_TRUE(stalled.size() == queued && stalled.back() == std::to_string(queued - 1)) << stalled.size();
    EXPECT_TRUE(out->write("after", error));
    in.reset();
    EXPECT_TRUE(!out->write("gone", error) && error.failed());
}

// A crashed receiver's socket is replaced; a live receiver and a file that is no socket are not.
TEST_F(PosixRuntime, SendingWithoutAReceiverFailsAndOnlyAStaleSocketIsReplaced) {
    EXPECT_TRUE(failedWith(sender("nobody"), ENOENT) && error.kind == ErrorKind::NotFound) << error.code;
    { auto gone = receiver("gone"); }
    EXPECT_FALSE(std::filesystem::exists(below("mailslot/gone"))) << "the receiver cleans up";
    // Bound and closed, as a receiver that crashed leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::strncpy(address.sun_path, below("mailslot/stale").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_TRUE(failedWith(sender("stale"), ECONNREFUSED)) << error.code;
    auto in = receiver("stale");
    EXPECT_TRUE(in && failedWith(receiver("stale"), EADDRINUSE)) << error.code;

    dir.write("runtime/mailslot/notes", "keep me");
    EXPECT_TRUE(!receiver("notes") && error.kind == ErrorKind::Exists);
    EXPECT_EQ(dir.read("runtime/mailslot/notes"), "keep me");

    EXPECT_TRUE(failedWith(fake.openMailslot("Quilna_Core", true, error), ENOTSUP)) << "no domain-wide sending";
    for (const std::string& name : {std::string(), std::string("."), std::string(".."), std::string("a\0b", 3)})
        EXPECT_TRUE(failedWith(receiver(name), EINVAL)) << name << ": " << error.code;
    EXPECT_TRUE(failedWith(receiver(std::string(200, 'n')), ENAMETOOLONG)) << error.code;
    EXPECT_TRUE(receiver("a/b") && std::filesystem::exists(below("mailslot/a_b")));
}

}  // namespace
}  // namespace Quilna
