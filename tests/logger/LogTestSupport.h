#pragma once
// Helpers for the logging tests: a unique temporary directory, a scope that restores the
// process-wide logging settings, an agent that keeps its lines in memory, and file reading.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "logger/LogState.h"
#include "logger/LoggerAgent.h"
#include "logger/RotationSettings.h"
#include "platform/Platform.h"

namespace Quilna::LogTest {

// A fresh directory below the system's temporary directory, removed with its content.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "quilna-log") {
        static std::atomic<int> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / (prefix + "-" + std::to_string(platform().processId()) + "-" +
                            std::to_string(counter++) + "-" + std::to_string(platform().now() % 100000));
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

    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Restores every process-wide logging and rotation setting a test may change.
class LogSettingsScope {
public:
    LogSettingsScope()
        : debugLevel_(debugLevel()), severity_(severityFilter()), timeMode_(timeMode()), catalogue_(catalogue()),
          scheme_(rotationScheme()), interval_(rotationInterval()), size_(rotationSize()),
          messages_(agentMessages()), application_(logApplicationName()), initPending_(initRotationPending()) {}
    ~LogSettingsScope() {
        setDebugLevel(debugLevel_);
        setSeverityFilter(severity_);
        setTimeMode(timeMode_);
        setCatalogue(catalogue_);
        setRotationScheme(scheme_);
        setRotationInterval(interval_);
        setRotationSize(size_);
        setAgentMessages(messages_);
        setApplicationName(application_);
        if (initPending_) armInitRotation();
        else clearInitRotation();
    }
    LogSettingsScope(const LogSettingsScope&) = delete;
    LogSettingsScope& operator=(const LogSettingsScope&) = delete;

private:
    int32_t debugLevel_, severity_, timeMode_;
    const LogCommons* catalogue_;
    uint32_t scheme_;
    TimeSpan interval_;
    int32_t size_;
    bool messages_;
    std::string application_;
    bool initPending_;
};

// Keeps the lines it is given.
class CaptureAgent : public LoggerAgent {
public:
    std::string location() const override { return "memory"; }
    bool write(const std::string& line) override {
        lines.push_back(line);
        return answer;
    }
    std::vector<std::string> lines;
    bool answer = true;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The lines of a log file, split at CR LF.
inline std::vector<std::string> logLines(const std::string& path) {
    const std::string text = readFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// 2013-04-05T06:07:08Z.
constexpr int64_t sampleMoment = 1365142028;

}  // namespace Quilna::LogTest
