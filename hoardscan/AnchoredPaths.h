#pragma once
// The walk keeps its position as the process's current directory, so a relative path taken
// from outside (a setting, an environment variable) would name another file once the walk has
// moved. Such paths are pinned to the directory the program started in before the walk begins.

#include <string>

namespace Quilna::AnchoredPaths {

// Begins with a separator, or (where drive letters exist) with a drive and a separator.
bool isAbsolute(const std::string& path);
// The path itself when absolute or empty; otherwise joined to the current directory.
std::string anchored(const std::string& path);
// Pins the environment variables that name directories of the installation
// (QUILNA_REGISTRY_ROOT, QUILNA_RUNTIME_DIR) when they are relative.
void anchorEnvironment();

}  // namespace Quilna::AnchoredPaths
