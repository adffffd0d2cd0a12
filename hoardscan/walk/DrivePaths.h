#pragma once
// Drive and mount point paths compared as the platform compares paths.

#include <string>

namespace Quilna::DrivePaths {

// Without trailing separators, and without case where paths have none.
std::string comparable(const std::string& path);

}  // namespace Quilna::DrivePaths
