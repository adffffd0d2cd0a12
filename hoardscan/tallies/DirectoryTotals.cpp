#include "hoardscan/tallies/DirectoryTotals.h"

#include "hoardscan/tallies/LargestDirectories.h"
#include "results/DirectoryTotalsFormat.h"

namespace Quilna {

DirectoryTotals::DirectoryTotals(int64_t threshold, size_t longestPath, size_t rowsPerFlush, size_t bufferBytes)
    : threshold_(threshold),
      longestPath_(longestPath),
      rowsPerFlush_(rowsPerFlush < 1 ? 1 : rowsPerFlush),
      bufferBytes_(bufferBytes),
      dueAt_(rowsPerFlush_) {}

void DirectoryTotals::beginWalk() {
    for (Level& level : levels_) clear(level);
    depth_ = 0;
}

void DirectoryTotals::enterDirectory() {
    if (depth_ == levels_.size()) levels_.emplace_back();
    ++depth_;
}

void DirectoryTotals::addFile(const std::string& account, const std::string& user, const std::string& temperature,
                              int64_t bytes, int64_t bytesOnDisk) {
    if (depth_ == 0) return;
    const uint32_t triple = tripleOf(account, user, temperature);
    Level& level = levels_[depth_ - 1];
    Split& split = splitOf(level, triple);
    split.files += 1;
    split.bytes += bytes;
    split.bytesOnDisk += bytesOnDisk;
    level.bytesOnDisk += bytesOnDisk;
}

// The files of a directory mostly share their triple: the last one is tried first, by its texts.
uint32_t DirectoryTotals::tripleOf(const std::string& account, const std::string& user,
                                   const std::string& temperature) {
    if (hasLastTriple_) {
        const Triple& last = triples_[lastTriple_];
        if (last.account == account && last.user == user && last.temperature == temperature) return lastTriple_;
    }
    tripleKey_.assign(account).push_back('\0');
    tripleKey_.append(user).push_back('\0');
    tripleKey_.append(temperature);
    const auto [at, added] = tripleNumbers_.try_emplace(tripleKey_, static_cast<uint32_t>(triples_.size()));
    if (added) triples_.push_back(Triple{account, user, temperature});
    hasLastTriple_ = true;
    lastTriple_ = at->second;
    return lastTriple_;
}

DirectoryTotals::Split& DirectoryTotals::splitOf(Level& level, uint32_t triple) {
    if (level.last < level.splits.size() && level.splits[level.last].triple == triple) return level.splits[level.last];
    for (level.last = 0; level.last < level.splits.size(); ++level.last)
        if (level.splits[level.last].triple == triple) return level.splits[level.last];
    level.splits.push_back(Split{triple});
    return level.splits.back();
}

bool DirectoryTotals::leaveDirectory(std::string_view path) {
    if (depth_ == 0) return false;
    Level& level = levels_[depth_ - 1];
    if (!level.splits.empty() && level.bytesOnDisk >= threshold_) writeRows(path, level);
    if (largest_ && !level.splits.empty()) offer(path, level);
    if (depth_ > 1) handUp(level, levels_[depth_ - 2]);
    clear(level);
    --depth_;
    return rowCount_ >= dueAt_ || (!retrying_ && rows_.size() >= bufferBytes_);
}

void DirectoryTotals::writeRows(std::string_view path, const Level& level) {
    if (path.size() > longestPath_) {
        ++overlong_;
        return;
    }
    // A buffer that could not be written keeps growing only so far.
    if (rows_.size() >= 2 * bufferBytes_) {
        lost_ += level.splits.size();
        return;
    }
    for (const Split& split : level.splits) {
        const Triple& triple = triples_[split.triple];
        DirectoryTotalsFormat::appendRow(rows_, path, triple.account, triple.user, triple.temperature, split.files,
                                         split.bytes, split.bytesOnDisk);
        ++rowCount_;
    }
}

void DirectoryTotals::offer(std::string_view path, const Level& level) {
    int64_t files = 0, bytes = 0;
    for (const Split& split : level.splits) {
        files += split.files;
        bytes += split.bytes;
    }
    largest_->offer(path, files, bytes, level.bytesOnDisk);
}

void DirectoryTotals::handUp(const Level& below, Level& above) {
    for (const Split& split : below.splits) {
        Split& sum = splitOf(above, split.triple);
        sum.files += split.files;
        sum.bytes += split.bytes;
        sum.bytesOnDisk += split.bytesOnDisk;
    }
    above.bytesOnDisk += below.bytesOnDisk;
}

// Emptied for the next directory at this depth; its room is kept.
void DirectoryTotals::clear(Level& level) {
    level.splits.clear();
    level.bytesOnDisk = 0;
    level.last = 0;
}

// A failed flush is tried again after as many rows more, not at every directory.
void DirectoryTotals::flushed(bool written) {
    retrying_ = !written;
    if (written) {
        rows_.clear();
        rowCount_ = 0;
    }
    dueAt_ = rowCount_ + rowsPerFlush_;
}

}  // namespace Quilna
