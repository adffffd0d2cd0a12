#pragma once
// State of the POSIX backend, shared by its slice files.

#include <string>

#include "platform/NativePlatform.h"
#include "platform/posix/MountTable.h"

namespace Quilna {

struct NativePlatform::Impl {
    // The current directory as set by the last setCurrentDirectory; full paths of relative
    // names are built from it without asking the system for every file.
    std::string currentDirectory;
    bool currentDirectoryKnown = false;
    // The mounts as last read from /proc/self/mountinfo; read again by logicalDrives.
    MountTable mounts;
};

}  // namespace Quilna
