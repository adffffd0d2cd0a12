// A receiver that stops taking messages: the sender waits for room once, then fails at once
// until the receiver reads again, so a stalled collector cannot slow a logging program down
// message by message.
#include <gtest/gtest.h>

#include <chrono>

#include "common/IPCException.h"
#include "common/MailSlot.h"
#include "platform/Platform.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Whether a send went through, and how long it took.
struct Attempt {
    bool sent;
    Clock::duration took;
};

Attempt attempt(MailSlot& sender, const std::string& text) {
    const auto started = Clock::now();
    bool sent = false;
    try {
        sent = sender.send(text);
    } catch (const IPCException& failure) {
        EXPECT_EQ(failure.code(), IC_CANNOT_SEND);
    }
    return {sent, Clock::now() - started};
}

// Sends until the receiver has no room; the number sent and the first failure.
std::pair<size_t, Attempt> fill(MailSlot& sender) {
    for (size_t sent = 0; sent < 100000; ++sent) {
        const Attempt next = attempt(sender, "message " + std::to_string(sent));
        if (!next.sent) return {sent, next};
    }
    return {0, {true, {}}};
}

TEST(MailSlotStalledReceiver, TheSenderWaitsForRoomOnceThenFailsAtOnceUntilTheReceiverReads) {
    TestSupport::TestDirectory runtime;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", runtime.text()};
    auto receiver = std::make_unique<MailSlot>(IPCMode::Receiver, "Stalled");
    MailSlot sender(IPCMode::LocalSender, "Stalled");

    const auto [queued, full] = fill(sender);
    ASSERT_FALSE(full.sent) << "the receiver never ran out of room";
    ASSERT_GT(queued, 0u);
    EXPECT_GE(full.took, 200ms) << "the first send without room waits for it";
    EXPECT_TRUE(sender.isOpen());

    const auto started = Clock::now();
    for (int message = 0; message < 20; ++message) EXPECT_FALSE(attempt(sender, "dropped").sent);
    EXPECT_LT(Clock::now() - started, 1s) << "later sends to the stalled receiver waited";

    // The receiver reads again: everything sent before the stall arrives, and sending goes on.
    std::vector<std::string> messages;
    receiver->receive(messages);
    ASSERT_EQ(messages.size(), queued);
    EXPECT_EQ(messages.front(), "message 0");
    EXPECT_EQ(messages.back(), "message " + std::to_string(queued - 1));
    EXPECT_TRUE(attempt(sender, "after").sent);
    // Room is waited for again: a burst that a reading receiver takes in time is not lost.
    const auto [again, fullAgain] = fill(sender);
    EXPECT_GT(again, 0u);
    EXPECT_GE(fullAgain.took, 200ms);

    // A receiver that ends while stalled: the channel is opened anew for the next one.
    receiver.reset();
    EXPECT_FALSE(attempt(sender, "nobody").sent);
    EXPECT_FALSE(sender.isOpen());
    receiver = std::make_unique<MailSlot>(IPCMode::Receiver, "Stalled");
    EXPECT_TRUE(attempt(sender, "new receiver").sent);
    messages.clear();
    receiver->receive(messages);
    EXPECT_EQ(messages, std::vector<std::string>{"new receiver"});
}

}  // namespace
}  // namespace Quilna
