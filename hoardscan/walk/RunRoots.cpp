#include "hoardscan/walk/RunRoots.h"

#include "hoardscan/walk/DrivePaths.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

void RunRoots::assign(const std::vector<std::string>& roots) {
    roots_.clear();
    for (const std::string& root : roots) roots_.insert(DrivePaths::comparable(syntax_, root));
}

void RunRoots::tellMountPoint(const std::string& mountPoint) const {
    if (!LoggerUnit::isDebugOn(3)) return;
    logger_.debug(3,
                  roots_.contains(DrivePaths::comparable(syntax_, mountPoint))
                      ? "Mount point \"%s\" is walked as a file system of its own."
                      : "Mount point \"%s\" is not entered: it is no file system this run walks.",
                  ParamStream() << mountPoint);
}

}  // namespace Quilna
