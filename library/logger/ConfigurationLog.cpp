#include "logger/ConfigurationLog.h"

#include "logger/LogCommons.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

ConfigurationLog::ConfigurationLog(SystemServices& services, const SmartPointer<LoggerCentre>& centre)
    : unit_(makeSmart<LoggerUnit>(services, centre, Module::Configuration)) {}

ConfigurationLog::~ConfigurationLog() = default;

bool ConfigurationLog::debugOn(int32_t level) const { return LoggerUnit::isDebugOn(level); }

void ConfigurationLog::debug(int32_t level, const char* text) { unit_->debug(level, text); }

void ConfigurationLog::debug(int32_t level, const char* format, const ParamStream& params) {
    unit_->debug(level, format, params);
}

void ConfigurationLog::error(int32_t id, const ParamStream& params) { unit_->error(id, params); }

}  // namespace Quilna
