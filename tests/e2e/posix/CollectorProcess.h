#pragma once
// The real hoardscan-collector as a child of an end-to-end test: its standard error (and output,
// unless that goes elsewhere) kept in a file, ended by the test or at the latest by SIGKILL.

#include <string>
#include <utility>
#include <vector>

#include "RunControl.h"

namespace Quilna::EndToEnd {

class CollectorProcess : public TestSupport::ChildProcess {
public:
    static std::string program() {
        return (fs::path(HOARDSCAN_PROGRAM).parent_path() / "hoardscan-collector").string();
    }

    // words: the collector and its arguments, or a wrapper that starts it; runtime: its runtime directory.
    CollectorProcess(std::vector<std::string> words, const std::string& runtime, std::string errors,
                     const std::string& output = "", rlim_t addressSpace = 0)
        : ChildProcess(std::move(words), {output.empty() ? errors : output,
                                          output.empty() ? "" : errors,
                                          {{"QUILNA_RUNTIME_DIR", runtime}},
                                          "",
                                          {},
                                          addressSpace == RLIM_INFINITY ? 0 : addressSpace}),
          errors_(std::move(errors)) {}

    // Ready once it has said so on standard error; false when it ended instead.
    bool ready() const {
        eventually([&] { return errors().find("receiving on mailslot") != std::string::npos || ended(); }, 10s);
        return !ended() && errors().find("receiving on mailslot") != std::string::npos;
    }
    std::string errors() const { return TestSupport::TestDirectory::readFile(errors_); }

private:
    std::string errors_;
};

}  // namespace Quilna::EndToEnd
