// Win32: a drive's volume opened raw ("\\.\C:", administrators and SYSTEM), read in whole
// sectors at sector offsets, as a volume handle demands, and copied out.
#include <algorithm>
#include <vector>

#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

constexpr size_t kPiece = size_t{1} << 20;
constexpr uint32_t kLeastAlignment = 4096;  // a multiple of every usual sector size

class SectorVolume : public RawVolume {
public:
    SectorVolume(win32::UniqueHandle volume, uint32_t alignment)
        : volume_(std::move(volume)), alignment_(alignment), storage_(kPiece + alignment) {
        const auto address = reinterpret_cast<uintptr_t>(storage_.data());
        aligned_ = storage_.data() + ((alignment - address % alignment) % alignment);
    }

    bool read(uint64_t offset, std::span<uint8_t> into, size_t& got, SystemError& error) override {
        got = 0;
        while (got < into.size()) {
            const uint64_t at = offset + got, start = at - at % alignment_;
            const size_t skip = static_cast<size_t>(at - start);
            const size_t wanted = std::min(kPiece, roundUp(skip + into.size() - got));
            OVERLAPPED place{};
            place.Offset = static_cast<DWORD>(start);
            place.OffsetHigh = static_cast<DWORD>(start >> 32);
            DWORD read = 0;
            if (!::ReadFile(volume_.get(), aligned_, static_cast<DWORD>(wanted), &read, &place)) {
                if (::GetLastError() == ERROR_HANDLE_EOF) break;
                return win32::fail(error);
            }
            if (read <= skip) break;
            const size_t copied = std::min<size_t>(read - skip, into.size() - got);
            std::copy_n(aligned_ + skip, copied, into.data() + got);
            got += copied;
            if (read < wanted) break;
        }
        return true;
    }

private:
    size_t roundUp(size_t bytes) const { return (bytes + alignment_ - 1) / alignment_ * alignment_; }

    win32::UniqueHandle volume_;
    size_t alignment_;
    std::vector<uint8_t> storage_;
    uint8_t* aligned_ = nullptr;
};

// The cause, with the reason in the words of the log line that tells why the volume is walked.
std::unique_ptr<RawVolume> refuse(SystemError& error, SystemError cause, std::string reason) {
    error = std::move(cause);
    error.detail = std::move(reason);
    return nullptr;
}

// Reads go in multiples of the sector size; 4 KiB is one of every usual size, larger sectors
// are asked of the system.
uint32_t alignmentOf(const std::string& root) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceW(win32::toWide(root).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &clusters))
        return kLeastAlignment;
    const bool usable = bytesPerSector <= 0x10000 && (bytesPerSector & (bytesPerSector - 1)) == 0;
    return usable ? std::max<uint32_t>(kLeastAlignment, bytesPerSector) : kLeastAlignment;
}

}  // namespace

std::unique_ptr<RawVolume> NativePlatform::openRawVolume(const std::string& root, SystemError& error) {
    const bool driveRoot = (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) &&
                           root[1] == ':' && ((root[0] >= 'A' && root[0] <= 'Z') || (root[0] >= 'a' && root[0] <= 'z'));
    if (!driveRoot) return refuse(error, {ErrorKind::NotFound, 0}, root + " is not a drive's root");
    const std::wstring device = L"\\\\.\\" + win32::toWide(root.substr(0, 2));
    win32::UniqueHandle volume(::CreateFileW(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    if (!volume.valid())
        return refuse(error, win32::lastSystemError(), "its volume cannot be opened raw: " + win32::toUtf8(device));
    return std::make_unique<SectorVolume>(std::move(volume), alignmentOf(root.substr(0, 2) + "\\"));
}

}  // namespace Quilna
