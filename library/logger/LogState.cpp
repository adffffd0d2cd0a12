#include "logger/LogState.h"

#include <atomic>

namespace Quilna {

namespace {
constexpr int32_t kHighestLevel = 5;

// One logging state per process: every unit filters by it, whichever thread logs.
std::atomic<int32_t> currentDebugLevel{kHighestLevel};
std::atomic<int32_t> currentSeverityFilter{0};
std::atomic<int32_t> currentTimeMode{TimeMode::Local};
std::atomic<bool> currentSystemLog{false};
std::atomic<const LogCommons*> currentCatalogue{nullptr};

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

void setSystemLog(bool on) { currentSystemLog.store(on, std::memory_order_relaxed); }

bool systemLog() { return currentSystemLog.load(std::memory_order_relaxed); }

void setCatalogue(const LogCommons* catalogue) { currentCatalogue.store(catalogue, std::memory_order_release); }

const LogCommons* catalogue() { return currentCatalogue.load(std::memory_order_acquire); }

}  // namespace Quilna
