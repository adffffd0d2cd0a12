#pragma once
// The whole operating-system boundary of the program. Everything above library/platform/
// reaches the system only through the one process-wide Platform object. Where the program's
// logic tests a Windows number (drive types, error codes, NetAPI statuses) the interface
// carries that number, so the logic is written once for every backend.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileAttribute.h"

namespace Quilna {

class NamedLock;
class RecursiveLock;
class MailslotEndpoint;

// Windows numbers the logic above the boundary tests.
namespace SystemCode {
constexpr uint32_t Success = 0;
constexpr uint32_t AccessDenied = 5;          // also a NetAPI status
constexpr uint32_t SharingViolation = 32;     // another process has the file open
constexpr uint32_t InsufficientBuffer = 122;
constexpr uint32_t AlreadyExists = 183;
constexpr uint32_t MoreData = 234;            // also a NetAPI status
constexpr uint32_t NetworkUnreachable = 1231;
constexpr uint32_t NoSuchLocalGroup = 1376;   // NetAPI status
constexpr uint32_t InvalidComputer = 2351;    // NetAPI status
}  // namespace SystemCode

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

// Registry value types.
namespace RegistryType {
constexpr uint32_t String = 1;        // REG_SZ
constexpr uint32_t ExpandString = 2;  // REG_EXPAND_SZ
constexpr uint32_t Dword = 4;         // REG_DWORD
constexpr uint32_t MultiString = 7;   // REG_MULTI_SZ
}  // namespace RegistryType

// How paths are written on this platform.
struct PathSyntax {
    char separator = '/';           // the separator written
    bool backslashIsSeparator = false;  // "\" and "/" both read as separators
    bool driveLetters = false;      // "C:" roots and ":\" in absolute paths
    bool networkPaths = false;      // "\\server\share" paths
    bool caseInsensitive = false;   // paths compare without case
};

// Calendar fields of the C library's local-time conversion.
struct CalendarTime {
    int year = 1970;
    int month = 1;    // 1-12
    int day = 1;      // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0;  // 0 = Monday ... 6 = Sunday
    int isDst = -1;   // >0 daylight saving, 0 standard time, <0 let the library decide
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

// Raw version facts; the naming rules above the boundary turn them into a text.
struct OsVersion {
    bool ntFamily = true;
    uint32_t major = 0;
    uint32_t minor = 0;
    bool workstation = true;
    uint32_t suiteMask = 0;
    int serverR2Metric = 0;   // system metric 89 (second release of a server version)
    std::string name;         // set by platforms that name themselves (POSIX: os-release)
};

class Platform {
public:
    virtual ~Platform() = default;

    // ---- System (System.cpp): clock, zone, environment, process ----
    virtual int64_t now() = 0;                                           // C library clock, UTC seconds
    virtual void initTimeZone() = 0;                                     // tzset
    virtual bool toLocalCalendar(int64_t utcSeconds, CalendarTime& out) = 0;   // localtime
    virtual bool fromLocalCalendar(const CalendarTime& local, int64_t& utcSeconds) = 0;  // mktime
    virtual bool getEnv(const std::string& name, std::string& value) = 0;
    virtual bool setEnv(const std::string& name, const std::string& value) = 0;
    virtual bool unsetEnv(const std::string& name) = 0;
    virtual void sleepMs(uint32_t milliseconds) = 0;
    virtual uint32_t threadId() = 0;
    virtual uint32_t processId() = 0;
    virtual uint32_t lastError() = 0;                                    // errno / GetLastError
    virtual std::string errorText(uint32_t code) = 0;                    // without trailing line end
    [[noreturn]] virtual void exitProcess(int code) = 0;
    // Sets *flag when the session ends or the system shuts down (SIGTERM, SIGHUP; with
    // includeInterrupt also SIGINT / console Ctrl-C).
    virtual void watchStopSignals(std::atomic<bool>* flag, bool includeInterrupt) = 0;

    // ---- System information (System.cpp) ----
    virtual uint32_t processorArchitecture() = 0;   // Windows numbers: 0 i386 ... 9 amd64, 12 arm64
    virtual bool osVersion(OsVersion& out) = 0;
    virtual bool computerName(std::string& out) = 0;
    virtual bool dnsDomain(std::string& out) = 0;
    virtual bool workgroup(std::string& out) = 0;
    virtual bool userName(std::string& out) = 0;
    virtual bool isWow64() = 0;

    // ---- Drives and sizes (Drives.cpp) ----
    virtual bool logicalDrives(std::vector<std::string>& roots, uint32_t& error) = 0;
    virtual int driveType(const std::string& root) = 0;
    virtual bool clusterSize(const std::string& root, uint32_t& bytes, uint32_t& error) = 0;
    virtual bool compressedSize(const std::string& path, uint64_t& bytes, uint32_t& error) = 0;
    virtual bool isMountPoint(const std::string& directory) = 0;

    // ---- Files (Files.cpp) ----
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

    // ---- Accounts (Accounts.cpp) ----
    // Owner of a file as domain and account; server empty for this computer.
    virtual bool fileOwner(const std::string& path, const std::string& server,
                           std::string& domain, std::string& account) = 0;
    // Owner from the id that fileInfo reported (hasOwnerId).
    virtual bool ownerById(uint32_t ownerId, std::string& domain, std::string& account) = 0;
    // NetAPI statuses: 0 success, 5, 234, 1376, 2351, ...
    virtual uint32_t localGroups(std::vector<std::string>& names) = 0;
    // Members written "DOMAIN\name", without the leading "\\".
    virtual uint32_t localGroupMembers(const std::string& group, std::vector<std::string>& members) = 0;

    // ---- Registry (Registry.cpp) ----
    // 0 success, 1 out of memory, 2 key or value missing or unreadable.
    virtual int readRegistry(const std::string& keyPath, const std::string& name, bool view64,
                             uint32_t& type, std::string& data) = 0;
    virtual bool writeRegistryString(const std::string& keyPath, const std::string& name,
                                     const std::string& value, bool view64) = 0;

    // ---- Locks (Locks.cpp) ----
    // Null when another holder (any process, or another object of this one) has the name.
    virtual std::unique_ptr<NamedLock> tryNamedLock(const std::string& name) = 0;
    virtual std::unique_ptr<RecursiveLock> makeRecursiveLock() = 0;

    // ---- Mailslots (Mailslot.cpp) ----
    virtual std::unique_ptr<MailslotEndpoint> createMailslot(const std::string& name, uint32_t& error) = 0;
    virtual std::unique_ptr<MailslotEndpoint> openMailslot(const std::string& name, bool wholeDomain,
                                                           uint32_t& error) = 0;
};

// The process-wide backend: the native one unless a test installed another.
Platform& platform();
// Installs a backend (not owned) for the whole process; nullptr restores the native one.
void installPlatform(Platform* backend);

}  // namespace Quilna
