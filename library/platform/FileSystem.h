#pragma once
// Files and directories: path syntax, status, listing, and the file operations.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileAttribute.h"

namespace Quilna {

// How paths are written on this platform.
struct PathSyntax {
    char separator = '/';               // the separator written
    bool backslashIsSeparator = false;  // "\" and "/" both read as separators
    bool driveLetters = false;          // "C:" roots and ":\" in absolute paths
    bool networkPaths = false;          // "\\server\share" paths
    bool caseInsensitive = false;       // paths compare without case
};

// One entry of a directory listing, in enumeration order.
struct DirEntry {
    std::string name;
    bool isFile = true;  // false for directories
};

// Identity of a file or directory: (device, inode) on POSIX, (volume serial, file index) on Windows.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What one status call tells about a path. Times are seconds since 1970-01-01 UTC.
struct FileInfo {
    bool exists = false;
    std::string fullPath;      // the current directory joined with a relative name, links not resolved
    uint64_t size = 0;         // 0 for directories
    uint16_t attributes = 0;   // FileAttribute bits
    int64_t created = 0;
    int64_t accessed = 0;
    int64_t modified = 0;
    bool hasAllocated = false; // allocated bytes known from the same call
    uint64_t allocated = 0;
    bool hasOwnerId = false;   // owner known from the same call (POSIX uid)
    uint32_t ownerId = 0;
    bool hasIdentity = false;
    FileIdentity identity;
};

// Operations that fail tell why through SystemServices::lastError.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual const PathSyntax& pathSyntax() = 0;
    virtual bool fileInfo(const std::string& path, FileInfo& out) = 0;   // one status call, links not followed
    virtual bool directoryIdentity(const std::string& path, FileIdentity& out) = 0;
    // Entries matching a pattern of "*" and "?", "." and ".." included, in enumeration order.
    virtual bool listDirectory(const std::string& directory, const std::string& pattern,
                               std::vector<DirEntry>& out) = 0;
    // The same entries handed to visit one at a time, so that a huge directory is never held
    // whole; visit returns false to stop early. By default the listing is taken whole first.
    virtual bool visitDirectory(const std::string& directory, const std::string& pattern,
                                const std::function<bool(const DirEntry&)>& visit);
    virtual bool currentDirectory(std::string& out) = 0;                // without a final separator
    virtual bool setCurrentDirectory(const std::string& path) = 0;
    // Tells the backend what the current directory is, where the caller has made sure of it
    // (a walk that entered a subdirectory and found the identity it listed): the backend need
    // not ask the system. Backends that keep the text anyway ignore it.
    virtual void confirmCurrentDirectory(const std::string& /*path*/) {}
    virtual bool copyFile(const std::string& from, const std::string& to, bool overwrite) = 0;
    virtual bool moveFile(const std::string& from, const std::string& to, bool replace) = 0;
    virtual bool deleteFile(const std::string& path) = 0;
    virtual bool createDirectory(const std::string& path) = 0;
    virtual bool setAttributes(const std::string& path, uint16_t attributes) = 0;
    virtual bool syncFile(const std::string& path) = 0;                  // flush to stable storage
    virtual bool truncateFile(const std::string& path, uint64_t size) = 0;  // cut a file to size bytes
};

}  // namespace Quilna
