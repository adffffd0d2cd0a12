#pragma once
// The directories whose whole subtrees take the most bytes on disk, as the directory totals hand
// them over when the walk leaves each one: a bounded heap, so that a path is copied only when its
// subtree enters the list, and the memory does not grow with the tree.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna {

class LargestDirectories {
public:
    struct Entry {
        std::string path;
        int64_t files = 0;
        int64_t bytes = 0;
        int64_t bytesOnDisk = 0;
    };

    explicit LargestDirectories(size_t kept) : kept_(kept) {}

    void offer(std::string_view path, int64_t files, int64_t bytes, int64_t bytesOnDisk);
    // Largest first; a tie goes by path.
    std::vector<Entry> largestFirst() const;

private:
    size_t kept_;
    std::vector<Entry> heap_;  // the smallest kept on top
};

}  // namespace Quilna
