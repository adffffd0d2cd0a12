#pragma once
// The configuration reader's messages as records of the Configuration module (1), through a
// logger unit of the given centre.

#include "config/ConfReports.h"
#include "core/SmartPointer.h"

namespace Quilna {

class LoggerCentre;
class LoggerUnit;
class SystemServices;

class ConfigurationLog : public ConfReports {
public:
    ConfigurationLog(SystemServices& services, const SmartPointer<LoggerCentre>& centre);
    ~ConfigurationLog() override;

    bool debugOn(int32_t level) const override;
    void debug(int32_t level, const char* text) override;
    void debug(int32_t level, const char* format, const ParamStream& params) override;
    void error(int32_t id, const ParamStream& params) override;

private:
    SmartPointer<LoggerUnit> unit_;
};

}  // namespace Quilna
