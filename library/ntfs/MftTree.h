#pragma once
// The directory tree rebuilt from a volume's table: each directory's names in the order its
// index lists them (names compared through the volume's upper-case table, then unit by unit),
// and full paths on demand. The system's own files are left out, as a directory listing never
// shows them. Costs 8 bytes per name beside the table.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ntfs/MftTable.h"

namespace Quilna::Ntfs {

class MftTree {
public:
    static constexpr uint32_t kRoot = 5;
    static constexpr uint32_t kFirstUserRecord = 24;  // records below hold the file system's own files

    explicit MftTree(const MftTable& table);  // which must outlive the tree

    // Indices of the names a directory lists, in its index's order.
    std::span<const uint32_t> children(uint32_t directory) const;
    const MftName& name(uint32_t index) const { return names_[index]; }
    const MftEntry& entryOf(uint32_t index) const { return table_.entries()[owner_[index]]; }
    // The path of a name from the root, its pieces joined by `separator`; empty when the name
    // does not lead up to the root (an orphan, or a loop a damaged volume made).
    std::string path(uint32_t index, char separator) const;
    size_t bytesUsed() const { return (owner_.capacity() + order_.capacity()) * sizeof(uint32_t); }

    // Whether `a` comes before `b` in a directory's index.
    static bool before(std::string_view a, std::string_view b, const std::vector<uint16_t>& upCase);

private:
    const MftTable& table_;
    std::span<const MftName> names_;
    std::vector<uint32_t> owner_;  // per name: its entry's index
    std::vector<uint32_t> order_;  // listed names, by parent, each directory's in index order
};

}  // namespace Quilna::Ntfs
