#pragma once
// The real hoardscan-collector as a child of an end-to-end test: its standard error (and output,
// unless that goes elsewhere) kept in a file, ended by the test or at the latest by SIGKILL.

#include <string>
#include <utility>
#include <vector>

#include "RunControl.h"
#include "text/StringUtils.h"

namespace Quilna::EndToEnd {

class CollectorProcess : public TestSupport::ChildProcess {
public:
    static std::string program() {
        return (fs::path(HOARDSCAN_PROGRAM).parent_path() / "hoardscan-collector").string();
    }
    // The name each collected line starts with.
    static std::string host() {
        std::string name;
        platform().computerName(name);
        return StringUtils::toUpper(name);
    }
    // The lines of a collector's output without that name (a line that lacks it stays whole).
    static std::vector<std::string> collectedLines(const std::string& output) {
        std::vector<std::string> lines = logLines(output);
        for (std::string& line : lines)
            if (line.starts_with(host() + " ")) line.erase(0, host().size() + 1);
        return lines;
    }

    // words: the collector and its arguments, or a wrapper that starts it; environment: for it alone.
    CollectorProcess(std::vector<std::string> words, std::string errors, const std::string& standardOutput = "",
                     std::vector<std::pair<std::string, std::string>> environment = {}, rlim_t addressSpace = 0)
        : ChildProcess(std::move(words), {standardOutput.empty() ? errors : standardOutput,
                                          standardOutput.empty() ? "" : errors,
                                          std::move(environment),
                                          "",
                                          {},
                                          addressSpace == RLIM_INFINITY ? 0 : addressSpace}),
          errors_(std::move(errors)) {}

    pid_t pid() const { return id(); }
    // Ready once it has said so on standard error; false when it ended instead.
    bool ready() const {
        eventually([&] { return errors().find("receiving on mailslot") != std::string::npos || ended(); }, 10s);
        return !ended() && errors().find("receiving on mailslot") != std::string::npos;
    }
    std::string errors() const { return TestSupport::TestDirectory::readFile(errors_); }
    // Its view of a path, which differs inside a mount namespace of its own: only while it runs.
    std::string inside(const std::string& path) const { return "/proc/" + std::to_string(pid()) + "/root" + path; }

private:
    std::string errors_;
};

}  // namespace Quilna::EndToEnd
