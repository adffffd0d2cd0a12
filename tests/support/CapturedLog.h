#pragma once
// A logging chain that keeps its lines in memory, and a scope restoring the process-wide log settings.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/SmartPointer.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerAgent.h"
#include "logger/LoggerCentre.h"
#include "logger/RotationSettings.h"
#include "platform/Platform.h"

namespace Quilna::TestSupport {

// An agent that keeps every line it is given, and answers what the test sets.
struct MemoryAgent : LoggerAgent {
    std::string location() const override { return "memory:"; }
    bool write(const std::string& line) override {
        lines.push_back(line);
        if (written) written(line);
        return answer;
    }
    std::vector<std::string> lines;
    bool answer = true;
    std::function<void(const std::string&)> written;  // called on the logging thread
};

// agent <- messenger <- centre of application 17; hand `centre` to whatever logs.
class CapturedLog {
    SmartPointer<MemoryAgent> agent_ = makeSmart<MemoryAgent>();

public:
    // The system takes the records of a messenger whose system log is on; the process's backend
    // unless the test gives one.
    explicit CapturedLog(SystemServices& system = platform(),
                         SmartPointer<LogMessenger> messenger = SmartPointer<LogMessenger>())
        : services(system),
          centre(makeSmart<LoggerCentre>(
              17, messenger ? messenger : makeSmart<LogMessenger>(system, SmartPointer<LoggerAgent>(agent_)))) {}

    const std::vector<std::string>& lines() const { return agent_->lines; }
    const SmartPointer<MemoryAgent>& agent() const { return agent_; }
    void clear() { agent_->lines.clear(); }

    std::vector<std::string> containing(const std::string& text) const {
        std::vector<std::string> found;
        std::copy_if(lines().begin(), lines().end(), std::back_inserter(found),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
        return found;
    }

    SystemServices& services;
    SmartPointer<LoggerCentre> centre;
};

class LogStateScope {
public:
    LogStateScope() {
        keep(debugLevel(), setDebugLevel);
        keep(severityFilter(), setSeverityFilter);
        keep(timeMode(), setTimeMode);
        keep(catalogue(), setCatalogue);
        keep(rotationScheme(), setRotationScheme);
        keep(rotationInterval(), setRotationInterval);
        keep(rotationSize(), setRotationSize);
        keep(agentMessages(), setAgentMessages);
        keep(logApplicationName(), setApplicationName);
        restore_.push_back([pending = initRotationPending()] { pending ? armInitRotation() : clearInitRotation(); });
    }
    ~LogStateScope() {
        for (const auto& restore : restore_) restore();
    }
    LogStateScope(const LogStateScope&) = delete;
    LogStateScope& operator=(const LogStateScope&) = delete;

private:
    template <typename T, typename Set>
    void keep(T value, Set set) {
        restore_.push_back([value, set] { set(value); });
    }
    std::vector<std::function<void()>> restore_;
};

}  // namespace Quilna::TestSupport
