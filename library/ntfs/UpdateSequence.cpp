#include "ntfs/UpdateSequence.h"

#include "ntfs/ByteView.h"

namespace Quilna::Ntfs {

bool undoUpdateSequence(std::span<uint8_t> block, std::string& why) {
    constexpr size_t kStride = 512;
    const ByteView view(block);
    const size_t offset = view.u16(4), count = view.u16(6);
    if (count < 2 || (count - 1) * kStride != block.size() || offset % 2 != 0 || !view.fits(offset, 2 * count)) {
        why = "its update-sequence array does not fit the record";
        return false;
    }
    const uint16_t number = view.u16(offset);
    for (size_t i = 1; i < count; ++i) {
        const size_t end = i * kStride - 2;
        if (view.u16(end) != number) {
            why = "a sector of it was torn while written";
            return false;
        }
        block[end] = block[offset + 2 * i];
        block[end + 1] = block[offset + 2 * i + 1];
    }
    return true;
}

}  // namespace Quilna::Ntfs
