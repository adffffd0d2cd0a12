// The POSIX mailslot: Unix datagram sockets in $QUILNA_RUNTIME_DIR/mailslot.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/MailslotEndpoint.h"
#include "platform/Platform.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

class MailslotSocketTest : public ::testing::Test {
protected:
    MailslotSocketTest() {
        if (const char* old = ::getenv("QUILNA_RUNTIME_DIR")) oldRuntime_ = old;
        ::setenv("QUILNA_RUNTIME_DIR", runtime.text().c_str(), 1);
    }
    ~MailslotSocketTest() override {
        if (oldRuntime_.empty()) ::unsetenv("QUILNA_RUNTIME_DIR");
        else ::setenv("QUILNA_RUNTIME_DIR", oldRuntime_.c_str(), 1);
    }

    std::string socketPath(const std::string& name) const { return runtime.child("mailslot") + "/" + name; }

    std::unique_ptr<MailslotEndpoint> receiver(const std::string& name) {
        SystemError error;
        auto endpoint = platform().createMailslot(name, error);
        EXPECT_TRUE(endpoint) << name << ": " << platform().errorText(error.code);
        return endpoint;
    }
    std::unique_ptr<MailslotEndpoint> sender(const std::string& name, SystemError& error) {
        return platform().openMailslot(name, false, error);
    }

    // Every message waiting at the receiver.
    static std::vector<std::string> drain(MailslotEndpoint& endpoint) {
        std::vector<std::string> messages;
        bool waiting = true;
        uint32_t size = 0;
        SystemError error;
        while (endpoint.nextMessageSize(waiting, size, error) && waiting) {
            std::string message;
            if (!endpoint.read(size, message, error)) break;
            messages.push_back(message);
        }
        return messages;
    }

    // A socket file that nobody receives on any more, as a crashed receiver leaves it.
    void leaveStaleSocket(const std::string& path) {
        int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
        ::close(fd);
    }

    TestSupport::TestDirectory runtime;

private:
    std::string oldRuntime_;
};

