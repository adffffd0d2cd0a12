#pragma once
// A backend answering from tables a test fills in, else the native one: Windows-only branches on Linux.

#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/NativePlatform.h"

namespace Quilna {

struct FakePlatform : NativePlatform {
    FakePlatform() = default;
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    // ---- tables; an empty optional or a missing key forwards to the native backend ----
    std::optional<int64_t> clock;                                   // now(); advanced by sleepMs when set
    std::map<std::string, std::optional<std::string>> environment;  // nullopt: variable unset
    std::optional<PathSyntax> syntax;
    std::map<std::string, int> driveTypes;
    std::map<std::string, std::optional<uint32_t>> clusterSizes;                      // nullopt: the query fails
    std::map<std::string, std::optional<uint64_t>> compressedSizes;                   // nullopt: the query fails
    std::map<std::string, FileInfo> files;                                            // fileInfo by path, exact text
    std::map<std::string, std::pair<std::string, std::string>> owners;                // path -> (domain, account)
    std::optional<std::pair<SystemError, std::vector<std::string>>> groups;           // (failure, names)
    std::map<std::string, std::pair<SystemError, std::vector<std::string>>> members;  // group -> (failure, members)
    std::map<std::string, std::pair<uint32_t, std::string>> registry;                 // "key\name" -> (type, data)
    bool registryFake = false;   // true: registry reads only from the table
    uint64_t registryReads = 0;  // calls of readRegistry
    std::optional<std::string> computer, domain, group, user;
    std::optional<bool> wow64;
    // Room left for all files opened for writing (which may outlive the fake); empty: no limit.
    std::shared_ptr<std::optional<uint64_t>> diskRoom = std::make_shared<std::optional<uint64_t>>();

    // ---- counters for tests that check how often the system was asked ----
    int localGroupsCalls = 0;
    std::map<std::string, int> memberCalls;
    int fileInfoCalls = 0;
    // What reached the system log, which the fake keeps instead of the machine's.
    std::vector<std::pair<SystemLogLevel, std::string>> systemLogged;

    int64_t now() override { return clock ? *clock : NativePlatform::now(); }
    void sleepMs(uint32_t milliseconds) override {
        if (!clock) return NativePlatform::sleepMs(milliseconds);
        *clock += milliseconds / 1000;
    }
    bool getEnv(const std::string& name, std::string& value) override {
        auto found = environment.find(name);
        if (found == environment.end()) return NativePlatform::getEnv(name, value);
        return found->second ? (value = *found->second, true) : false;
    }
    const PathSyntax& pathSyntax() override { return syntax ? *syntax : NativePlatform::pathSyntax(); }
    int driveType(const std::string& root) override {
        auto found = driveTypes.find(root);
        return found == driveTypes.end() ? NativePlatform::driveType(root) : found->second;
    }
    bool clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) override;
    bool compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) override;
    // No volume lies beneath the fake's drives.
    std::unique_ptr<RawVolume> openRawVolume(const std::string&, SystemError& error) override {
        error = {ErrorKind::Other, 0, "not supported"};
        return nullptr;
    }
    bool fileInfo(const std::string& path, FileInfo& out, SystemError& error) override {
        ++fileInfoCalls;
        auto found = files.find(path);
        if (found == files.end()) return NativePlatform::fileInfo(path, out, error);
        out = found->second;
        if (!out.exists) error = SystemError{ErrorKind::NotFound, 2};
        return out.exists;
    }
    std::unique_ptr<OpenFile> openFile(const std::string& path, const FileOpening& opening,
                                       SystemError& error) override;
    bool fileOwner(const std::string& path, const std::string& server, std::string& domain, std::string& account,
                   SystemError& error) override {
        auto found = owners.find(path);
        if (found == owners.end()) return NativePlatform::fileOwner(path, server, domain, account, error);
        std::tie(domain, account) = found->second;
        return true;
    }
    bool localGroups(std::vector<std::string>& names, SystemError& error) override {
        ++localGroupsCalls;
        if (!groups) return NativePlatform::localGroups(names, error);
        return answer(*groups, names, error);
    }
    bool localGroupMembers(const std::string& group, std::vector<std::string>& list, SystemError& error) override {
        ++memberCalls[group];
        auto found = members.find(group);
        if (found != members.end()) return answer(found->second, list, error);
        if (!groups) return NativePlatform::localGroupMembers(group, list, error);
        error = SystemError{ErrorKind::NotFound, 1376};
        return false;
    }
    bool readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                      std::string& data, SystemError& error) override {
        ++registryReads;
        if (!registryFake) return NativePlatform::readRegistry(keyPath, name, view64, type, data, error);
        auto found = registry.find(keyPath + "\\" + name);
        if (found == registry.end()) {
            error = SystemError{ErrorKind::NotFound, 2};
            return false;
        }
        std::tie(type, data) = found->second;
        return true;
    }
    bool computerName(std::string& out) override {
        return computer ? (out = *computer, true) : NativePlatform::computerName(out);
    }
    bool dnsDomain(std::string& out) override {
        return domain ? (out = *domain, true) : NativePlatform::dnsDomain(out);
    }
    bool workgroup(std::string& out) override { return group ? (out = *group, true) : NativePlatform::workgroup(out); }
    bool userName(std::string& out) override { return user ? (out = *user, true) : NativePlatform::userName(out); }
    bool isWow64() override { return wow64 ? *wow64 : NativePlatform::isWow64(); }
    void writeSystemLog(SystemLogLevel level, const std::string& message) override {
        systemLogged.emplace_back(level, message);
    }

    // A table's (failure, names) as the platform answers it.
    static bool answer(const std::pair<SystemError, std::vector<std::string>>& entry, std::vector<std::string>& out,
                       SystemError& error) {
        if (entry.first.failed()) {
            error = entry.first;
            return false;
        }
        out = entry.second;
        return true;
    }

    // A PathSyntax as Windows writes paths.
    static PathSyntax windowsSyntax() { return PathSyntax{'\\', true, true, true, true, SIZE_MAX, 3 * 32767}; }
};

}  // namespace Quilna
