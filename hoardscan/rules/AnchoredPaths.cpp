#include "hoardscan/rules/AnchoredPaths.h"

#include "files/FileOps.h"
#include "files/FileUtils.h"

namespace Quilna::AnchoredPaths {

bool isAbsolute(const PathSyntax& syntax, const std::string& path) {
    if (path.empty()) return false;
    if (FileUtils::isSeparator(syntax, path[0])) return true;
    return syntax.driveLetters && path.size() >= 3 && path[1] == ':' && FileUtils::isSeparator(syntax, path[2]);
}

std::string anchored(FileSystem& files, const std::string& path) {
    if (path.empty() || isAbsolute(files.pathSyntax(), path)) return path;
    std::string current = FileOps::currentDirectory(files);
    if (current.empty()) return path;
    return current + path;
}

}  // namespace Quilna::AnchoredPaths
