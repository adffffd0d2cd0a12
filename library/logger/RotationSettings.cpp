#include "logger/RotationSettings.h"

#include <atomic>
#include <mutex>

namespace Quilna {

namespace {
// One set of rotation settings per process, shared by every log file agent in it.
std::atomic<uint32_t> scheme{0};
std::atomic<int32_t> intervalSeconds{0};
std::atomic<int32_t> sizeLimit{10};
std::atomic<int32_t> keptCopies{defaultRotationKeep};
std::atomic<bool> initPending{true};
std::atomic<uint32_t> generation{0};
std::atomic<bool> messagesOn{true};

std::mutex nameGuard;
std::string& applicationName() {
    static std::string name;
    return name;
}
}  // namespace

void setRotationScheme(uint32_t bits) { scheme.store(bits); }
void addRotationScheme(uint32_t bit) { scheme.fetch_or(bit); }
uint32_t rotationScheme() { return scheme.load(); }

void setRotationInterval(const TimeSpan& interval) { intervalSeconds.store(interval.value()); }
TimeSpan rotationInterval() { return TimeSpan(intervalSeconds.load()); }

void setRotationSize(int32_t megabytes) { sizeLimit.store(megabytes); }
int32_t rotationSize() { return sizeLimit.load(); }

void setRotationKeep(int32_t copies) {
    if (copies >= 0) keptCopies.store(copies);
}
int32_t rotationKeep() { return keptCopies.load(); }

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
