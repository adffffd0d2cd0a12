#pragma once
// What a log file agent needs below one temporary directory.

#include <filesystem>

#include "logger/RotationSettings.h"
#include "support/CapturedLog.h"
#include "support/FakePlatform.h"
#include "support/ProcessWideBackend.h"
#include "support/TestDirectory.h"
#include "support/TestRegistryKey.h"

namespace Quilna::LogTest {

// Own registry, runtime directory and resource key; no rotation or housekeeping lines; settings restored.
struct AgentScope {
    AgentScope() {
        std::filesystem::create_directories(dir.child("registry"));
        std::filesystem::create_directories(dir.child("runtime"));
        fake.environment["QUILNA_REGISTRY_ROOT"] = dir.child("registry");
        fake.environment["QUILNA_RUNTIME_DIR"] = dir.child("runtime");
        fake.environment["QUILNA_ENV"] = TestSupport::uniqueResourceKey();
        setApplicationName("Hoardscan");
        setRotationScheme(0);
        setAgentMessages(false);
    }

    TestSupport::TestDirectory dir;
    FakePlatform fake;
    ProcessWideBackend installed{fake};  // the records are stamped by the process's clock
    TestSupport::LogStateScope settings;
};

// 2013-04-05T10:30:00Z.
constexpr int64_t kHalfPastTen = 1365157800;

}  // namespace Quilna::LogTest
