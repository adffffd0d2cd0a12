// Every number a logging call names (a constant of MessageNumbers.h or of the file, or a
// literal) has its text in the shipped LogMessages/, looked up per module as the program does.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>

#include "logger/LogCommons.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

std::map<std::string, int32_t> int32Constants(const std::string& text) {
    static const std::regex constant(R"(constexpr\s+int32_t\s+(\w+)\s*=\s*(\d+)\s*;)");
    std::map<std::string, int32_t> found;
    for (std::sregex_iterator at(text.begin(), text.end(), constant), end; at != end; ++at)
        found[(*at)[1]] = std::stoi((*at)[2]);
    return found;
}

TEST(MessageCatalogue, EveryNumberTheCodeLogsHasItsText) {
    const fs::path source = QUILNA_SOURCE_DIR;
    LogCommons catalogue;
    ASSERT_TRUE(catalogue.loadMessages((source / "examples/installation/").string(), "all").status);
    const auto programMessages =
        int32Constants(TestSupport::TestDirectory::readFile((source / "hoardscan/MessageNumbers.h").string()));
    // The logger's own functions hand their caller's number on.
    const std::set<std::string> forwarded = {"id", "summaryMessage"};
    static const std::regex call(R"(\b(?:notice|warning|error|critical|fatal|reportRepeats)\(\s*([\w:]+)\s*[,)])");
    int calls = 0;
    for (const char* top : {"library", "hoardscan", "tools", "programs"}) {
        if (!fs::exists(source / top)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(source / top)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            const std::string text = TestSupport::TestDirectory::readFile(entry.path().string());
            const auto fileConstants = int32Constants(text);
            for (std::sregex_iterator at(text.begin(), text.end(), call), end; at != end; ++at) {
                const std::string name = (*at)[1];
                if (forwarded.count(name)) continue;
                const std::string where = fs::relative(entry.path(), source).string() + ": " + name;
                std::optional<int32_t> number;
                // The program logs as the Storage module; the configuration reader's files as the
                // Configuration module, through its own unit.
                const bool configuration = entry.path().filename().string().rfind("Conf", 0) == 0;
                int32_t module = configuration ? Module::Configuration : Module::Storage;
                if (name.rfind("Message::", 0) == 0) {
                    if (const auto found = programMessages.find(name.substr(9)); found != programMessages.end())
                        number = found->second;
                    module = Module::Storage;
                } else if (const auto found = fileConstants.find(name); found != fileConstants.end()) {
                    number = found->second;
                } else if (std::regex_match(name, std::regex(R"(\d+)"))) {
                    number = std::stoi(name);
                }
                ASSERT_TRUE(number) << where << ": the message number of this logging call is not found";
                std::string template_;
                EXPECT_TRUE(catalogue.findMessage(module, *number, template_))
                    << where << " logs message " << *number << " of module " << LogCommons::moduleName(module)
                    << ", which has no text in LogMessages/";
                ++calls;
            }
        }
    }
    EXPECT_GE(calls, 50) << "the logging calls were not found";
}

}  // namespace
}  // namespace Quilna
