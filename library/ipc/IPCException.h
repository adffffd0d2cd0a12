#pragma once
#include "core/Exception.h"

// Codes, texts and domain number of one domain of the exception family.

namespace Quilna {

enum IPCExceptionCode : int32_t {
    IC_NONE = 0,
    IC_NO_MESSAGE_FILE = 1,
    IC_CANNOT_CREATE_COMM = 2,
    IC_NOT_SENDER = 3,
    IC_NOT_RECEIVER = 4,
    IC_CANNOT_SEND = 5,
    IC_CANNOT_RECEIVE = 6,
    IC_MEM = 7,
};

class IPCException : public Exception {
public:
    explicit IPCException(int32_t code) : Exception(code) {}
    IPCException(int32_t code, std::string detail, const std::string& sourceUnit, int32_t line)
        : Exception(code, std::move(detail), sourceUnit, line) {}

    std::string& describe(std::string& out) const override { return describeAs(out); }
    int32_t domainId() const override { return 4; }
    // The code's name ("" when it has no row).
    static const char* codeName(int32_t code);

protected:
    const char* domainName() const override { return "IPC"; }
    const char* codeText() const override;
};

}  // namespace Quilna
