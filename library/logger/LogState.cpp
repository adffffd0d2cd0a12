// Every piece of logging state that the process has once. Each is shared by every logger unit or
// log file agent of the process and changed at run time when a configuration is applied; what
// belongs to one messenger or one agent is a member of it instead.
#include "logger/LogState.h"

#include <atomic>
#include <mutex>

#include "logger/RotationSettings.h"

namespace Quilna {

namespace {
constexpr int32_t kHighestLevel = 5;

// Every unit filters debug records by it, whichever thread logs.
std::atomic<int32_t> currentDebugLevel{kHighestLevel};
// Every unit filters log records by it.
std::atomic<int32_t> currentSeverityFilter{0};
// Copied into every record that any unit builds.
std::atomic<int32_t> currentTimeMode{TimeMode::Local};
// The one catalogue that every messenger looks templates up in.
std::atomic<const LogCommons*> currentCatalogue{nullptr};

// Which conditions rotate the log: one scheme for every agent.
std::atomic<uint32_t> rotationBits{0};
// The Time condition's interval, shared by every agent.
std::atomic<int32_t> intervalSeconds{0};
// The Size condition's limit in MiB, shared by every agent.
std::atomic<int32_t> sizeLimit{initialRotationSize};
// Whether the Init condition may still fire in this process.
std::atomic<bool> initPending{true};
// Counts the armings of Init, so that every agent recomputes its next rotation time.
std::atomic<uint32_t> generation{0};
// Whether every agent writes its opening, closing and rotation lines.
std::atomic<bool> messagesOn{true};
// The application's display name that prefixes every agent's registry values, and its guard.
std::mutex nameGuard;
std::string& applicationName() {
    static std::string name;
    return name;
}

bool inRange(int32_t value) { return value >= 0 && value <= kHighestLevel; }
}  // namespace

void setDebugLevel(int32_t level) {
    if (inRange(level)) currentDebugLevel.store(level, std::memory_order_relaxed);
}

int32_t debugLevel() { return currentDebugLevel.load(std::memory_order_relaxed); }

void setSeverityFilter(int32_t severity) {
    if (inRange(severity)) currentSeverityFilter.store(severity, std::memory_order_relaxed);
}

int32_t severityFilter() { return currentSeverityFilter.load(std::memory_order_relaxed); }

void setTimeMode(int32_t mode) { currentTimeMode.store(mode, std::memory_order_relaxed); }

int32_t timeMode() { return currentTimeMode.load(std::memory_order_relaxed); }

void setCatalogue(const LogCommons* catalogue) { currentCatalogue.store(catalogue, std::memory_order_release); }

const LogCommons* catalogue() { return currentCatalogue.load(std::memory_order_acquire); }

void setRotationScheme(uint32_t bits) { rotationBits.store(bits); }
void addRotationScheme(uint32_t bit) { rotationBits.fetch_or(bit); }
uint32_t rotationScheme() { return rotationBits.load(); }

void setRotationInterval(const TimeSpan& interval) { intervalSeconds.store(interval.value()); }
TimeSpan rotationInterval() { return TimeSpan(intervalSeconds.load()); }

void setRotationSize(int32_t megabytes) { sizeLimit.store(megabytes); }
int32_t rotationSize() { return sizeLimit.load(); }

void armInitRotation() {
    initPending.store(true);
    generation.fetch_add(1);
}
bool initRotationPending() { return initPending.load(); }
void clearInitRotation() { initPending.store(false); }
uint32_t rotationGeneration() { return generation.load(); }

void setAgentMessages(bool on) { messagesOn.store(on); }
bool agentMessages() { return messagesOn.load(); }

void setApplicationName(const std::string& name) {
    std::lock_guard<std::mutex> hold(nameGuard);
    applicationName() = name;
}

std::string logApplicationName() {
    std::lock_guard<std::mutex> hold(nameGuard);
    return applicationName();
}

}  // namespace Quilna
