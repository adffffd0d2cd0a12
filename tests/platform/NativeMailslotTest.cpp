// The native backend's mailslot slice: a receiver and a sender of one process exchange
// whole messages in order.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/MailslotEndpoint.h"
#include "platform/Platform.h"
#include "platform/NativeTestSupport.h"

namespace Quilna {
namespace {

using NativeTest::ScopedEnv;
using NativeTest::TempDir;

class NativeMailslot : public ::testing::Test {
protected:
    NativeMailslot() {
        if (!NativeTest::onWindows()) runtime_ = std::make_unique<ScopedEnv>("QUILNA_RUNTIME_DIR", dir_.text());
    }

    // Reads the next waiting message; false when none waits.
    static bool readNext(MailslotEndpoint& receiver, std::string& message) {
        bool waiting = false;
        uint32_t size = 0;
        SystemError error;
        if (!receiver.nextMessageSize(waiting, size, error)) {
            ADD_FAILURE() << "nextMessageSize failed with " << error.code;
            return false;
        }
        if (!waiting) return false;
        if (!receiver.read(size, message, error)) {
            ADD_FAILURE() << "read failed with " << error.code;
            return false;
        }
        return true;
    }

private:
    TempDir dir_;
    std::unique_ptr<ScopedEnv> runtime_;
};

TEST_F(NativeMailslot, MessagesArriveWholeAndInOrder) {
    const std::string name = NativeTest::uniqueName("Quilna_Test_");
    SystemError error;
    auto receiver = platform().createMailslot(name, error);
    ASSERT_NE(receiver, nullptr) << platform().errorText(error.code);

    std::string message;
    EXPECT_FALSE(readNext(*receiver, message)) << "nothing waits yet";

    auto sender = platform().openMailslot(name, false, error);
    ASSERT_NE(sender, nullptr) << platform().errorText(error.code);
    // Records travel with their separator bytes and the terminating zero.
    const std::string record = std::string("Quilna\x1b" "LOGMSG\x1b\x1b" "a\x1c" "b\x1b") + '\0';
    ASSERT_TRUE(sender->write(record, error)) << platform().errorText(error.code);
    ASSERT_TRUE(sender->write("second", error)) << platform().errorText(error.code);
    const std::string big(5000, 'z');
    ASSERT_TRUE(sender->write(big, error)) << platform().errorText(error.code);

    ASSERT_TRUE(readNext(*receiver, message));
    EXPECT_EQ(message, record);
    ASSERT_TRUE(readNext(*receiver, message));
    EXPECT_EQ(message, "second");
    ASSERT_TRUE(readNext(*receiver, message));
    EXPECT_EQ(message, big);
    EXPECT_FALSE(readNext(*receiver, message)) << "all read";
}

TEST_F(NativeMailslot, SendingWithoutAReceiverFails) {
    const std::string name = NativeTest::uniqueName("Quilna_Nobody_");
    SystemError error;
    auto sender = platform().openMailslot(name, false, error);
    if (!sender) {
        EXPECT_EQ(error.kind, ErrorKind::NotFound);
        EXPECT_NE(error.code, 0u) << "the failure carries the system's code";
        EXPECT_FALSE(platform().errorText(error.code).empty());
        return;
    }
    // A backend may open lazily; then the write is what fails.
    EXPECT_FALSE(sender->write("lost", error));
    EXPECT_TRUE(error.failed());
    EXPECT_NE(error.code, 0u);
}

}  // namespace
}  // namespace Quilna
