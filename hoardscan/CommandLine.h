#pragma once
// The command-line splitter: turns the command text into (option name, value) pairs.

#include <string>
#include <utility>
#include <vector>

namespace Quilna::CommandLine {

using Options = std::vector<std::pair<std::string, std::string>>;

// Blanks are space, tab, line feed and carriage return; quotes are " and '; '-' starts a
// one-character option name, "--" a long one. A value that holds a '-' must be quoted.
Options split(const std::string& text);

}  // namespace Quilna::CommandLine
