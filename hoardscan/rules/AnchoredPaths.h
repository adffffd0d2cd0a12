#pragma once
// Relative paths of the settings are pinned to the directory the program started in, so that
// the names it logs and writes are whole.

#include <string>

#include "platform/FileSystem.h"

namespace Quilna::AnchoredPaths {

// Begins with a separator, or (where drive letters exist) with a drive and a separator.
bool isAbsolute(const PathSyntax& syntax, const std::string& path);
// The path itself when absolute or empty; otherwise joined to the current directory.
std::string anchored(FileSystem& files, const std::string& path);

}  // namespace Quilna::AnchoredPaths
