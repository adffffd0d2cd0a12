#pragma once
// Little-endian numbers read from bytes that came from a disk: every read is bounds-checked and
// a read outside the view gives 0 and marks the view as overrun, so a parser reads a whole
// structure and asks once whether it fitted.

#include <cstddef>
#include <cstdint>
#include <span>

namespace Quilna::Ntfs {

class ByteView {
public:
    ByteView() = default;
    explicit ByteView(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    bool fits(size_t offset, size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    // The bytes [offset, offset + length), or an empty view (and the overrun mark) when outside.
    ByteView sub(size_t offset, size_t length) const {
        if (!fits(offset, length)) return overran();
        return ByteView(bytes_.subspan(offset, length));
    }
    std::span<const uint8_t> bytes() const { return bytes_; }

    uint8_t u8(size_t offset) const { return static_cast<uint8_t>(number(offset, 1)); }
    uint16_t u16(size_t offset) const { return static_cast<uint16_t>(number(offset, 2)); }
    uint32_t u32(size_t offset) const { return static_cast<uint32_t>(number(offset, 4)); }
    uint64_t u64(size_t offset) const { return number(offset, 8); }
    bool overrun() const { return overrun_; }

private:
    uint64_t number(size_t offset, size_t length) const {
        if (!fits(offset, length)) {
            overrun_ = true;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = length; i-- > 0;) value = value << 8 | bytes_[offset + i];
        return value;
    }
    ByteView overran() const {
        overrun_ = true;
        ByteView empty;
        empty.overrun_ = true;
        return empty;
    }

    std::span<const uint8_t> bytes_;
    mutable bool overrun_ = false;
};

}  // namespace Quilna::Ntfs
