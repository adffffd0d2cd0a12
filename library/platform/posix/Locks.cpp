// POSIX: named locks are flocks on files below $QUILNA_RUNTIME_DIR/locks.
#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/posix/PosixImpl.h"

namespace Quilna {

// Not yet implemented: filled in with the file library.
std::unique_ptr<NamedLock> NativePlatform::tryNamedLock(const std::string&) { return nullptr; }
std::unique_ptr<RecursiveLock> NativePlatform::makeRecursiveLock() { return nullptr; }

}  // namespace Quilna
