#include "report/CommandLine.h"

#include "report/ReportError.h"

#include <algorithm>

namespace Quilna {

namespace {

struct OptionRule {
    std::string_view command;
    std::string_view name;
    bool takesValue;
};

constexpr OptionRule rules[] = {
    {"import", "db", true},    {"import", "pg", true},      {"import", "host", true},  {"import", "jobs", true},
    {"summary", "db", true},   {"summary", "pg", true},     {"summary", "csv", false}, {"summary", "json", false},
    {"summary", "top", true},  {"html", "db", true},        {"html", "pg", true},      {"html", "output", true},
    {"html", "top", true},     {"prune", "db", true},       {"prune", "pg", true},     {"prune", "keep", true},
    {"prune", "before", true}, {"prune", "dry-run", false}, {"summary", "host", true}, {"summary", "account", true},
    {"summary", "user", true}, {"summary", "dir", true},
};

const OptionRule* findRule(std::string_view command, std::string_view name) {
    for (const OptionRule& rule : rules) {
        if (rule.command == command && rule.name == name) return &rule;
    }
    return nullptr;
}

bool isCommand(std::string_view word) {
    return word == "import" || word == "summary" || word == "html" || word == "prune" || word == "help";
}

}  // namespace

CommandLine::CommandLine(const std::vector<std::string>& arguments) {
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            if (command_.empty()) {
                if (!isCommand(argument)) throw ReportError::usage("unknown command \"" + argument + "\"");
                command_ = argument;
            } else {
                operands_.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            help_ = true;
            continue;
        }
        std::string name = argument == "-o" ? "output" : argument.substr(argument.starts_with("--") ? 2 : 1);
        std::optional<std::string> value;
        if (const size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const OptionRule* rule = findRule(command_, name);
        if (!rule) {
            throw ReportError::usage(command_.empty() ? "option " + argument + " before the command"
                                                      : "the " + command_ + " command has no option " + argument);
        }
        if (rule->takesValue && !value) {
            if (i + 1 >= arguments.size()) throw ReportError::usage("option " + argument + " needs a value");
            value = arguments[++i];
        }
        if (!rule->takesValue && value) throw ReportError::usage("option --" + name + " takes no value");
        if (option(name)) throw ReportError::usage("option --" + name + " given twice");
        options_.push_back(Option{name, value.value_or("")});
    }
}

std::optional<std::string> CommandLine::option(std::string_view name) const {
    const auto found =
        std::find_if(options_.begin(), options_.end(), [&](const Option& option) { return option.name == name; });
    if (found == options_.end()) return std::nullopt;
    return found->value;
}

}  // namespace Quilna
