#include "hoardscan/tallies/LargestDirectories.h"

#include <algorithm>

namespace Quilna {

namespace {

bool larger(const LargestDirectories::Entry& a, const LargestDirectories::Entry& b) {
    return a.bytesOnDisk != b.bytesOnDisk ? a.bytesOnDisk > b.bytesOnDisk : a.path < b.path;
}

}  // namespace

void LargestDirectories::offer(std::string_view path, int64_t files, int64_t bytes, int64_t bytesOnDisk) {
    if (kept_ == 0) return;
    if (heap_.size() == kept_) {
        if (bytesOnDisk <= heap_.front().bytesOnDisk) return;
        std::pop_heap(heap_.begin(), heap_.end(), larger);
        heap_.pop_back();
    }
    heap_.push_back(Entry{std::string(path), files, bytes, bytesOnDisk});
    std::push_heap(heap_.begin(), heap_.end(), larger);
}

std::vector<LargestDirectories::Entry> LargestDirectories::largestFirst() const {
    std::vector<Entry> sorted = heap_;
    std::sort(sorted.begin(), sorted.end(), larger);
    return sorted;
}

}  // namespace Quilna
