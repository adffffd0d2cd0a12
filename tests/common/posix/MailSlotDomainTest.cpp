// Mailslots reach only this computer here: a sender to the whole domain is refused.
#include <gtest/gtest.h>

#include "common/IPCException.h"
#include "common/MailSlot.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(MailSlotDomain, SendingToTheWholeDomainIsRefused) {
    TestSupport::TestDirectory runtime;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", runtime.text()};
    MailSlot receiver(IPCMode::Receiver, "Quilna_Core");
    MailSlot domain(IPCMode::DomainSender, "Quilna_Core");
    try {
        domain.send("everybody");
        FAIL() << "sent to the domain";
    } catch (const IPCException& failure) {
        EXPECT_EQ(failure.code(), IC_CANNOT_SEND);
    }
    std::vector<std::string> messages;
    receiver.receive(messages);
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace Quilna
