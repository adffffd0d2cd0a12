#pragma once
// Names on NTFS are UTF-16LE units that need not be well-formed: the program's text is UTF-8,
// and a lone surrogate becomes U+FFFD as everywhere else names cross into the program.

#include <string>

#include "ntfs/ByteView.h"

namespace Quilna::Ntfs {

// The units of `bytes` (an odd last byte ignored) appended to `out` as UTF-8.
void appendUtf16AsUtf8(ByteView bytes, std::string& out);

}  // namespace Quilna::Ntfs
