#include "ntfs/Utf16Name.h"

#include <cstdint>

namespace Quilna::Ntfs {
namespace {

void appendCodePoint(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool isHigh(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLow(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void appendUtf16AsUtf8(ByteView bytes, std::string& out) {
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t code = bytes.u16(2 * i);
        if (isHigh(code) && i + 1 < units && isLow(bytes.u16(2 * i + 2))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (bytes.u16(2 * i + 2) - 0xDC00);
            ++i;
        } else if (isHigh(code) || isLow(code)) {
            code = 0xFFFD;
        }
        appendCodePoint(code, out);
    }
}

}  // namespace Quilna::Ntfs