TEST_F(MailslotSocketTest, MessagesArriveWholeAndInOrderFromThisUserOnly) {
    const mode_t before = ::umask(0);
    auto in = receiver("Quilna_Core");
    ::umask(before);
    ASSERT_TRUE(in);
    struct stat status {};
    ASSERT_EQ(::stat(runtime.child("mailslot").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    ASSERT_EQ(::lstat(socketPath("Quilna_Core").c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    if (::geteuid() == 0) {
        // Another user cannot reach the socket to send.
        ::chmod(runtime.text().c_str(), 0755);
        TestSupport::ChildProcess stranger([&] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
            const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, socketPath("Quilna_Core").c_str(), sizeof address.sun_path - 1);
            const int connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            return connected != 0 && errno == EACCES ? 0 : 11;
        });
        EXPECT_EQ(stranger.wait(), 0);
    }

    SystemError error;
    auto out = sender("Quilna_Core", error);
    ASSERT_TRUE(out) << platform().errorText(error.code);
    const std::string binary("a\0b\x1B\xff", 5);
    for (const std::string& message : {std::string("first"), std::string(), binary, std::string(100000, 'x')})
        ASSERT_TRUE(out->write(message, error)) << message.size() << ": " << platform().errorText(error.code);
    EXPECT_EQ(drain(*in), (std::vector<std::string>{"first", "", binary, std::string(100000, 'x')}));
}

TEST_F(MailslotSocketTest, AskingForTheNextMessageNeverWaits) {
    auto in = receiver("idle");
    ASSERT_TRUE(in);
    bool waiting = true;
    uint32_t size = 7;
    SystemError error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(in->nextMessageSize(waiting, size, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(waiting);
}

TEST_F(MailslotSocketTest, SendingWithoutAReceiverFails) {
    SystemError error;
    EXPECT_FALSE(sender("nobody", error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);
    EXPECT_EQ(error.code, static_cast<uint32_t>(ENOENT));

    { auto gone = receiver("gone"); }
    EXPECT_FALSE(std::filesystem::exists(socketPath("gone")));  // the receiver cleans up
    EXPECT_FALSE(sender("gone", error));

    auto in = receiver("closing");
    auto out = sender("closing", error);
    ASSERT_TRUE(out);
    in.reset();
    EXPECT_FALSE(out->write("after", error));
    EXPECT_TRUE(error.failed());
    EXPECT_FALSE(platform().errorText(error.code).empty());
}

TEST_F(MailslotSocketTest, AStaleSocketIsReplacedButALiveReceiverIsNot) {
    receiver("probe");  // makes the directory
    leaveStaleSocket(socketPath("stale"));
    SystemError error;
    EXPECT_FALSE(sender("stale", error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(ECONNREFUSED));
    auto in = receiver("stale");
    ASSERT_TRUE(in);

    EXPECT_FALSE(platform().createMailslot("stale", error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(EADDRINUSE));
    auto out = sender("stale", error);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write("still mine", error));
    EXPECT_EQ(drain(*in), std::vector<std::string>{"still mine"});
}

TEST_F(MailslotSocketTest, AReceiverInAnotherProcessIsNotStolen) {
    TestSupport::Handshake handshake;
    ASSERT_TRUE(handshake.ok());
    TestSupport::ChildProcess child([&] {
        SystemError error;
        auto in = platform().createMailslot("shared", error);
        handshake.tellParent(in ? 'r' : 'x');
        handshake.fromParent();
        auto messages = drain(*in);
        return messages == std::vector<std::string>{"to the child"} ? 0 : 1;
    });
    ASSERT_EQ(handshake.fromChild(), 'r');
    SystemError error;
    EXPECT_FALSE(platform().createMailslot("shared", error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(EADDRINUSE));
    auto out = sender("shared", error);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write("to the child", error));
    handshake.tellChild('g');
    EXPECT_EQ(child.wait(), 0);
    // Once the child has ended, the name is free again.
    EXPECT_TRUE(receiver("shared"));
}

TEST_F(MailslotSocketTest, AFileThatIsNoSocketIsLeftAlone) {
    receiver("probe");
    { std::ofstream(socketPath("notes")) << "keep me"; }
    SystemError error;
    EXPECT_FALSE(platform().createMailslot("notes", error));
    EXPECT_EQ(error.kind, ErrorKind::Exists);
    EXPECT_EQ(error.code, static_cast<uint32_t>(EEXIST));
    EXPECT_EQ(TestSupport::TestDirectory::readFile(socketPath("notes")), "keep me");
}

TEST_F(MailslotSocketTest, OversizedMessagesFailWholeAndTheChannelGoesOn) {
    auto in = receiver("big");
    SystemError error;
    auto out = sender("big", error);
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->write(std::string(64 * 1024 * 1024, 'x'), error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(EMSGSIZE));
    ASSERT_TRUE(out->write("small", error));
    EXPECT_EQ(drain(*in), std::vector<std::string>{"small"});
}

TEST_F(MailslotSocketTest, DomainWideSendingAndUnusableNamesAreRefused) {
    SystemError error;
    EXPECT_FALSE(platform().openMailslot("Quilna_Core", true, error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(ENOTSUP));
    for (const char* name : {"", ".", ".."}) {
        EXPECT_FALSE(platform().createMailslot(name, error)) << name;
        EXPECT_EQ(error.code, static_cast<uint32_t>(EINVAL));
    }
    EXPECT_FALSE(platform().createMailslot(std::string(200, 'n'), error));
    EXPECT_EQ(error.code, static_cast<uint32_t>(ENAMETOOLONG));

    auto in = receiver("a/b");  // stays inside the mailslot directory
    ASSERT_TRUE(in);
    EXPECT_TRUE(std::filesystem::exists(socketPath("a_b")));
}

}  // namespace
}  // namespace Quilna
