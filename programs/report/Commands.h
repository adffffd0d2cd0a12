#pragma once
// The report tool's commands: import, summary, html and prune. run() is the whole program
// behind main, so that tests drive it in-process.

#include <ostream>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace Quilna::Commands {

// Exit codes: 0 success, 1 usage error, 2 data error (some file rejected, the database failed,
// or the output could not be written).
int run(Platform& system, const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace Quilna::Commands
