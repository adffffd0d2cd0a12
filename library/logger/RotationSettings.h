#pragma once
// The process-wide rotation settings shared by every log file agent of the process: which
// conditions rotate a log (Init, Time, Size), the interval and size limit, whether the agents
// write their housekeeping lines, and the application name that prefixes their registry values
// ("<App>LogOpened", "<App>LogCounter"). They live in LogState.cpp; how many rotated copies
// an agent keeps is the agent's own (LoggerAgentFile::setRotationKeep).

#include <cstdint>
#include <string>

#include "time/TimeSpan.h"

namespace Quilna {

namespace Rotation {
constexpr uint32_t Init = 1;  // the first line a process writes into an existing log
constexpr uint32_t Time = 2;  // the interval has passed
constexpr uint32_t Size = 4;  // the log has reached the size limit
}  // namespace Rotation

void setRotationScheme(uint32_t scheme);
void addRotationScheme(uint32_t bit);
uint32_t rotationScheme();

void setRotationInterval(const TimeSpan& interval);
TimeSpan rotationInterval();

// In MiB; initially 10, which the logging set-up sets again when it makes its agent.
void setRotationSize(int32_t megabytes);
int32_t rotationSize();
constexpr int32_t initialRotationSize = 10;

// How many rotated copies of each log an agent keeps unless told otherwise.
constexpr int32_t defaultRotationKeep = 10;

// Lets the Init condition fire again and makes every agent compute its next rotation time anew.
void armInitRotation();
bool initRotationPending();
void clearInitRotation();
// Changes with every armInitRotation, so agents can tell that they must recompute.
uint32_t rotationGeneration();

// Whether agents write their opening, closing and rotation lines (initially on).
void setAgentMessages(bool on);
bool agentMessages();

// The prefix of the agents' registry values, the application's display name.
void setApplicationName(const std::string& name);
std::string logApplicationName();

}  // namespace Quilna
