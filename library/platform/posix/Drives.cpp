// POSIX: drives are mount points; sizes from statvfs and the status call.
#include "platform/posix/PosixImpl.h"

namespace Quilna {

// Not yet implemented: filled in with the scanner.
bool NativePlatform::logicalDrives(std::vector<std::string>&, uint32_t& error) { error = 1; return false; }
int NativePlatform::driveType(const std::string&) { return DriveType::Unknown; }
bool NativePlatform::clusterSize(const std::string&, uint32_t&, uint32_t& error) { error = 1; return false; }
bool NativePlatform::compressedSize(const std::string&, uint64_t&, uint32_t& error) { error = 1; return false; }
bool NativePlatform::isMountPoint(const std::string&) { return false; }

}  // namespace Quilna
