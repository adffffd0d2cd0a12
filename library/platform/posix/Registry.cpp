// POSIX: registry keys are .reg files below $QUILNA_REGISTRY_ROOT.
#include "platform/posix/PosixImpl.h"

namespace Quilna {

// Not yet implemented: filled in with the installation resources.
int NativePlatform::readRegistry(const std::string&, const std::string&, bool, uint32_t&, std::string&) { return 2; }
bool NativePlatform::writeRegistryString(const std::string&, const std::string&, const std::string&, bool) { return false; }

}  // namespace Quilna
