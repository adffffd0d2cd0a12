#include "hoardscan/walk/TableStatus.h"

#include "platform/FileAttribute.h"

namespace Quilna {

namespace {

// Attribute bits as NTFS stores them (the same the Windows status calls report).
namespace Bits {
constexpr uint32_t ReadOnly = 0x1, Hidden = 0x2, System = 0x4, Directory = 0x10, Archive = 0x20, Normal = 0x80,
                   Temporary = 0x100, Sparse = 0x200, ReparsePoint = 0x400, Compressed = 0x800, Offline = 0x1000,
                   Encrypted = 0x4000;
}  // namespace Bits

struct AttributePair {
    uint32_t ntfs;
    uint16_t program;
};
constexpr AttributePair attributeTable[] = {
    {Bits::Archive, FileAttribute::Archive},     {Bits::Compressed, FileAttribute::Compressed},
    {Bits::Directory, FileAttribute::Directory}, {Bits::Encrypted, FileAttribute::Encrypted},
    {Bits::Hidden, FileAttribute::Hidden},       {Bits::Offline, FileAttribute::Offline},
    {Bits::ReadOnly, FileAttribute::ReadOnly},   {Bits::System, FileAttribute::System},
    {Bits::Temporary, FileAttribute::Temporary}, {Bits::Normal, FileAttribute::Normal},
    {Bits::Sparse, FileAttribute::Sparse},
};

constexpr uint32_t kNameSurrogate = 0x20000000;  // reparse tags that stand for another name

}  // namespace

TableStatus::Shown TableStatus::ofThisSystem(const PathSyntax& syntax) {
    return syntax.driveLetters ? Shown::AsListed : Shown::ThroughMount;
}

bool TableStatus::isLink(const Ntfs::MftEntry& entry) {
    return entry.reparseTag != 0 && (entry.reparseTag & kNameSurrogate) != 0;
}

bool TableStatus::isDirectory(const Ntfs::MftEntry& entry) {
    return (entry.attributes & Ntfs::MftEntry::kDirectory) && !isLink(entry);
}

void TableStatus::fill(const Ntfs::MftEntry& entry, const std::string& name, FileInfo& info) const {
    info = FileInfo{};
    info.exists = true;
    if (shown_ == Shown::AsListed) fillAsListed(entry, info);
    else fillThroughMount(entry, name, info);
}

void TableStatus::fillAsListed(const Ntfs::MftEntry& entry, FileInfo& info) const {
    uint32_t attributes = entry.attributes;
    if (entry.reparseTag != 0) attributes |= Bits::ReparsePoint;
    if (attributes == 0) attributes = Bits::Normal;  // what a listing reports for a file without any
    uint16_t bits = 0;
    for (const AttributePair& pair : attributeTable)
        if (attributes & pair.ntfs) bits |= pair.program;
    if (isLink(entry)) {
        bits |= FileAttribute::Link;
        bits &= static_cast<uint16_t>(~FileAttribute::Directory);
    }
    info.attributes = bits;
    info.size = (bits & FileAttribute::Directory) ? 0 : entry.size;
    info.created = entry.created;
    info.accessed = entry.accessed;
    info.modified = entry.modified;
    // The listing gives no link count, the table does: a multiply-linked file is charged once.
    info.hasIdentity = true;
    info.identity = FileIdentity{volume_, entry.record};
    info.links = entry.nameCount;
}

void TableStatus::fillThroughMount(const Ntfs::MftEntry& entry, const std::string& name, FileInfo& info) const {
    const bool directory = isDirectory(entry);
    const uint64_t blocks = (entry.allocated + 511) / 512;
    uint16_t bits = 0;
    if (directory) bits |= FileAttribute::Directory;
    if (isLink(entry)) bits |= FileAttribute::Link;
    if (!name.empty() && name[0] == '.') bits |= FileAttribute::Hidden;
    if (!directory && !isLink(entry) && blocks * 512 < entry.size) bits |= FileAttribute::Sparse;
    info.attributes = bits == 0 ? static_cast<uint16_t>(FileAttribute::Normal) : bits;
    info.size = directory ? 0 : entry.size;
    info.created = entry.created;
    info.accessed = entry.accessed;
    info.modified = entry.modified;
    info.hasAllocated = true;
    info.allocated = blocks * 512;
    info.hasIdentity = true;
    info.identity = FileIdentity{volume_, entry.record};
    info.links = entry.links;
}

}  // namespace Quilna
