#include "ntfs/BootSector.h"

#include <bit>
#include <cstring>

#include "ntfs/ByteView.h"

namespace Quilna::Ntfs {
namespace {

constexpr uint32_t kLargestCluster = 2u << 20;
constexpr uint32_t kLargestRecord = 64u << 10;

// A byte that counts units when small and gives a power of two when negative (large sizes).
uint64_t unitsOrPower(uint8_t code, uint64_t unit, bool signedBelow) {
    const bool power = signedBelow ? code >= 0x80 : code > 0x80;
    if (!power) return code * unit;
    const unsigned shift = 256u - code;
    return shift < 32 ? uint64_t{1} << shift : 0;
}

std::optional<BootSector> refused(std::string& why, const char* reason) {
    why = reason;
    return std::nullopt;
}

}  // namespace

std::optional<BootSector> BootSector::parse(std::span<const uint8_t> sector, std::string& why) {
    const ByteView view(sector);
    if (view.size() < kSize || std::memcmp(sector.data() + 3, "NTFS    ", 8) != 0)
        return refused(why, "no NTFS signature in the boot sector");
    if (view.u16(510) != 0xAA55) return refused(why, "the boot sector does not end in its mark");
    BootSector boot;
    boot.bytesPerSector = view.u16(0x0B);
    if (!std::has_single_bit(boot.bytesPerSector) || boot.bytesPerSector < 256 || boot.bytesPerSector > 4096)
        return refused(why, "bytes per sector out of range");
    const uint64_t cluster = unitsOrPower(view.u8(0x0D), boot.bytesPerSector, false);
    if (!std::has_single_bit(cluster) || cluster > kLargestCluster) return refused(why, "cluster size out of range");
    boot.clusterSize = static_cast<uint32_t>(cluster);
    const uint64_t record = unitsOrPower(view.u8(0x40), cluster, true);
    if (!std::has_single_bit(record) || record < 512 || record > kLargestRecord)
        return refused(why, "record size out of range");
    boot.recordSize = static_cast<uint32_t>(record);
    const uint64_t sectors = view.u64(0x28);
    if (sectors == 0 || sectors > UINT64_MAX / boot.bytesPerSector) return refused(why, "volume size out of range");
    boot.volumeBytes = sectors * boot.bytesPerSector;
    const uint64_t tableCluster = view.u64(0x30);
    if (tableCluster >= boot.volumeBytes / boot.clusterSize) return refused(why, "the table lies beyond the volume");
    boot.tableOffset = tableCluster * boot.clusterSize;
    return boot;
}

}  // namespace Quilna::Ntfs
