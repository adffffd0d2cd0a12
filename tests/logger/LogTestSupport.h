#pragma once
// Helpers for the logging tests: the shared test directory, logging scope and memory agent
// under the names these tests use, and log file reading.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "logger/LogState.h"
#include "logger/RotationSettings.h"
#include "support/FakePlatform.h"
#include "support/CapturedLog.h"
#include "support/TestDirectory.h"
#include "support/TestRegistryKey.h"

namespace Quilna::LogTest {

// A fresh directory for one test, removed with its content.
class TempDir : private TestSupport::TestDirectory {
public:
    std::string path() const { return text(); }
    std::string file(const std::string& name) const { return child(name); }
};

using LogSettingsScope = TestSupport::LogStateScope;
using CaptureAgent = TestSupport::MemoryAgent;

// What a log file agent needs below one temporary directory: the registry and runtime
// directories and a resource key of its own; the application "Hoardscan", no rotation, no
// housekeeping lines. The logging settings are restored afterwards.
struct AgentScope {
    AgentScope() {
        std::filesystem::create_directories(dir.file("registry"));
        std::filesystem::create_directories(dir.file("runtime"));
        fake.environment["QUILNA_REGISTRY_ROOT"] = dir.file("registry");
        fake.environment["QUILNA_RUNTIME_DIR"] = dir.file("runtime");
        fake.environment["QUILNA_ENV"] = TestSupport::uniqueResourceKey();
        setApplicationName("Hoardscan");
        setRotationScheme(0);
        setAgentMessages(false);
    }

    TempDir dir;
    FakePlatform fake;
    LogSettingsScope settings;
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
