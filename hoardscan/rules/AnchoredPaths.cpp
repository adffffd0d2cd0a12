#include "hoardscan/rules/AnchoredPaths.h"

#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "platform/Platform.h"

namespace Quilna::AnchoredPaths {

bool isAbsolute(const std::string& path) {
    const PathSyntax& syntax = platform().pathSyntax();
    if (path.empty()) return false;
    if (FileUtils::isSeparator(syntax, path[0])) return true;
    return syntax.driveLetters && path.size() >= 3 && path[1] == ':' && FileUtils::isSeparator(syntax, path[2]);
}

std::string anchored(const std::string& path) {
    if (path.empty() || isAbsolute(path)) return path;
    std::string current = FileOps::currentDirectory(platform());
    if (current.empty()) return path;
    return current + path;
}

}  // namespace Quilna::AnchoredPaths
