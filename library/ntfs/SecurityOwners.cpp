#include "ntfs/SecurityOwners.h"

#include <algorithm>

namespace Quilna::Ntfs {
namespace {

constexpr size_t kSidHeader = 8;
constexpr uint8_t kLargestSubAuthorities = 15;

}  // namespace

std::span<const uint8_t> SecurityOwners::ownerSid(uint32_t securityId) const {
    const auto at = std::lower_bound(ids_.begin(), ids_.end(), securityId,
                                     [](const Id& id, uint32_t wanted) { return id.securityId < wanted; });
    if (at == ids_.end() || at->securityId != securityId) return {};
    const auto all = std::span<const uint8_t>(sids_).subspan(starts_[at->owner]);
    return sidAt(all);
}

size_t SecurityOwners::bytesUsed() const {
    return ids_.capacity() * sizeof(Id) + starts_.capacity() * sizeof(uint32_t) + sids_.capacity();
}

std::span<const uint8_t> SecurityOwners::sidAt(std::span<const uint8_t> bytes) {
    if (bytes.size() < kSidHeader || bytes[0] != 1 || bytes[1] > kLargestSubAuthorities) return {};
    const size_t length = kSidHeader + 4 * size_t{bytes[1]};
    return bytes.size() < length ? std::span<const uint8_t>{} : bytes.first(length);
}

std::string SecurityOwners::sidText(std::span<const uint8_t> sid) {
    if (sidAt(sid).size() != sid.size() || sid.empty()) return {};
    uint64_t authority = 0;  // six bytes, most significant first
    for (size_t i = 2; i < kSidHeader; ++i) authority = authority << 8 | sid[i];
    std::string text = "S-1-";
    if (authority >> 32) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        text += "0x";
        for (int shift = 44; shift >= 0; shift -= 4) text += kHex[authority >> shift & 0xF];
    } else {
        text += std::to_string(authority);
    }
    for (size_t at = kSidHeader; at < sid.size(); at += 4) {
        const uint32_t part =
            sid[at] | uint32_t{sid[at + 1]} << 8 | uint32_t{sid[at + 2]} << 16 | uint32_t{sid[at + 3]} << 24;
        text += "-" + std::to_string(part);
    }
    return text;
}

void SecurityOwners::add(uint32_t securityId, std::span<const uint8_t> sid) {
    const auto [place, isNew] =
        building_.try_emplace(std::string(sid.begin(), sid.end()), static_cast<uint32_t>(starts_.size()));
    if (isNew) {
        starts_.push_back(static_cast<uint32_t>(sids_.size()));
        sids_.insert(sids_.end(), sid.begin(), sid.end());
    }
    ids_.push_back({securityId, place->second});
}

void SecurityOwners::finish() {
    std::stable_sort(ids_.begin(), ids_.end(), [](const Id& a, const Id& b) { return a.securityId < b.securityId; });
    ids_.erase(
        std::unique(ids_.begin(), ids_.end(), [](const Id& a, const Id& b) { return a.securityId == b.securityId; }),
        ids_.end());
    ids_.shrink_to_fit();
    starts_.shrink_to_fit();
    sids_.shrink_to_fit();
    building_.clear();
}

}  // namespace Quilna::Ntfs
