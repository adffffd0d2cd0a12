#include "files/FileOps.h"

#include <algorithm>

#include "files/FileUtils.h"
#include "time/DateTime.h"

namespace Quilna::FileOps {

namespace {

bool isSeparator(const PathSyntax& syntax, char c) { return c == '/' || (syntax.backslashIsSeparator && c == '\\'); }

// Platform times are 64-bit; the result files write 1970 to early 2038.
int64_t clampedTime(int64_t utcSeconds) { return std::clamp<int64_t>(utcSeconds, 0, DateTime::largest); }

}  // namespace

bool exists(FileSystem& files, Drives& drives, const std::string& path) {
    if (path.empty()) return false;
    const PathSyntax& syntax = files.pathSyntax();
    std::string trimmed = path;
    // The root itself keeps its separator: stripping it would leave nothing to look up.
    if (trimmed.size() > 1 && isSeparator(syntax, trimmed.back())) trimmed.pop_back();
    if (syntax.driveLetters && trimmed.back() == ':') return drives.driveType(trimmed) != DriveType::Unknown;
    FileStatus status;
    return fileStatus(files, trimmed, status);
}

std::string currentDirectory(FileSystem& files) {
    std::string directory;
    SystemError error;
    if (!files.currentDirectory(directory, error)) return std::string();
    FileUtils::addSeparator(files.pathSyntax(), directory);
    return directory;
}

bool statusOf(bool found, FileInfo& info, FileStatus& status) {
    if (!found || !info.exists) {
        status = FileStatus{};
        return false;
    }
    // Every field is written below.
    status.exists = true;
    status.fullPath = std::move(info.fullPath);
    status.size = info.size;
    status.attributes = info.attributes;
    status.created = clampedTime(info.created);
    status.accessed = clampedTime(info.accessed);
    status.modified = clampedTime(info.modified);
    status.hasAllocated = info.hasAllocated;
    status.allocated = info.allocated;
    status.hasOwnerId = info.hasOwnerId;
    status.ownerId = info.ownerId;
    status.hasIdentity = info.hasIdentity;
    status.identity = info.identity;
    status.links = info.links;
    status.ownerLookup = info.ownerLookup;
    status.owner = std::move(info.owner);
    return true;
}

bool fileStatus(FileSystem& files, const std::string& path, FileStatus& status) {
    FileInfo info;
    SystemError error;
    const bool found = files.fileInfo(path, info, error);
    return statusOf(found, info, status);
}

std::string ownerText(const std::string& domain, const std::string& account) {
    if (domain == "BUILTIN") return account;
    return "\\\\" + domain + "\\" + account;
}

bool fileOwner(Accounts& accounts, const std::string& path, std::string& owner, const std::string& server) {
    std::string domain, account;
    SystemError error;
    if (!accounts.fileOwner(path, server, domain, account, error)) return false;
    owner = ownerText(domain, account);
    return true;
}

bool ownerById(Accounts& accounts, uint32_t ownerId, std::string& owner) {
    std::string domain, account;
    SystemError error;
    if (!accounts.ownerById(ownerId, domain, account, error)) return false;
    owner = ownerText(domain, account);
    return true;
}

bool createDirectory(FileSystem& files, const std::string& path) {
    SystemError error;
    return files.createDirectory(path, error);
}

std::vector<DirEntry> listDirectory(FileSystem& files, const std::string& directory) {
    // A listing cut short by a read error keeps the entries found before it.
    std::vector<DirEntry> entries;
    SystemError error;
    files.listDirectory(directory, entries, error);
    return entries;
}

bool deleteFile(FileSystem& files, const std::string& path) {
    SystemError error;
    return files.deleteFile(path, error);
}

bool renameFile(FileSystem& files, SystemServices& services, const std::string& from, const std::string& to,
                bool replace) {
    SystemError error;
    for (int attempt = 1; attempt <= renameAttempts; ++attempt) {
        if (files.moveFile(from, to, replace, error)) return true;
        if (attempt < renameAttempts) services.sleepMs(renamePauseMs);
    }
    return false;
}

bool setAttributes(FileSystem& files, const std::string& path, uint16_t attributes) {
    SystemError error;
    return files.setAttributes(path, attributes, error);
}

bool syncFile(FileSystem& files, const std::string& path) {
    SystemError error;
    return files.syncFile(path, error);
}

bool truncateFile(FileSystem& files, const std::string& path, uint64_t size) {
    SystemError error;
    return files.truncateFile(path, size, error);
}

}  // namespace Quilna::FileOps
