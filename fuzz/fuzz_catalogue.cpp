// Any message file (storage.mess) loads from the LogMessages directory as the program reads it,
// with at most one template per message line, and any text expands as a template.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "logger/LogCommons.h"
#include "platform/Platform.h"

using namespace Quilna;
using Fuzz::require;

namespace {

// A configuration directory of this process with its LogMessages folder, removed at exit.
class MessageDirectory {
public:
    MessageDirectory()
        : root_(std::filesystem::temp_directory_path() /
                ("quilna-fuzz-catalogue-" + std::to_string(platform().processId()))) {
        std::filesystem::create_directories(root_ / "LogMessages");
    }
    ~MessageDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    std::string configurationDirectory() const { return root_.string() + "/"; }
    void write(const std::string& content) const {
        std::ofstream(root_ / "LogMessages" / "storage.mess", std::ios::binary | std::ios::trunc) << content;
    }

private:
    std::filesystem::path root_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MessageDirectory directory;
    const std::string content = Fuzz::text(data, size);
    directory.write(content);

    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(directory.configurationDirectory(), "storage,configuration");
    require(result.status, "a readable message file loads");
    require(result.loaded.size() == 1 && result.loaded[0] == "storage" && result.rejected.empty(),
            "storage.mess is the one file loaded");

    require(catalogue.messageCount() <= static_cast<size_t>(result.counts[0]), "at most one template per line");
    LogCommons::expandParameters(content, "sC:\\data\x1An42\x1A");
    return 0;
}
