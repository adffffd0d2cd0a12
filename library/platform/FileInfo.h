#pragma once
#include <cstdint>
#include <string>

#include "platform/FileIdentity.h"

namespace Quilna {

// What one status call tells about a path. Times are seconds since 1970-01-01 UTC.
struct FileInfo {
    bool exists = false;
    std::string fullPath;     // the directory's path joined with the name, links not resolved
    uint64_t size = 0;        // 0 for directories
    uint16_t attributes = 0;  // FileAttribute bits
    int64_t created = 0;
    int64_t accessed = 0;
    int64_t modified = 0;
    bool hasAllocated = false;  // allocated bytes known from the same call
    uint64_t allocated = 0;
    bool hasOwnerId = false;  // owner known from the same call (POSIX uid)
    uint32_t ownerId = 0;
    bool hasIdentity = false;
    FileIdentity identity;
    // Hard links to the file, from the same call; 1 where the call does not tell (the Win32
    // listing), so that every link is charged there.
    uint32_t links = 1;
    // Where the status carries no owner id (Windows), the owner may have been asked ahead:
    // OwnerLookup::Found with the owner's text, or NotFound.
    int ownerLookup = 0;
    std::string owner;
};

namespace OwnerLookup {
constexpr int NotAsked = 0;
constexpr int Found = 1;
constexpr int NotFound = 2;
}  // namespace OwnerLookup

}  // namespace Quilna
