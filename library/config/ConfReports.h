#pragma once
// Where the configuration reader's messages go. Configuration stands below logging, so it
// says here what it needs and logging implements it (logger/ConfigurationLog.h): debug lines,
// and catalogue messages of the Configuration module at severity ERROR.

#include <cstdint>

#include "text/ParamStream.h"

namespace Quilna {

class ConfReports {
public:
    ConfReports() = default;
    ConfReports(const ConfReports&) = delete;
    ConfReports& operator=(const ConfReports&) = delete;
    virtual ~ConfReports() = default;

    // Whether debug lines of this level are written now; lets the reader skip building them.
    virtual bool debugOn(int32_t level) const = 0;
    virtual void debug(int32_t level, const char* text) = 0;
    virtual void debug(int32_t level, const char* format, const ParamStream& params) = 0;
    virtual void error(int32_t id, const ParamStream& params) = 0;
};

}  // namespace Quilna
