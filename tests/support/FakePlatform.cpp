#include "support/FakePlatform.h"

#include <algorithm>
#include <tuple>

namespace Quilna {

namespace {
// What a refused query or a full disk reports, with the Windows codes.
constexpr SystemError deniedError{ErrorKind::AccessDenied, 5};
constexpr SystemError fullDiskError{ErrorKind::DiskFull, 112};

// A file whose writes take from the fake's disk room.
class RoomLimitedFile : public OpenFile {
public:
    RoomLimitedFile(std::unique_ptr<OpenFile> file, std::shared_ptr<std::optional<uint64_t>> room)
        : file_(std::move(file)), room_(std::move(room)) {}
    SystemError read(char* buffer, size_t count, size_t& got) override { return file_->read(buffer, count, got); }
    SystemError write(const char* data, size_t count, size_t& written) override {
        std::optional<uint64_t>& room = *room_;
        if (!room) return file_->write(data, count, written);
        const size_t taken = static_cast<size_t>(std::min<uint64_t>(count, *room));
        const SystemError error = file_->write(data, taken, written);
        *room -= written;
        return error.failed() || taken == count ? error : fullDiskError;
    }
    SystemError seek(int64_t offset, Origin origin, int64_t& reached) override {
        return file_->seek(offset, origin, reached);
    }
    SystemError sync() override { return file_->sync(); }
    SystemError close() override { return file_->close(); }

private:
    std::unique_ptr<OpenFile> file_;
    std::shared_ptr<std::optional<uint64_t>> room_;
};

// Answers from a table entry, a refusal for an empty one; a missing key asks the native backend.
template <typename T, typename Native>
bool fromTable(const std::map<std::string, std::optional<T>>& table, const std::string& key, T& out, SystemError& error,
               Native native) {
    auto found = table.find(key);
    if (found == table.end()) return native();
    if (!found->second) error = deniedError;
    else out = *found->second;
    return found->second.has_value();
}
}  // namespace

FakePlatform::FakePlatform() { installPlatform(this); }
FakePlatform::~FakePlatform() { installPlatform(nullptr); }

void FakePlatform::sleepMs(uint32_t milliseconds) {
    if (!clock) return NativePlatform::sleepMs(milliseconds);
    *clock += milliseconds / 1000;
}

bool FakePlatform::getEnv(const std::string& name, std::string& value) {
    auto found = environment.find(name);
    if (found == environment.end()) return NativePlatform::getEnv(name, value);
    return found->second ? (value = *found->second, true) : false;
}

int FakePlatform::driveType(const std::string& root) {
    auto found = driveTypes.find(root);
    return found == driveTypes.end() ? NativePlatform::driveType(root) : found->second;
}

bool FakePlatform::clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) {
    return fromTable(clusterSizes, root, bytes, error, [&] { return NativePlatform::clusterSize(root, bytes, error); });
}

bool FakePlatform::compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) {
    return fromTable(compressedSizes, path, bytes, error,
                     [&] { return NativePlatform::compressedSize(path, bytes, error); });
}

bool FakePlatform::fileInfo(const std::string& path, FileInfo& out) {
    ++fileInfoCalls;
    auto found = files.find(path);
    if (found == files.end()) return NativePlatform::fileInfo(path, out);
    out = found->second;
    return out.exists;
}

std::unique_ptr<OpenFile> FakePlatform::openFile(const std::string& path, const FileOpening& opening,
                                                 SystemError& error) {
    std::unique_ptr<OpenFile> file = NativePlatform::openFile(path, opening, error);
    if (!file || !opening.write) return file;
    return std::make_unique<RoomLimitedFile>(std::move(file), diskRoom);
}

bool FakePlatform::fileOwner(const std::string& path, const std::string& server, std::string& domain,
                             std::string& account) {
    auto found = owners.find(path);
    if (found == owners.end()) return NativePlatform::fileOwner(path, server, domain, account);
    std::tie(domain, account) = found->second;
    return true;
}

SystemError FakePlatform::localGroups(std::vector<std::string>& names) {
    ++localGroupsCalls;
    if (!groups) return NativePlatform::localGroups(names);
    if (!groups->first.failed()) names = groups->second;
    return groups->first;
}

SystemError FakePlatform::localGroupMembers(const std::string& group, std::vector<std::string>& list) {
    ++memberCalls[group];
    auto found = members.find(group);
    if (found == members.end()) {
        if (groups) return SystemError{ErrorKind::NotFound, 1376};
        return NativePlatform::localGroupMembers(group, list);
    }
    if (!found->second.first.failed()) list = found->second.second;
    return found->second.first;
}

int FakePlatform::readRegistry(const std::string& keyPath, const std::string& name, bool view64, uint32_t& type,
                               std::string& data) {
    ++registryReads;
    if (!registryFake) return NativePlatform::readRegistry(keyPath, name, view64, type, data);
    auto found = registry.find(keyPath + "\\" + name);
    if (found == registry.end()) return 2;
    std::tie(type, data) = found->second;
    return 0;
}

void FakePlatform::writeSystemLog(SystemLogLevel level, const std::string& message) {
    systemLogged.emplace_back(level, message);
}

}  // namespace Quilna
