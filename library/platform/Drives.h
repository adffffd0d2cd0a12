#pragma once
// Drives and sizes: which drives there are, their types, and the space files take on them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/RawVolume.h"
#include "platform/SystemError.h"

namespace Quilna {

// Drive types as the system reports them for a root.
namespace DriveType {
constexpr int Unknown = 0;
constexpr int NoRootDir = 1;
constexpr int Removable = 2;
constexpr int Fixed = 3;
constexpr int Remote = 4;
constexpr int CdRom = 5;
constexpr int RamDisk = 6;
}  // namespace DriveType

class Drives {
public:
    virtual ~Drives() = default;

    virtual bool logicalDrives(std::vector<std::string>& roots, SystemError& error) = 0;
    virtual int driveType(const std::string& root) = 0;
    virtual bool clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) = 0;
    virtual bool compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) = 0;
    virtual bool isMountPoint(const std::string& directory) = 0;
    // The mount point that the system's configuration names (/etc/fstab) for the place of path,
    // when nothing is mounted there now: what is made at path would land on the file system
    // below it. Empty when the path's mount is in place (always where drives are letters).
    virtual std::string unmountedMountPointAbove(const std::string&) { return std::string(); }
    // The volume beneath the file system mounted at `root` (a drive root on Windows), opened
    // read-only; null when it cannot be, the error's detail saying what stood in the way.
    virtual std::unique_ptr<RawVolume> openRawVolume(const std::string& root, SystemError& error) = 0;
};

}  // namespace Quilna
