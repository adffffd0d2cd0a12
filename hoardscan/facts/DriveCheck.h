#pragma once
// The scan engine's operations that rest directly on the system's drives: the file-system
// name under which a root is investigated, the root of a path, and a file's logical and
// physical size (the space it takes: its size rounded up to whole clusters; the compressed size
// of a compressed file; the allocated bytes of a sparse file or a symbolic link).

#include <cstdint>
#include <string>

#include "files/FileStatus.h"
#include "platform/Drives.h"
#include "platform/PathSyntax.h"

namespace Quilna {

class LoggerUnit;

class DriveCheck {
public:
    static constexpr uint32_t noClusterSize = 0xFFFFFFFF;

    DriveCheck(Drives& drives, const PathSyntax& syntax, LoggerUnit& logger)
        : drives_(drives), syntax_(syntax), logger_(logger) {}

    // "removable", "fixed", "remote", "cdrom" or "ramdisk"; empty for a root not investigated.
    std::string driveType(const std::string& root);
    // The prefix up to and including the first ":" ("C:" of C:\dir\file); empty where paths
    // have no drive letters, or when the path holds no ":".
    std::string pathRoot(const std::string& path) const;
    // The same for a name of a directory (the current directory text, ending in a separator).
    std::string pathRoot(const std::string& directory, const std::string& name) const;

    // The cluster size cannot change within a directory: it is asked once per directory the
    // walk enters, not per file. A directory of a volume known by its identity keeps the size
    // that the last directory of the same volume was given (one file system has one cluster
    // size); a failure is asked again, and reported, in the next directory.
    void enterDirectory() {
        clusterKnown_ = false;
        volumeKnown_ = false;
    }
    void enterDirectory(uint64_t volume);

    // Sizes of a file of the current directory from the walk's one status of it.
    void sizesOf(const std::string& currentDirectory, const std::string& name, int64_t& logical, int64_t& physical,
                 const FileStatus& status);
    // -1 when the compressed size cannot be read (the logical size is taken then).
    int64_t physicalSizeOf(const std::string& currentDirectory, const std::string& name, const FileStatus& status);
    // noClusterSize when the system cannot tell (reported once per directory).
    // Cached by root; asked of the system through the path asked.
    uint32_t clusterSizeOf(const std::string& root, const std::string& asked);
    // -1 on failure (reported).
    int64_t compressedSizeOf(const std::string& path);

private:
    Drives& drives_;
    const PathSyntax& syntax_;
    LoggerUnit& logger_;
    bool clusterKnown_ = false;
    std::string clusterRoot_;
    uint32_t clusterSize_ = noClusterSize;
    bool volumeKnown_ = false;
    uint64_t volume_ = 0;
};

}  // namespace Quilna
