#pragma once
// The whole operating-system boundary of the program. Everything above library/platform/
// reaches the system only through the one process-wide Platform object, whose operations are
// grouped by concern, one header each. Failures are told in the portable words of
// SystemError; the native code travels along for messages only.

#include "platform/Accounts.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "platform/Mailslots.h"
#include "platform/Registry.h"
#include "platform/SystemServices.h"

namespace Quilna {

class Platform : public SystemServices,
                 public Drives,
                 public FileSystem,
                 public Accounts,
                 public Registry,
                 public Locks,
                 public Mailslots {};

// The process-wide backend: the native one unless a test installed another.
Platform& platform();
// Installs a backend (not owned) for the whole process; nullptr restores the native one.
void installPlatform(Platform* backend);

}  // namespace Quilna
