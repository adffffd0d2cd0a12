#pragma once
// The program's file-system vocabulary: a thin layer over the platform's file operations.
// Nothing here throws or logs; every failure is a false or empty result.

#include <cstdint>
#include <string>
#include <vector>

#include "files/FileStatus.h"
#include "platform/Platform.h"

namespace Quilna::FileOps {

// An existing file, directory or (Windows) drive such as "C:"; one trailing separator is ignored.
bool exists(FileSystem& files, Drives& drives, const std::string& path);
// The current directory ending in the platform separator; empty on failure. Relative settings
// are anchored to it at start.
std::string currentDirectory(FileSystem& files);
// Fills the record from one status call; false (exists false) when the path is not found.
// The size comes from the status call, never by opening the file.
bool fileStatus(FileSystem& files, const std::string& path, FileStatus& status);
// The record of what a status call told (found false: nothing was found); info is used up.
bool statusOf(bool found, FileInfo& info, FileStatus& status);
// "\\DOMAIN\account", or the bare account for the "BUILTIN" domain. Server empty: this computer.
bool fileOwner(Accounts& accounts, const std::string& path, std::string& owner,
               const std::string& server = std::string());
// The same text from the owner id of a FileStatus (hasOwnerId), without touching the file.
bool ownerById(Accounts& accounts, uint32_t ownerId, std::string& owner);
// The owner text of a domain and account as the lookups give them.
std::string ownerText(const std::string& domain, const std::string& account);
// One level only.
bool createDirectory(FileSystem& files, const std::string& path);
// Every entry in enumeration order, "." and ".." included; empty when the directory cannot be
// listed. An empty directory text is the current one.
std::vector<DirEntry> listDirectory(FileSystem& files, const std::string& directory);
bool deleteFile(FileSystem& files, const std::string& path);
// Up to six attempts, 2 seconds apart.
bool renameFile(FileSystem& files, SystemServices& services, const std::string& from, const std::string& to,
                bool replace);
bool setAttributes(FileSystem& files, const std::string& path, uint16_t attributes);
// Flushes a file's data to stable storage.
bool syncFile(FileSystem& files, const std::string& path);
// Cuts a file to its first size bytes.
bool truncateFile(FileSystem& files, const std::string& path, uint64_t size);

constexpr int renameAttempts = 6;
constexpr uint32_t renamePauseMs = 2000;

}  // namespace Quilna::FileOps
