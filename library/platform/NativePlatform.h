#pragma once
// The native backend: POSIX or Win32, chosen at build time. Its operations are defined in
// parallel files, posix/X.cpp and win32/X.cpp, one per slice of the interface.

#include <memory>

#include "platform/Platform.h"

namespace Quilna {

class NativePlatform : public Platform {
public:
    NativePlatform();
    ~NativePlatform() override;

    int64_t now() override;
    void initTimeZone() override;
    bool toLocalCalendar(int64_t utcSeconds, CalendarTime& out) override;
    bool fromLocalCalendar(const CalendarTime& local, int64_t& utcSeconds) override;
    bool getEnv(const std::string& name, std::string& value) override;
    bool setEnv(const std::string& name, const std::string& value, SystemError& error) override;
    bool unsetEnv(const std::string& name, SystemError& error) override;
    void sleepMs(uint32_t milliseconds) override;
    uint32_t threadId() override;
    uint32_t processId() override;
    std::string errorText(uint32_t code) override;
    [[noreturn]] void exitProcess(int code) override;
    void watchStopSignals(std::atomic<bool>* flag, bool includeInterrupt) override;
    void watchReopenSignal(std::atomic<bool>* flag) override;
    void watchStopRequests(std::atomic<int>* request) override;
    bool processExists(uint32_t processId) override;
    bool processHasThread(uint32_t processId, uint32_t threadId) override;
    uint32_t processorArchitecture() override;
    bool osVersion(OsVersion& out) override;
    bool computerName(std::string& out) override;
    bool dnsDomain(std::string& out) override;
    bool workgroup(std::string& out) override;
    bool userName(std::string& out) override;
    bool isWow64() override;
    bool standardErrorIsTerminal() override;
    bool writeStandardOutput(const std::string& bytes, SystemError& error) override;
    void writeSystemLog(SystemLogLevel level, const std::string& message) override;
    bool logicalDrives(std::vector<std::string>& roots, SystemError& error) override;
    int driveType(const std::string& root) override;
    bool clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) override;
    bool compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) override;
    bool isMountPoint(const std::string& directory) override;
    std::unique_ptr<RawVolume> openRawVolume(const std::string& root, SystemError& error) override;
    const PathSyntax& pathSyntax() override;
    bool fileInfo(const std::string& path, FileInfo& out, SystemError& error) override;
    bool listDirectory(const std::string& directory, std::vector<DirEntry>& out, SystemError& error) override;
    std::unique_ptr<OpenDirectory> openDirectory(const std::string& path, std::string& resolved,
                                                 SystemError& error) override;
    bool currentDirectory(std::string& out, SystemError& error) override;
    bool copyFile(const std::string& from, const std::string& to, bool overwrite, SystemError& error) override;
    bool moveFile(const std::string& from, const std::string& to, bool replace, SystemError& error) override;
    bool deleteFile(const std::string& path, SystemError& error) override;
    bool createDirectory(const std::string& path, SystemError& error) override;
    bool setAttributes(const std::string& path, uint16_t attributes, SystemError& error) override;
    bool syncFile(const std::string& path, SystemError& error) override;
    bool truncateFile(const std::string& path, uint64_t size, SystemError& error) override;
    std::unique_ptr<OpenFile> openFile(const std::string& path, const FileOpening& opening,
                                       SystemError& error) override;
#ifndef _WIN32  // Windows keeps the interface's defaults
    std::string writeRefusal(const std::string& path) override;
    std::string directoryAccessRefusal(const std::string& path) override;
    std::string unmountedMountPointAbove(const std::string& path) override;
    bool runtimeDirectory(std::string& path, SystemError& error) override;
#endif
    bool fileOwner(const std::string& path, const std::string& server, std::string& domain, std::string& account,
                   SystemError& error) override;
    bool ownerById(uint32_t ownerId, std::string& domain, std::string& account, SystemError& error) override;
    bool ownerBySid(std::span<const uint8_t> sid, std::string& domain, std::string& account,
                    SystemError& error) override;
    bool localGroups(std::vector<std::string>& names, SystemError& error) override;
    bool localGroupMembers(const std::string& group, std::vector<std::string>& members, SystemError& error) override;
    bool readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                      std::string& data, SystemError& error) override;
    bool writeRegistryString(const std::string& keyPath, const std::string& name, const std::string& value, bool view64,
                             SystemError& error) override;
    using Locks::tryNamedLock;
    std::unique_ptr<NamedLock> tryNamedLock(const std::string& name, SystemError& error) override;
#ifndef _WIN32
    std::string namedLockHolders(const std::string& name) override;
#endif
    std::unique_ptr<RecursiveLock> makeRecursiveLock() override;
    std::unique_ptr<MailslotEndpoint> createMailslot(const std::string& name, uint32_t largestMessage,
                                                     SystemError& error) override;
    std::unique_ptr<MailslotEndpoint> openMailslot(const std::string& name, bool wholeDomain,
                                                   SystemError& error) override;

private:
    struct Impl;  // backend state, defined by the backend
    std::unique_ptr<Impl> impl_;
};

}  // namespace Quilna
