#pragma once
// Drive and mount point paths compared as the platform compares paths.

#include <string>

#include "platform/PathSyntax.h"

namespace Quilna::DrivePaths {

// Without trailing separators, and without case where paths have none.
std::string comparable(const PathSyntax& syntax, const std::string& path);

}  // namespace Quilna::DrivePaths
