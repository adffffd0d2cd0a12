#pragma once
#include "core/Exception.h"

// Codes, texts and domain number of one domain of the exception family.

namespace Quilna {

enum ConfigExceptionCode : int32_t {
    CF_MEM = 0,
    CF_CONF = 1,
    CF_CANNOT_UNCOMPRESS = 2,
};

class ConfigException : public Exception {
public:
    explicit ConfigException(int32_t code) : Exception(code) {}
    ConfigException(int32_t code, std::string detail, const std::string& sourceUnit, int32_t line)
        : Exception(code, std::move(detail), sourceUnit, line) {}

    std::string& describe(std::string& out) const override { return describeAs(out); }
    int32_t domainId() const override { return 1; }

protected:
    const char* domainName() const override { return "Configuration"; }
    const char* codeText() const override;
};

}  // namespace Quilna
