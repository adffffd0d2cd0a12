#include "ntfs/SecureReader.h"

#include <algorithm>

#include "ntfs/ByteView.h"
#include "ntfs/UpdateSequence.h"

namespace Quilna::Ntfs {
namespace {

constexpr uint32_t kBlockMark = 0x58444E49;  // "INDX"
constexpr size_t kRootNode = 0x10, kBlockNode = 0x18;
constexpr size_t kEntryHeader = 0x10;
constexpr uint16_t kLastEntry = 0x0002;
constexpr size_t kDescriptorHeader = 20;       // hash, id, offset, length
constexpr uint64_t kMirrorDistance = 0x40000;  // every 256 KiB block of the stream is followed by its copy
constexpr size_t kPieceBytes = 0x40000;
constexpr uint32_t kLargestDescriptor = 0x10000;
constexpr size_t kSelfRelativeHeader = 20;  // revision, control, and the four parts' offsets
constexpr uint16_t kSelfRelative = 0x8000;

}  // namespace

SecurityOwners SecureReader::read(std::span<const uint8_t> indexRoot, std::string& why) {
    why_ = &why;
    SecurityOwners owners;
    const ByteView root(indexRoot);
    const uint32_t blockSize = root.u32(8);
    if (root.size() < kRootNode + 16) {
        problem("the security index's root is damaged");
        return owners;
    }
    std::vector<Listed> listed;
    readNode(indexRoot.subspan(kRootNode), listed);
    readBlocks(blockSize, listed);
    // The stream is read in its own order, and an id listed twice (a stale node) read once.
    std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.offset < b.offset; });
    std::vector<uint8_t> buffer;
    for (const Listed& entry : listed)
        if (!readOwner(entry, buffer, owners)) problem("a security descriptor is damaged");
    owners.finish();
    return owners;
}

// A node's entries: the id as key, the descriptor's header as data.
void SecureReader::readNode(std::span<const uint8_t> node, std::vector<Listed>& listed) {
    const ByteView view(node);
    const size_t first = view.u32(0), end = view.u32(4);
    if (view.overrun() || end > node.size() || first > end) return problem("a security index node is damaged");
    // Every entry takes at least its header, so the node's size bounds the loop.
    for (size_t at = first; at + kEntryHeader <= end;) {
        const ByteView entry = view.sub(at, std::min<size_t>(view.u16(at + 8), end - at));
        if (entry.size() < kEntryHeader) return problem("a security index entry is damaged");
        if (entry.u16(0x0C) & kLastEntry) return;
        const ByteView data = entry.sub(entry.u16(0), entry.u16(2));
        if (entry.u16(0x0A) < 4 || !entry.fits(kEntryHeader, 4) || data.size() < kDescriptorHeader ||
            data.u32(4) != entry.u32(kEntryHeader))
            return problem("a security index entry is damaged");
        listed.push_back({data.u32(4), data.u64(8), data.u32(16)});
        at += entry.size();
    }
}

void SecureReader::readBlocks(uint32_t blockSize, std::vector<Listed>& listed) {
    if (blocks_.mappedBytes() == 0) return;
    if (blockSize < 512 || blockSize > 0x10000 || (blockSize & (blockSize - 1)) != 0)
        return problem("the security index's block size is refused");
    std::vector<uint8_t> block(blockSize);
    std::string torn;
    for (uint64_t at = 0; blocks_.mappedBytes() - at >= blockSize; at += blockSize) {
        // Blocks not in use hold no mark, or entries still listed in a block in use.
        if (!blocks_.read(at, block) || ByteView(block).u32(0) != kBlockMark) continue;
        if (!undoUpdateSequence(block, torn)) {
            problem("a security index block is damaged");
            continue;
        }
        readNode(std::span<const uint8_t>(block).subspan(kBlockNode), listed);
    }
}

// The owner of one listed descriptor, from its first copy or else its mirror.
bool SecureReader::readOwner(const Listed& entry, std::vector<uint8_t>& buffer, SecurityOwners& owners) {
    if (entry.length <= kDescriptorHeader || entry.length > kLargestDescriptor) return false;
    buffer.resize(entry.length);
    for (const uint64_t copy : {uint64_t{0}, kMirrorDistance}) {
        if (entry.offset > UINT64_MAX - copy || !readDescriptors(entry.offset + copy, buffer)) continue;
        const ByteView header(buffer);
        if (header.u32(4) != entry.securityId || header.u64(8) != entry.offset || header.u32(16) != entry.length)
            continue;
        const auto descriptor = std::span<const uint8_t>(buffer).subspan(kDescriptorHeader);
        const ByteView view(descriptor);
        const size_t ownerAt = view.u32(4);
        if (view.u8(0) != 1 || !(view.u16(2) & kSelfRelative) || ownerAt < kSelfRelativeHeader ||
            ownerAt >= descriptor.size())
            continue;
        const auto sid = SecurityOwners::sidAt(descriptor.subspan(ownerAt));
        if (sid.empty()) continue;
        owners.add(entry.securityId, sid);
        return true;
    }
    return false;
}

bool SecureReader::readDescriptors(uint64_t offset, std::span<uint8_t> into) {
    const bool held = offset >= pieceStart_ && offset - pieceStart_ <= pieceLength_ &&
                      into.size() <= pieceLength_ - (offset - pieceStart_);
    if (!held) {
        const uint64_t mapped = descriptors_.mappedBytes();
        if (offset > mapped || into.size() > mapped - offset) return false;
        piece_.resize(kPieceBytes);
        pieceStart_ = offset;
        pieceLength_ = static_cast<size_t>(std::min<uint64_t>(kPieceBytes, mapped - offset));
        // A piece that fails (a sparse or unreadable run in it) leaves the descriptor read alone.
        if (into.size() > pieceLength_ || !descriptors_.read(offset, std::span(piece_).first(pieceLength_))) {
            pieceLength_ = 0;
            return descriptors_.read(offset, into);
        }
    }
    std::copy_n(piece_.begin() + static_cast<ptrdiff_t>(offset - pieceStart_), into.size(), into.begin());
    return true;
}

void SecureReader::problem(const char* what) {
    if (why_ && why_->empty()) *why_ = what;
}

}  // namespace Quilna::Ntfs
