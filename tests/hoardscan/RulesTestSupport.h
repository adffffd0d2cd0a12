#pragma once
// Helpers for the scan rules tests: the logging chain of tests/support seen through the
// program's logger unit (application and module 17).

#include <functional>
#include <string>
#include <vector>

#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"

namespace Quilna::RulesTest {

// Sets the debug level for its lifetime.
class TestLog {
public:
    explicit TestLog(int32_t level = 5) {
        setDebugLevel(level);
        unit_ = makeSmart<LoggerUnit>(captured_.centre, 17);
        clear();
    }
    ~TestLog() { unit_.reset(); }
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    LoggerUnit& unit() { return *unit_; }
    const SmartPointer<LoggerCentre>& centre() const { return captured_.centre; }
    const std::vector<std::string>& lines() const { return captured_.lines(); }
    void clear() { captured_.clear(); }
    void onLine(std::function<void(const std::string&)> written) { captured_.agent()->written = std::move(written); }

    // The text after "): " of every debug line, in order.
    std::vector<std::string> debugTexts() const {
        std::vector<std::string> texts;
        for (const std::string& line : lines())
            if (line.rfind("debug-", 0) == 0) texts.push_back(line.substr(line.find(": ") + 2));
        return texts;
    }
    // The parameters of the catalogue messages of a severity and number, each as "a|b|c".
    std::vector<std::string> messages(const std::string& severity, int id) const {
        std::string block = "(17.17." + std::string(id < 10 ? "0" : "") + std::to_string(id) + ")";
        std::vector<std::string> found;
        for (const std::string& line : lines()) {
            if (line.rfind(severity, 0) != 0 || line.find(block) == std::string::npos) continue;
            size_t start = line.find("Parameters: ");
            found.push_back(start == std::string::npos ? std::string() : parameters(line.substr(start + 12)));
        }
        return found;
    }
    size_t messageCount() const {
        size_t count = 0;
        for (const std::string& line : lines())
            if (line.rfind("debug-", 0) != 0) ++count;
        return count;
    }

private:
    // The line writes each parameter separator as two blanks.
    static std::string parameters(std::string text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "  ") == 0) {
                out += '|';
                ++i;
            } else {
                out += text[i];
            }
        }
        if (!out.empty() && out.back() == '|') out.pop_back();
        return out;
    }

    TestSupport::LogStateScope state_;
    TestSupport::CapturedLog captured_;
    SmartPointer<LoggerUnit> unit_;
};

// A path written inside a quoted configuration value, where a backslash escapes the next
// character.
inline std::string quotedPath(const std::string& path) {
    std::string text;
    for (char c : path) {
        if (c == '\\') text += '\\';
        text += c;
    }
    return text;
}

}  // namespace Quilna::RulesTest
