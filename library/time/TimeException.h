#pragma once
#include "core/Exception.h"

// Codes, texts and domain number of one domain of the exception family.

namespace Quilna {

enum TimeExceptionCode : int32_t {
    TM_NONE = 0,
    TM_DAYS = 1,
    TM_HOURS = 2,
    TM_MINUTES = 3,
    TM_SECONDS = 4,
    TM_YEAR = 5,
    TM_MONTH = 6,
    TM_DAY = 7,
    TM_DATETIME = 8,
    TM_ANCIENT = 9,
    TM_INPUT = 10,
};

class TimeException : public Exception {
public:
    explicit TimeException(int32_t code) : Exception(code) {}
    TimeException(int32_t code, std::string detail, const std::string& sourceUnit, int32_t line)
        : Exception(code, std::move(detail), sourceUnit, line) {}

    std::string& describe(std::string& out) const override { return describeAs(out); }
    int32_t domainId() const override { return 4; }

protected:
    const char* domainName() const override { return "Time"; }
    const char* codeText() const override;
};

}  // namespace Quilna
