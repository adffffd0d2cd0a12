#pragma once
// The sink at the end of the logging chain: takes finished log lines.

#include <string>

namespace Quilna {

class LoggerAgent {
public:
    LoggerAgent() = default;
    LoggerAgent(const LoggerAgent&) = delete;
    LoggerAgent& operator=(const LoggerAgent&) = delete;
    // Slot 0.
    virtual ~LoggerAgent() = default;
    // Slot 1: where the log goes, as a text ("file:///...").
    virtual std::string location() const = 0;
    // Slot 2.
    virtual bool ready() { return true; }
    // Slot 3: one finished line, without its line end; true when it was written.
    virtual bool write(const std::string& line) = 0;
};

}  // namespace Quilna
