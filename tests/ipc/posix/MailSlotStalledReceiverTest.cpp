// A receiver that stops taking messages: sends fail while it is full, but the channel stays
// open, and once the receiver reads again everything sent before arrives and sending goes on.
#include <gtest/gtest.h>

#include "ipc/IPCException.h"
#include "ipc/MailSlot.h"
#include "support/EnvironmentScope.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

bool sent(MailSlot& sender, const std::string& text) {
    try {
        return sender.send(text);
    } catch (const IPCException& failure) {
        EXPECT_EQ(failure.code(), IC_CANNOT_SEND);
        return false;
    }
}

// Sends until the receiver has no room; the number sent.
size_t fill(MailSlot& sender) {
    for (size_t count = 0; count < 100000; ++count)
        if (!sent(sender, "message " + std::to_string(count))) return count;
    return 0;
}

TEST(MailSlotStalledReceiver, NothingSentBeforeTheStallIsLostAndTheChannelStaysOpen) {
    TestSupport::TestDirectory runtime;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", runtime.text()};
    MailSlot receiver(IPCMode::Receiver, "Stalled");
    MailSlot sender(IPCMode::LocalSender, "Stalled");
    const size_t queued = fill(sender);
    ASSERT_GT(queued, 0u) << "the receiver never ran out of room";
    EXPECT_TRUE(sender.isOpen());
    EXPECT_FALSE(sent(sender, "dropped"));
    std::vector<std::string> messages;
    receiver.receive(messages);
    ASSERT_EQ(messages.size(), queued);
    EXPECT_EQ(messages.back(), "message " + std::to_string(queued - 1));
    EXPECT_TRUE(sent(sender, "after"));
}

}  // namespace
}  // namespace Quilna
