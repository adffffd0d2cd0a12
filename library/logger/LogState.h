#pragma once
// The process-wide logging settings: debug level, severity filter, time mode and the message
// catalogue. Written at start-up and when the configuration is applied, read by every logger.
// They live in LogState.cpp with the rotation settings (RotationSettings.h).

#include <cstdint>

namespace Quilna {

class LogCommons;

namespace TimeMode {
constexpr int32_t Default = 0;
constexpr int32_t Local = 1;
constexpr int32_t Zulu = 2;
}  // namespace TimeMode

// 0 to 5 (initially 5); debug records of a higher level are dropped. Other values are ignored.
void setDebugLevel(int32_t level);
int32_t debugLevel();

// 0 to 5 (initially 0); log records of a lower severity are dropped, 5 drops all. Other
// values are ignored.
void setSeverityFilter(int32_t severity);
int32_t severityFilter();

// Copied into every new record (initially 1, local); any value is stored.
void setTimeMode(int32_t mode);
int32_t timeMode();

// The catalogue the messengers look templates up in; not owned; nullptr for none.
void setCatalogue(const LogCommons* catalogue);
const LogCommons* catalogue();

}  // namespace Quilna
