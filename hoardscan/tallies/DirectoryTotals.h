#pragma once
// The totals of each directory's whole subtree, split by account, user and access temperature,
// for the directory totals side file. The sums live on a stack of levels, one per directory on
// the walk's path: a file adds to the level of its directory, and a directory left hands its sums
// to the one above, after its rows are written when the subtree takes at least the threshold on
// disk (then all its splits are written, whatever each takes). The memory is bounded by the
// walk's depth, not by the tree: a level holds one split per (account, user, temperature) triple
// met in its subtree, so at most depth x the run's distinct triples (32 bytes each), plus each
// triple's texts once. A file costs a comparison of its three texts with the last file's and a
// few additions; a triple not met before costs a look-up, a triple new to the run its copy. A
// directory whose path is longer than the system can name gets no rows (its sums still go up to
// the directories above): a deep chain's rows, each naming its whole path, would otherwise grow
// with the square of its depth.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Quilna {

class LargestDirectories;

class DirectoryTotals {
public:
    // Subtrees taking fewer bytes on disk get no rows; rows are due to be written once the buffer
    // holds rowsPerFlush rows or bufferBytes of text.
    DirectoryTotals(int64_t threshold, size_t longestPath, size_t rowsPerFlush, size_t bufferBytes);

    // Every directory left is also offered, with its subtree's sums, to the list.
    void offerTo(LargestDirectories& largest) { largest_ = &largest; }

    // A walk begins: levels a stopped walk left behind are dropped unwritten.
    void beginWalk();
    void enterDirectory();
    void addFile(const std::string& account, const std::string& user, const std::string& temperature, int64_t bytes,
                 int64_t bytesOnDisk);
    // The directory on top is left (path: its text); true when the rows are due to be written.
    bool leaveDirectory(std::string_view path);

    // The rows not yet written, each line with its line feed.
    const std::string& rows() const { return rows_; }
    // After a flush: a written buffer is emptied; one that failed stays and is due again later.
    void flushed(bool written);
    // Rows that found the buffer over its bound after failed flushes.
    uint64_t lostRows() const { return lost_; }
    // Directories that reached the threshold but whose path was too long to be written.
    uint64_t overlongDirectories() const { return overlong_; }

private:
    struct Split {
        uint32_t triple = 0;
        int64_t files = 0;
        int64_t bytes = 0;
        int64_t bytesOnDisk = 0;
    };
    struct Level {
        std::vector<Split> splits;
        int64_t bytesOnDisk = 0;
        size_t last = 0;  // the split the last file added to
    };

    struct Triple {
        std::string account;
        std::string user;
        std::string temperature;
    };

    uint32_t tripleOf(const std::string& account, const std::string& user, const std::string& temperature);
    static Split& splitOf(Level& level, uint32_t triple);
    void writeRows(std::string_view path, const Level& level);
    static void handUp(const Level& below, Level& above);
    static void clear(Level& level);
    void offer(std::string_view path, const Level& level);

    int64_t threshold_;
    size_t longestPath_;
    size_t rowsPerFlush_;
    size_t bufferBytes_;
    std::vector<Level> levels_;  // grown to the deepest path, kept for their room
    size_t depth_ = 0;
    std::vector<Triple> triples_;                              // by number
    std::unordered_map<std::string, uint32_t> tripleNumbers_;  // by account, NUL, user, NUL, temperature
    std::string tripleKey_;                                    // reused per new triple
    bool hasLastTriple_ = false;
    uint32_t lastTriple_ = 0;
    std::string rows_;
    size_t rowCount_ = 0;
    size_t dueAt_;
    bool retrying_ = false;
    uint64_t lost_ = 0;
    uint64_t overlong_ = 0;
    LargestDirectories* largest_ = nullptr;
};

}  // namespace Quilna
