#include "support/FakePlatform.h"

#include <algorithm>

namespace Quilna {

namespace {
// What a refused query or a full disk reports, with the Windows codes.
const SystemError deniedError{ErrorKind::AccessDenied, 5};
const SystemError fullDiskError{ErrorKind::DiskFull, 112};

// A file whose writes take from the fake's disk room.
class RoomLimitedFile : public OpenFile {
public:
    RoomLimitedFile(std::unique_ptr<OpenFile> file, std::shared_ptr<std::optional<uint64_t>> room)
        : file_(std::move(file)), room_(std::move(room)) {}
    bool read(char* buffer, size_t count, size_t& got, SystemError& error) override {
        return file_->read(buffer, count, got, error);
    }
    bool write(const char* data, size_t count, size_t& written, SystemError& error) override {
        std::optional<uint64_t>& room = *room_;
        if (!room) return file_->write(data, count, written, error);
        const size_t taken = static_cast<size_t>(std::min<uint64_t>(count, *room));
        const bool wrote = file_->write(data, taken, written, error);
        *room -= written;
        if (wrote && taken < count) error = fullDiskError;
        return wrote && taken == count;
    }
    bool seek(int64_t offset, Origin origin, int64_t& reached, SystemError& error) override {
        return file_->seek(offset, origin, reached, error);
    }
    bool modifiedTime(int64_t& seconds, SystemError& error) override { return file_->modifiedTime(seconds, error); }
    bool sync(SystemError& error) override { return file_->sync(error); }
    bool close(SystemError& error) override { return file_->close(error); }

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

bool FakePlatform::clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) {
    return fromTable(clusterSizes, root, bytes, error, [&] { return NativePlatform::clusterSize(root, bytes, error); });
}

bool FakePlatform::compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) {
    return fromTable(compressedSizes, path, bytes, error,
                     [&] { return NativePlatform::compressedSize(path, bytes, error); });
}

std::unique_ptr<OpenFile> FakePlatform::openFile(const std::string& path, const FileOpening& opening,
                                                 SystemError& error) {
    std::unique_ptr<OpenFile> file = NativePlatform::openFile(path, opening, error);
    if (!file || !opening.write) return file;
    return std::make_unique<RoomLimitedFile>(std::move(file), diskRoom);
}

}  // namespace Quilna
