#pragma once
// A run's working and temp directories in a fresh directory, a log, tallies and process id.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hoardscan/RulesTestSupport.h"
#include "hoardscan/ScanSettings.h"
#include "hoardscan/Tallies.h"
#include "support/TestDirectory.h"

namespace Quilna {

struct ResultFilesFixture : ::testing::Test {
    ResultFilesFixture() {
        settings.workingDirectory = directory.text() + "/work/";
        settings.tempDirectory = directory.text() + "/side/";
        std::filesystem::create_directory(settings.workingDirectory);
        std::filesystem::create_directory(settings.tempDirectory);
    }
    // The names in a folder, sorted.
    static std::vector<std::string> names(const std::string& folder) {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    static std::string read(const std::string& path) { return TestSupport::TestDirectory::readFile(path); }

    TestSupport::TestDirectory directory;
    ScanSettings settings;
    RulesTest::TestLog log{1};
    Tallies tallies;
    const uint32_t pid = 4242;
};

}  // namespace Quilna
