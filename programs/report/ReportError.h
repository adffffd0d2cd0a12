#pragma once
// A failure that ends a command, with the exit code the program gives for it: 1 for a
// command line that cannot be carried out as written, 2 for data or a database at fault.

#include <stdexcept>
#include <string>

namespace Quilna {

class ReportError : public std::runtime_error {
public:
    static constexpr int usageExit = 1;
    static constexpr int dataExit = 2;

    static ReportError usage(const std::string& message) { return ReportError(usageExit, message); }
    static ReportError data(const std::string& message) { return ReportError(dataExit, message); }

    int exitCode() const { return exitCode_; }

private:
    ReportError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}

    int exitCode_;
};

}  // namespace Quilna
