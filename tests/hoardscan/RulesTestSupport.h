#pragma once
// Helpers for the scan rules tests: a real logger chain whose agent keeps the finished lines,
// and a unique temporary directory.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/SmartPointer.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerAgent.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna::RulesTest {

class KeptLines : public LoggerAgent {
public:
    std::string location() const override { return "memory"; }
    bool write(const std::string& line) override {
        lines.push_back(line);
        return true;
    }
    std::vector<std::string> lines;
};

// LoggerUnit -> LoggerCentre -> LogMessenger -> KeptLines, as the program logs (application
// and module 17). Restores the debug level it changes.
class TestLog {
public:
    explicit TestLog(int32_t level = 5) : previousLevel_(debugLevel()) {
        setDebugLevel(level);
        SmartPointer<LoggerAgent> agent(kept_);
        messenger_ = makeSmart<LogMessenger>(agent);
        centre_ = makeSmart<LoggerCentre>(17, messenger_);
        unit_ = makeSmart<LoggerUnit>(centre_, 17);
        clear();
    }
    ~TestLog() {
        unit_.reset();
        setDebugLevel(previousLevel_);
    }
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    LoggerUnit& unit() { return *unit_; }
    const SmartPointer<LoggerCentre>& centre() const { return centre_; }
    const std::vector<std::string>& lines() const { return kept_->lines; }
    void clear() { kept_->lines.clear(); }

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

    int32_t previousLevel_;
    SmartPointer<KeptLines> kept_{new KeptLines};
    SmartPointer<LogMessenger> messenger_;
    SmartPointer<LoggerCentre> centre_;
    SmartPointer<LoggerUnit> unit_;
};

// A fresh directory below the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / ("quilna-rules-" + std::to_string(platform().processId()) + "-" +
                            std::to_string(counter++) + "-" + std::to_string(attempt));
            if (std::filesystem::create_directory(path_)) return;
        }
        throw std::runtime_error("no temporary directory");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream out(file(name), std::ios::binary);
        out << content;
        return file(name);
    }

private:
    std::filesystem::path path_;
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
