#include <gtest/gtest.h>

#include "ipc/IPCClient.h"
#include "ipc/IPCEnvelope.h"
#include "ipc/IPCException.h"
#include "ipc/MailSlot.h"
#include "platform/MailslotEndpoint.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using Messages = std::vector<std::string>;

// The code and full text of the IPCException a call throws.
template <typename Call>
std::pair<int32_t, std::string> failureOf(Call call) {
    try {
        call();
    } catch (const IPCException& failure) {
        return {failure.code(), failure.fullText()};
    }
    return {-1, "nothing thrown"};
}

// Mailslot names are machine-wide on Windows: each test program uses its own.
std::string slot(const std::string& name) { return name + "-" + std::to_string(platform().processId()); }

// Counts openings; can make every write of the opened ends fail, the channel left usable or not.
class ChannelFaults : public FakePlatform {
public:
    struct FailingEndpoint : MailslotEndpoint {
        explicit FailingEndpoint(const ChannelFaults& faults) : faults(faults) {}
        bool write(const std::string&, SystemError& error) override { return (error = *faults.writeError, false); }
        bool usableAfterFailure() const override { return faults.stalled; }
        bool nextMessageSize(bool& waiting, uint32_t&, SystemError&) override { return !(waiting = false); }
        bool read(uint32_t, std::string&, SystemError&) override { return false; }
        const ChannelFaults& faults;
    };

    std::unique_ptr<MailslotEndpoint> openMailslot(const std::string& name, bool wholeDomain,
                                                   SystemError& error) override {
        ++opens;
        if (writeError) return std::make_unique<FailingEndpoint>(*this);
        return FakePlatform::openMailslot(name, wholeDomain, error);
    }

    int opens = 0;
    std::optional<SystemError> writeError;
    bool stalled = false;
};

TEST(MailSlot, EnvelopesFailedWritesMessagesEndingAtTheirZeroAndFailuresNamingTheirPlace) {
    const std::string E = "\x1B";
    EXPECT_EQ((IPCEnvelope{"T", "2nd", "p", "x"}.build()), "Quilna" + E + "T" + E + "2nd" + E + "p" + E + "x" + E);
    IPCEnvelope parsed;
    const std::string payload = "has" + E + "separators" + E;
    ASSERT_TRUE(IPCEnvelope::parse(IPCEnvelope{"LOGMSG", "", payload, ""}.build() + '\0', parsed));
    EXPECT_EQ(std::make_tuple(parsed.type, parsed.second, parsed.payload), std::make_tuple("LOGMSG", "", payload));
    for (const std::string& junk : {std::string(), std::string("Quilna"), "Quilna" + E + "LOGMSG" + E + E,
                                    "Quilna" + E + "LOGMSG" + E + E + "payload", "quilna" + E + "T" + E + E + "p" + E})
        EXPECT_FALSE(IPCEnvelope::parse(junk, parsed)) << junk;

    TestSupport::TestDirectory runtime;
    ChannelFaults faults;
    faults.environment["QUILNA_RUNTIME_DIR"] = runtime.text();
    MailSlot receiver(faults, IPCMode::Receiver, slot("flaky"));
    MailSlot sender(faults, IPCMode::LocalSender, slot("flaky"));
    faults.writeError = SystemError{ErrorKind::NoNetwork, 1231};
    faults.stalled = true;
    EXPECT_EQ(failureOf([&] { sender.send("held"); }).first, IC_CANNOT_SEND);
    EXPECT_TRUE(sender.isOpen()) << "a receiver without room is not opened anew";
    faults.stalled = false;
    const auto [code, text] = failureOf([&] { sender.send("lost"); });
    EXPECT_EQ(code, IC_CANNOT_SEND);
    EXPECT_NE(text.find("(Error 1231 - No network)"), std::string::npos) << text;
    EXPECT_FALSE(sender.isOpen());

    faults.writeError.reset();
    faults.opens = 0;
    EXPECT_TRUE(sender.send(std::string("one\0hidden", 10)));
    EXPECT_TRUE(sender.send(""));
    EXPECT_EQ(faults.opens, 1);
    Messages messages{"earlier"};
    EXPECT_TRUE(receiver.receive(messages));
    EXPECT_EQ(messages, (Messages{"earlier", "one", ""}));
    // Whole, zero bytes kept; a message that would pass the batch's bytes waits for the next one.
    for (const char* text : {"one", "two", "three"}) sender.send(text);
    MailSlot::Batch bounded{.maxBytes = 8}, rest;
    EXPECT_TRUE(receiver.receiveWhole(bounded) && receiver.receiveWhole(rest));
    EXPECT_EQ(bounded.messages, (Messages{std::string("one\0", 4), std::string("two\0", 4)}));
    EXPECT_EQ(rest.messages, Messages{std::string("three\0", 6)});
    // Larger than any receiver keeps: refused before it is sent.
    const auto [largeCode, largeText] = failureOf([&] { sender.send(std::string(MailSlot::largestMessage, 'x')); });
    EXPECT_EQ(largeCode, IC_CANNOT_SEND);
    EXPECT_NE(largeText.find("The message of 1048577 bytes is larger than the largest, 1048576 bytes."),
              std::string::npos)
        << largeText;

    // The client's place comes after the mailslot's (what it sends reaches the collector end to end).
    IPCClient unheard(faults, slot("nobody-listens"));
    const auto [clientCode, clientText] = failureOf([&] { unheard.send("LOGMSG", "", "x", ""); });
    EXPECT_EQ(clientCode, IC_CANNOT_SEND);
    ASSERT_NE(clientText.find("MailSlot("), std::string::npos) << clientText;
    EXPECT_GT(clientText.find("IPCClient("), clientText.find("MailSlot(")) << clientText;
}

}  // namespace
}  // namespace Quilna
