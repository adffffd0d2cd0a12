#include "hoardscan/facts/DriveCheck.h"

#include "hoardscan/app/MessageNumbers.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

namespace {

const char* driveTypeWord(int type) {
    switch (type) {
        case DriveType::Removable: return "removable";
        case DriveType::Fixed: return "fixed";
        case DriveType::Remote: return "remote";
        case DriveType::CdRom: return "cdrom";
        case DriveType::RamDisk: return "ramdisk";
        default: return nullptr;
    }
}

}  // namespace

std::string DriveCheck::driveType(const std::string& root) {
    const int type = drives_.driveType(root);
    if (const char* word = driveTypeWord(type)) {
        if (LoggerUnit::isDebugOn(3)) logger_.debug(3, "   Got drive type: %s.", ParamStream() << word);
        return word;
    }
    if (type == DriveType::Unknown) logger_.warning(Message::DriveTypeUnknown, ParamStream() << root);
    else if (type == DriveType::NoRootDir) logger_.warning(Message::NoRootDirectory, ParamStream() << root);
    else logger_.error(Message::UnexpectedDriveType, ParamStream() << type << root);
    return std::string();
}

std::string DriveCheck::pathRoot(const std::string& path) const {
    if (!syntax_.driveLetters) return std::string();
    const size_t colon = path.find(':');
    return colon == std::string::npos ? std::string() : path.substr(0, colon + 1);
}

std::string DriveCheck::pathRoot(const std::string& directory, const std::string& name) const {
    if (!syntax_.driveLetters) return std::string();
    if (directory.find(':') != std::string::npos) return pathRoot(directory);
    return pathRoot(directory + name);
}

void DriveCheck::sizesOf(const std::string& currentDirectory, const std::string& name, int64_t& logical,
                         int64_t& physical, const FileStatus& status) {
    logical = status.exists ? static_cast<int64_t>(status.size) : 0;
    physical = physicalSizeOf(currentDirectory, name, status);
    if (physical < 0) physical = logical;
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Logicalsize=%f, Physicalsize=%f.",
                      ParamStream() << static_cast<double>(logical) << static_cast<double>(physical));
}

int64_t DriveCheck::physicalSizeOf(const std::string& currentDirectory, const std::string& name,
                                   const FileStatus& status) {
    if (status.attributes & FileAttribute::Compressed) return compressedSizeOf(currentDirectory + name);
    if (!status.exists) return 0;
    // A sparse file takes only the blocks it has, and a symbolic link what the system gives it:
    // rounding their sizes up would charge space nobody uses. Where the status call does not
    // tell the allocation, the compressed-size query does (it covers sparse files).
    if (status.attributes & (FileAttribute::Sparse | FileAttribute::Link)) {
        if (status.hasAllocated) return static_cast<int64_t>(status.allocated);
        if (status.attributes & FileAttribute::Sparse) return compressedSizeOf(currentDirectory + name);
    }
    const std::string root = pathRoot(currentDirectory, name);
    // Without a drive root (POSIX paths, network paths) the volume is asked through the directory.
    const uint64_t cluster = clusterSizeOf(root, root.empty() ? currentDirectory : root);
    const uint64_t size = status.size;
    if (cluster == noClusterSize || cluster == 0) return static_cast<int64_t>(size);
    const uint64_t rest = size % cluster;
    return static_cast<int64_t>(rest == 0 ? size : size + cluster - rest);
}

void DriveCheck::enterDirectory(uint64_t volume) {
    if (!volumeKnown_ || volume != volume_ || clusterSize_ == noClusterSize) clusterKnown_ = false;
    volumeKnown_ = true;
    volume_ = volume;
}

uint32_t DriveCheck::clusterSizeOf(const std::string& root, const std::string& asked) {
    if (clusterKnown_ && root == clusterRoot_) return clusterSize_;
    uint32_t bytes = 0;
    SystemError error;
    if (drives_.clusterSize(asked, bytes, error)) {
        clusterSize_ = bytes;
    } else {
        clusterSize_ = noClusterSize;
        logger_.warning(Message::SizeUnavailable, ParamStream() << asked << error.code);
    }
    clusterRoot_ = root;
    clusterKnown_ = true;
    return clusterSize_;
}

int64_t DriveCheck::compressedSizeOf(const std::string& path) {
    uint64_t bytes = 0;
    SystemError error;
    if (!drives_.compressedSize(path, bytes, error)) {
        logger_.warning(Message::SizeUnavailable, ParamStream() << path << error.code);
        return -1;
    }
    return static_cast<int64_t>(bytes);
}

}  // namespace Quilna
