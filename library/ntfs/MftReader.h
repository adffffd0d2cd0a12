#pragma once
// Reads a volume's whole master file table sequentially, in pieces of about 1 MiB, through the
// table's own runs (a fragmented table included), into an MftTable. Records continued in
// extension records are completed from them; damaged records are counted and skipped.

#include <optional>
#include <string>

#include "ntfs/MftTable.h"
#include "ntfs/VolumeBytes.h"

namespace Quilna::Ntfs {

class MftReader {
public:
    static constexpr size_t kPieceBytes = size_t{1} << 20;

    // The table, or nothing with the reason in `why` when the volume is not NTFS as this reader
    // understands it (a boot sector or table record it refuses).
    static std::optional<MftTable> read(VolumeBytes& volume, std::string& why);
};

}  // namespace Quilna::Ntfs
