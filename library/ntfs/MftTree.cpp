#include "ntfs/MftTree.h"

#include <algorithm>
#include <utility>

namespace Quilna::Ntfs {
namespace {

// The UTF-16 units of UTF-8 text the table made (so well-formed), one at a time.
class Utf16Units {
public:
    explicit Utf16Units(std::string_view text) : text_(text) {}
    bool done() const { return pending_ == 0 && at_ >= text_.size(); }
    uint16_t next() {
        if (pending_ != 0) return std::exchange(pending_, 0);
        const auto lead = static_cast<uint8_t>(text_[at_]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int i = 1; i < length && at_ + i < text_.size(); ++i) code = code << 6 | (text_[at_ + i] & 0x3F);
        at_ += length;
        if (code < 0x10000) return static_cast<uint16_t>(code);
        pending_ = static_cast<uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        return static_cast<uint16_t>(0xD800 + ((code - 0x10000) >> 10));
    }

private:
    std::string_view text_;
    size_t at_ = 0;
    uint16_t pending_ = 0;
};

uint16_t upper(uint16_t unit, const std::vector<uint16_t>& upCase) {
    if (!upCase.empty()) return upCase[unit];
    return unit >= 'a' && unit <= 'z' ? static_cast<uint16_t>(unit - 32) : unit;
}

// Negative, 0 or positive as `a` sorts before, with or after `b`, upper-cased or as written.
int compare(std::string_view a, std::string_view b, const std::vector<uint16_t>* upCase) {
    Utf16Units left(a), right(b);
    while (!left.done() && !right.done()) {
        uint16_t x = left.next(), y = right.next();
        if (upCase != nullptr) x = upper(x, *upCase), y = upper(y, *upCase);
        if (x != y) return x < y ? -1 : 1;
    }
    return left.done() ? (right.done() ? 0 : -1) : 1;
}

}  // namespace

bool MftTree::before(std::string_view a, std::string_view b, const std::vector<uint16_t>& upCase) {
    const int folded = compare(a, b, &upCase);
    return folded != 0 ? folded < 0 : compare(a, b, nullptr) < 0;
}

MftTree::MftTree(const MftTable& table) : table_(table) {
    const auto& entries = table.entries();
    names_ = table.names();
    owner_.resize(names_.size());
    for (uint32_t i = 0; i < entries.size(); ++i) {
        for (uint32_t name = entries[i].firstName; name < entries[i].firstName + entries[i].nameCount; ++name)
            owner_[name] = i;
        if (entries[i].record < kFirstUserRecord) continue;
        for (uint32_t name = entries[i].firstName; name < entries[i].firstName + entries[i].nameCount; ++name)
            order_.push_back(name);
    }
    std::sort(order_.begin(), order_.end(), [this](uint32_t a, uint32_t b) {
        if (names_[a].parent != names_[b].parent) return names_[a].parent < names_[b].parent;
        return before(table_.text(names_[a]), table_.text(names_[b]), table_.upCase());
    });
    order_.shrink_to_fit();
}

std::span<const uint32_t> MftTree::children(uint32_t directory) const {
    const auto first = std::partition_point(order_.begin(), order_.end(),
                                            [&](uint32_t name) { return names_[name].parent < directory; });
    const auto last =
        std::partition_point(first, order_.end(), [&](uint32_t name) { return names_[name].parent == directory; });
    return {first, last};
}

std::string MftTree::path(uint32_t index, char separator) const {
    std::vector<uint32_t> pieces{index};
    // A path holds at most 32,767 units, so deeper chains are loops.
    while (names_[pieces.back()].parent != kRoot) {
        const MftEntry* parent = table_.find(names_[pieces.back()].parent);
        if (parent == nullptr || parent->nameCount == 0 || pieces.size() > 16384) return {};
        pieces.push_back(parent->firstName);
    }
    std::string path;
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece)
        (path += separator) += table_.text(names_[*piece]);
    return path;
}

}  // namespace Quilna::Ntfs
