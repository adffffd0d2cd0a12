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
    // A failure that the same work may not meet again: a deadlock between concurrent imports,
    // or a write lock that another import held for too long.
    static ReportError passing(const std::string& message) { return ReportError(dataExit, message, true); }

    int exitCode() const { return exitCode_; }
    bool worthRetrying() const { return worthRetrying_; }

private:
    ReportError(int exitCode, const std::string& message, bool worthRetrying = false)
        : std::runtime_error(message), exitCode_(exitCode), worthRetrying_(worthRetrying) {}

    int exitCode_;
    bool worthRetrying_;
};

}  // namespace Quilna
