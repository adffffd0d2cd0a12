#pragma once
// What one status call tells about a file: the record the walk, the size and temperature
// rules read. The extra facts (allocated bytes, owner id, identity) come from the same call,
// so nobody needs to ask the system twice about one file.

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace Quilna {

struct FileStatus {
    bool exists = false;
    std::string fullPath;
    uint64_t size = 0;        // 0 for a directory
    uint16_t attributes = 0;  // FileAttribute bits
    // Seconds since 1970 in the range the result files can write (1970 to early 2038): a text
    // is made of them only where one is written.
    int64_t created = 0;
    int64_t accessed = 0;
    int64_t modified = 0;

    bool hasAllocated = false;
    uint64_t allocated = 0;  // bytes allocated on the volume
    bool hasOwnerId = false;
    uint32_t ownerId = 0;  // POSIX uid; see FileOps::ownerById
    bool hasIdentity = false;
    FileIdentity identity;
    uint32_t links = 1;                       // hard links, see FileInfo
    int ownerLookup = OwnerLookup::NotAsked;  // the owner asked ahead (Windows), see FileInfo
    std::string owner;

    bool isDirectory() const { return (attributes & FileAttribute::Directory) != 0; }
};

}  // namespace Quilna
