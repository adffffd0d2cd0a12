// The POSIX mailslot: Unix datagram sockets in $QUILNA_RUNTIME_DIR/mailslot.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/MailslotEndpoint.h"
#include "platform/Platform.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

// A datagram socket bound at the given path, as a receiver that crashed leaves it.
int bindSocketAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int result = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    return result == 0 ? 0 : errno;
}

class MailslotSocketTest : public ::testing::Test {
protected:
    MailslotSocketTest() { fake.environment["QUILNA_RUNTIME_DIR"] = runtime.text(); }

    std::string socketPath(const std::string& name) const { return runtime.child("mailslot") + "/" + name; }
    std::unique_ptr<MailslotEndpoint> receiver(const std::string& name) {
        return platform().createMailslot(name, error);
    }
    std::unique_ptr<MailslotEndpoint> sender(const std::string& name) {
        return platform().openMailslot(name, false, error);
    }

    // Every message waiting at the receiver, which then tells that none is waiting.
    static std::vector<std::string> drain(MailslotEndpoint& endpoint) {
        std::vector<std::string> messages;
        bool asked = false, waiting = true;
        uint32_t size = 0;
        SystemError error;
        std::string message;
        while ((asked = endpoint.nextMessageSize(waiting, size, error)) && waiting &&
               endpoint.read(size, message, error))
            messages.push_back(message);
        EXPECT_TRUE(asked && !waiting) << "all read";
        return messages;
    }

    TestSupport::TestDirectory runtime;
    FakePlatform fake;
    SystemError error;
};

TEST_F(MailslotSocketTest, MessagesArriveWholeAndInOrderFromThisUserOnly) {
    const mode_t before = ::umask(0);
    auto in = receiver("Quilna_Core");
    ::umask(before);
    ASSERT_TRUE(in) << platform().errorText(error.code);
    // The directory's mode is seen end to end; the socket's keeps other users from sending.
    struct stat status {};
    ASSERT_EQ(::lstat(socketPath("Quilna_Core").c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    auto out = sender("Quilna_Core");
    ASSERT_TRUE(out) << platform().errorText(error.code);
    const std::vector<std::string> messages{"first", "", std::string("a\0b\x1B\xff", 5), std::string(100000, 'x')};
    for (const std::string& message : messages) ASSERT_TRUE(out->write(message, error)) << message.size();
    EXPECT_EQ(drain(*in), messages);
    // Too large for a datagram: fails whole, and the channel goes on.
    EXPECT_FALSE(out->write(std::string(64 * 1024 * 1024, 'x'), error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(EMSGSIZE));
    ASSERT_TRUE(out->write("small", error));
    EXPECT_EQ(drain(*in), std::vector<std::string>{"small"});

    // A receiver that stops reading: sends fail at once while it has no room, the channel stays
    // usable, and nothing sent before is lost.
    size_t queued = 0;
    while (queued < 100000 && out->write(std::to_string(queued), error)) ++queued;
    ASSERT_GT(queued, 0u);
    EXPECT_EQ(error.code, static_cast<uint32_t>(EAGAIN));
    EXPECT_TRUE(out->usableAfterFailure());
    EXPECT_FALSE(out->write("dropped", error));
    const std::vector<std::string> stalled = drain(*in);
    ASSERT_EQ(stalled.size(), queued);
    EXPECT_EQ(stalled.back(), std::to_string(queued - 1));
    EXPECT_TRUE(out->write("after", error));
    in.reset();
    EXPECT_FALSE(out->write("gone", error));
    EXPECT_TRUE(error.failed());
}

// A socket nobody receives on any more (a crashed receiver's) is replaced; a live receiver and
// a file that is no socket are left alone (a receiver of another process: end to end).
TEST_F(MailslotSocketTest, SendingWithoutAReceiverFailsAndOnlyAStaleSocketIsReplaced) {
    EXPECT_FALSE(sender("nobody"));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
    EXPECT_EQ(error.code, static_cast<uint32_t>(ENOENT));
    { auto gone = receiver("gone"); }
    EXPECT_FALSE(std::filesystem::exists(socketPath("gone"))) << "the receiver cleans up";
    ASSERT_EQ(bindSocketAt(socketPath("stale")), 0);
    EXPECT_FALSE(sender("stale"));
    EXPECT_EQ(error.code, static_cast<uint32_t>(ECONNREFUSED));
    auto in = receiver("stale");
    ASSERT_TRUE(in);
    EXPECT_FALSE(receiver("stale"));
    EXPECT_EQ(error.code, static_cast<uint32_t>(EADDRINUSE));

    runtime.write("mailslot/notes", "keep me");
    EXPECT_FALSE(receiver("notes"));
    EXPECT_EQ(error.kind, ErrorKind::Exists);
    EXPECT_EQ(runtime.read("mailslot/notes"), "keep me");
}

TEST_F(MailslotSocketTest, UnusableNamesAndDomainWideSendingAreRefusedAndNoNameLeadsOut) {
    EXPECT_FALSE(platform().openMailslot("Quilna_Core", true, error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(ENOTSUP));
    for (const std::string& name : {std::string(), std::string("."), std::string("..")}) {
        EXPECT_FALSE(receiver(name)) << name;
        EXPECT_EQ(error.code, static_cast<uint32_t>(EINVAL));
    }
    EXPECT_FALSE(receiver(std::string(200, 'n')));
    EXPECT_EQ(error.code, static_cast<uint32_t>(ENAMETOOLONG));
    auto in = receiver("a/b");
    EXPECT_TRUE(in);
    EXPECT_TRUE(std::filesystem::exists(socketPath("a_b")));
}

}  // namespace
}  // namespace Quilna
