#pragma once
// The report tool's command line: a command, its options ("--name value", "--name=value",
// or a bare "--flag") and its operands, checked against the options the command knows.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna {

class CommandLine {
public:
    // Throws a usage ReportError for an unknown command or option, or a missing value.
    explicit CommandLine(const std::vector<std::string>& arguments);

    // Empty when only program options were given.
    const std::string& command() const { return command_; }
    bool helpWanted() const { return help_; }
    std::optional<std::string> option(std::string_view name) const;
    bool flag(std::string_view name) const { return option(name).has_value(); }
    const std::vector<std::string>& operands() const { return operands_; }

private:
    struct Option {
        std::string name;
        std::string value;
    };

    std::string command_;
    bool help_ = false;
    std::vector<Option> options_;
    std::vector<std::string> operands_;
};

}  // namespace Quilna
