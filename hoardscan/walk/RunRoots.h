#pragma once
// The roots a run walks, shared by both ways of reading a file system: a mount point met among
// them is a file system of its own, walked or read when its turn comes, never entered from above.

#include <string>
#include <unordered_set>
#include <vector>

#include "platform/PathSyntax.h"

namespace Quilna {

class LoggerUnit;

class RunRoots {
public:
    RunRoots(const PathSyntax& syntax, LoggerUnit& logger) : syntax_(syntax), logger_(logger) {}

    void assign(const std::vector<std::string>& roots);
    // The debug line (level 3) for a mount point that the walk does not enter.
    void tellMountPoint(const std::string& mountPoint) const;

private:
    const PathSyntax& syntax_;
    LoggerUnit& logger_;
    std::unordered_set<std::string> roots_;  // comparable (DrivePaths)
};

}  // namespace Quilna
