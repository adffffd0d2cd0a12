#pragma once
// The captured log of tests/support seen through the program's logger unit (module 17).

#include <string>
#include <vector>

#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna::RulesTest {

// Sets the debug level for its lifetime.
class TestLog : public TestSupport::LogStateScope, public TestSupport::CapturedLog {
public:
    explicit TestLog(int32_t level = 5) {
        setDebugLevel(level);
        unit_ = makeSmart<LoggerUnit>(services, centre, 17);
        clear();
    }

    LoggerUnit& unit() { return *unit_; }

    // The text after "): " of every debug line, in order.
    std::vector<std::string> debugTexts() const {
        std::vector<std::string> texts;
        for (const std::string& line : lines())
            if (line.rfind("debug-", 0) == 0) texts.push_back(line.substr(line.find(": ") + 2));
        return texts;
    }
    // The parameters of the messages of a severity and number, each as "a|b|c" (written "a  b  c").
    std::vector<std::string> messages(const std::string& severity, int id) const {
        std::string block = "(17.17." + std::string(id < 10 ? "0" : "") + std::to_string(id) + ")";
        std::vector<std::string> found;
        for (const std::string& line : lines()) {
            if (line.rfind(severity, 0) != 0 || line.find(block) == std::string::npos) continue;
            const size_t start = line.find("Parameters: ");
            std::string text = start == std::string::npos ? std::string() : line.substr(start + 12);
            for (size_t at; (at = text.find("  ")) != std::string::npos;) text.replace(at, 2, "|");
            if (!text.empty() && text.back() == '|') text.pop_back();
            found.push_back(text);
        }
        return found;
    }
    size_t messageCount() const { return lines().size() - debugTexts().size(); }

private:
    SmartPointer<LoggerUnit> unit_;
};

}  // namespace Quilna::RulesTest
