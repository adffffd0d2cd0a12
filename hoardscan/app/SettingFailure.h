#pragma once
// How a required setting that cannot be read is reported: as missing when it is not there, as
// invalid (naming its value and what was expected) when it is there but cannot be used.

#include <string>

namespace Quilna {

class ConfReader;
class LoggerUnit;

namespace SettingFailure {

// FATAL 2 for a missing key, FATAL 34 with the value written and what was expected for one
// that the lookup of this type refused (result: the ConfResult). Always false.
bool report(LoggerUnit& logger, const ConfReader& configuration, const std::string& key, const char* type, int result);

}  // namespace SettingFailure
}  // namespace Quilna
