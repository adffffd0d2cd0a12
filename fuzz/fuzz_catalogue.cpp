// A message file of the catalogue (storage.mess), read as the program reads it from the
// installation's LogMessages directory. A line that is not valid UTF-8 is read as Windows-1252.
// Every line that is neither blank nor a comment counts; the first template of a message number
// stays, trimmed of blanks and control bytes; a line without a colon is a number with an empty
// template. The loaded templates expand.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "FuzzCheck.h"
#include "logger/LogCommons.h"
#include "platform/Platform.h"
#include "text/StringUtils.h"
#include "text/TextEncoding.h"

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

// Blanks and control bytes trimmed.
std::string trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    return text.substr(begin, end - begin);
}

// What the file should give: message number to template, and the count of message lines.
std::map<int32_t, std::string> expectedOf(const std::string& content, int32_t& lines) {
    std::map<int32_t, std::string> templates;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line;
        for (size_t i = start; i < end; ++i)
            if (content[i] != '\r') line += content[i];
        start = end + 1;
        if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        if (!TextEncoding::isValidUtf8(line)) line = TextEncoding::windows1252ToUtf8(line);
        if (trim(line).empty() || line.compare(0, 2, "//") == 0) continue;
        const size_t colon = line.find(':');
        const int32_t number = StringUtils::toInt32(trim(line.substr(0, colon)));
        templates.emplace(number, colon == std::string::npos ? std::string() : trim(line.substr(colon + 1)));
        ++lines;
    }
    return templates;
}

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

    int32_t lines = 0;
    const std::map<int32_t, std::string> templates = expectedOf(content, lines);
    require(result.counts[0] == lines, "every message line counts");
    require(catalogue.messageCount() == templates.size(), "one template per message number");
    std::string found;
    for (const auto& [number, text] : templates) {
        require(catalogue.findMessage(Module::Storage, number, found) && found == text, "the first template stays");
        require(!catalogue.findMessage(Module::Configuration, number, found), "templates belong to their file's module");
        const std::string expanded = LogCommons::expandParameters(found, "sC:\\data\x1An42\x1A");
        if (found.find('%') == std::string::npos) require(expanded == found, "a template without directives stays");
    }
    return 0;
}
