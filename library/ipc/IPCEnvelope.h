#pragma once
#include <string>

namespace Quilna {

// One message of the product family's mailslot: "Quilna", the type, a second text, the payload
// and, only when not empty, an extra text, each followed by 0x1B; the channel adds a zero byte.
// Nothing is escaped, so a payload may itself hold 0x1B.
struct IPCEnvelope {
    static constexpr char separator = '\x1B';
    static constexpr const char* magic = "Quilna";
    static constexpr const char* logMessage = "LOGMSG";

    std::string type;
    std::string second;
    std::string payload;
    std::string extra;

    // The text to send.
    std::string build() const;
    // Reads a received message (with or without its terminating zero). The payload is all text
    // between the third separator and the last one, so a payload holding 0x1B comes back whole;
    // the extra text of such a message cannot be told apart and stays empty.
    static bool parse(const std::string& message, IPCEnvelope& out);
};

}  // namespace Quilna
