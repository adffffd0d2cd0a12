#include "hoardscan/walk/ReadAhead.h"

#include <algorithm>

namespace Quilna {

namespace {

void moveSome(std::vector<std::unique_ptr<WalkDirectory>>& from, std::vector<std::unique_ptr<WalkDirectory>>& to,
              size_t most) {
    for (; most > 0 && !from.empty(); --most) {
        to.push_back(std::move(from.back()));
        from.pop_back();
    }
}

bool hasSubdirectoryToEnter(const std::vector<std::unique_ptr<WalkDirectory>>& subdirectories) {
    return std::any_of(subdirectories.begin(), subdirectories.end(), [](const std::unique_ptr<WalkDirectory>& below) {
        return below && below->kind == WalkDirectory::Kind::Enter;
    });
}

}  // namespace

ReadAhead::ReadAhead(Drives& drives, const PathSyntax& syntax, unsigned helpers) : drives_(drives), syntax_(syntax) {
    for (unsigned i = 0; i < helpers; ++i) helpers_.emplace_back([this] { help(); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<SpinMutex> lock(mutex_);
        stopping_ = true;
    }
    helpersWait_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
}

void ReadAhead::begin(const PathRules& rules) {
    std::lock_guard<SpinMutex> lock(mutex_);
    reader_ = std::make_unique<DirectoryReader>(drives_, syntax_, rules, pieceSize);
}

void ReadAhead::end() {
    std::unique_lock<SpinMutex> lock(mutex_);
    path_.clear();
    pending_.clear();
    // Every handle of the walk is closed when it returns: none is read or closed by a helper any more.
    waitForWalk(lock, [this] { return working_.empty() && renewing_ == 0; });
    retired_.clear();
    reader_.reset();
    ahead_ = 0;
}

void ReadAhead::rootOpened(WalkDirectory& root, std::unique_ptr<OpenDirectory> open) {
    std::lock_guard<SpinMutex> lock(mutex_);
    root.started = true;
    reader_->opened(root, std::move(open));
}

// ---- the walk's path ----

void ReadAhead::enter(WalkDirectory& directory) {
    {
        std::lock_guard<SpinMutex> lock(mutex_);
        if (!path_.empty() && path_.back()->next < path_.back()->subdirectories.size())
            pending_.push_back(path_.size() - 1);
        directory.onPath = true;
        path_.push_back(&directory);
        // The new top's listing and subdirectories are the first work now.
        wakeHelper();
    }
}

void ReadAhead::leave() {
    std::unique_ptr<WalkDirectory> left;
    {
        std::lock_guard<SpinMutex> lock(mutex_);
        WalkDirectory& top = *path_.back();
        top.onPath = false;
        path_.pop_back();
        if (!pending_.empty() && pending_.back() + 1 == path_.size()) pending_.pop_back();
        if (top.parent) left = retire(std::move(top.parent->subdirectories[top.indexInParent]));
    }
}

// Closing a directory costs the walk as much as opening it: a helper closes it, in batches.
std::unique_ptr<WalkDirectory> ReadAhead::retire(std::unique_ptr<WalkDirectory> directory) {
    if (helpers_.empty()) return directory;
    retired_.push_back(std::move(directory));
    if (idle_ > 0 && retired_.size() == retiredBatch) helpersWait_.notify_one();
    return nullptr;
}

void ReadAhead::renewRetired(std::vector<std::unique_ptr<WalkDirectory>>& renewing, std::unique_lock<SpinMutex>& lock) {
    renewing.swap(retired_);
    ++renewing_;
    lock.unlock();
    // Outside the lock: what is still open is closed here.
    for (size_t i = 0, retired = renewing.size(); i < retired; ++i) renewing[i]->renew(renewing);
    lock.lock();
    moveSome(renewing, spareDirectories_,
             spareDirectoryLimit - std::min(spareDirectoryLimit, spareDirectories_.size()));
    if (!renewing.empty()) {
        // More than the readers will want: freed.
        lock.unlock();
        renewing.clear();
        lock.lock();
    }
    --renewing_;
    if (walkWaits_) walkWait_.notify_one();
}

WalkDirectory& ReadAhead::takeSubdirectory() {
    std::unique_lock<SpinMutex> lock(mutex_);
    WalkDirectory& top = *path_.back();
    WalkDirectory& below = *top.subdirectories[top.next++];
    if (below.kind == WalkDirectory::Kind::Enter) awaitOpened(below, lock);
    return below;
}

void ReadAhead::discard(WalkDirectory& directory) {
    std::unique_ptr<WalkDirectory> dropped;
    {
        std::unique_lock<SpinMutex> lock(mutex_);
        directory.cancelled = true;
        waitForWalk(lock, [&] { return !isWorkedInside(directory); });
        ahead_ -= startedAhead(directory);
        dropped = retire(std::move(directory.parent->subdirectories[directory.indexInParent]));
        wakeHelper();
    }
}

void ReadAhead::dropRest(WalkDirectory& directory) {
    for (;;) {
        WalkDirectory* below = nullptr;
        {
            std::lock_guard<SpinMutex> lock(mutex_);
            while (directory.next < directory.subdirectories.size() && !below)
                below = directory.subdirectories[directory.next++].get();
        }
        if (!below) break;
        discard(*below);
    }
    std::lock_guard<SpinMutex> lock(mutex_);
    pending_.erase(
        std::remove_if(pending_.begin(), pending_.end(), [&](size_t level) { return path_[level] == &directory; }),
        pending_.end());
}

size_t ReadAhead::startedAhead(WalkDirectory& directory) {
    size_t started = directory.readAhead ? 1 : 0;
    directory.readAhead = false;
    for (const std::unique_ptr<WalkDirectory>& below : directory.subdirectories)
        if (below) started += startedAhead(*below);
    return started;
}

bool ReadAhead::isWorkedInside(const WalkDirectory& directory) const {
    for (const WalkDirectory* working : working_) {
        // Up to the walk's path at most: what the helpers read hangs below it, not far.
        for (const WalkDirectory* at = working; at && !at->onPath; at = at->parent)
            if (at == &directory) return true;
    }
    return false;
}

// ---- reading ----

void ReadAhead::awaitOpened(WalkDirectory& directory, std::unique_lock<SpinMutex>& lock) {
    awaitReader(directory, lock);
    if (!directory.started) read(directory, walkRead_, lock);
    if (directory.readAhead) {
        directory.readAhead = false;
        --ahead_;
        wakeHelper();
    }
}

bool ReadAhead::nextPiece(WalkDirectory& directory, WalkDirectory::Piece& piece, bool& last) {
    std::unique_lock<SpinMutex> lock(mutex_);
    for (;;) {
        if (!directory.pieces.empty()) {
            // The spent piece goes back to the readers, so that a piece costs no allocation once warm.
            piece.swap(directory.pieces.front());
            WalkDirectory::Piece& spent = directory.pieces.front();
            if (spare_.size() < spareLimit && spent.capacity() <= spareCapacity) spare_.push_back(std::move(spent));
            directory.pieces.erase(directory.pieces.begin());
            last = directory.pieces.empty() && directory.listingEnded;
            // Room for another piece.
            wakeHelper();
            return true;
        }
        if (directory.listingEnded) return false;
        if (directory.busy) awaitReader(directory, lock);
        else read(directory, walkRead_, lock);
    }
}

// While a helper reads what the walk needs, the walk reads ahead itself rather than sleep: a
// thread woken for every directory would cost more than the reading.
void ReadAhead::awaitReader(WalkDirectory& directory, std::unique_lock<SpinMutex>& lock) {
    while (directory.busy) {
        if (WalkDirectory* work = nextWork()) read(*work, walkRead_, lock, true);
        else waitForWalk(lock, [&] { return !directory.busy; });
    }
}

void ReadAhead::wantWholeListing(WalkDirectory& directory) {
    std::lock_guard<SpinMutex> lock(mutex_);
    directory.wholeListing = true;
    wakeHelper();
}

void ReadAhead::letGo(WalkDirectory& directory) {
    std::shared_ptr<OpenDirectory> closed;
    std::lock_guard<SpinMutex> lock(mutex_);
    closed = std::move(directory.directory);
}

void ReadAhead::reopened(WalkDirectory& directory, std::shared_ptr<OpenDirectory> open) {
    std::lock_guard<SpinMutex> lock(mutex_);
    directory.directory = std::move(open);
    wakeHelper();
}

void ReadAhead::read(WalkDirectory& directory, DirectoryReader::PieceRead& piece, std::unique_lock<SpinMutex>& lock,
                     bool ahead) {
    const bool opening = !directory.started;
    directory.started = true;
    directory.busy = true;
    if (opening && ahead) {
        directory.readAhead = true;
        ++ahead_;
    }
    std::shared_ptr<OpenDirectory> handle = opening ? directory.parent->directory : directory.directory;
    const DirectoryReader& reader = *reader_;
    working_.push_back(&directory);
    piece.entries = 0;
    piece.listing = OpenDirectory::Listing::More;
    piece.files.clear();
    if (!spare_.empty()) {
        piece.files = std::move(spare_.back());
        spare_.pop_back();
    }
    moveSome(spareDirectories_, piece.spareDirectories, sparesPerRead);
    lock.unlock();

    if (opening) {
        reader.open(directory, handle);
        handle = directory.directory;
    }
    if (handle) reader.readPiece(directory, *handle, piece);
    else piece.listing = OpenDirectory::Listing::End;
    // A directory listed to its end with nothing to enter is closed at once, by the thread that
    // read it: nothing asks through it any more, and a close where the open was costs less.
    if (piece.listing != OpenDirectory::Listing::More && !hasSubdirectoryToEnter(piece.subdirectories) &&
        !hasSubdirectoryToEnter(directory.subdirectories)) {
        directory.directory.reset();
        handle.reset();
    }

    lock.lock();
    directory.entries += piece.entries;
    if (!piece.files.empty()) directory.pieces.push_back(std::move(piece.files));
    else if (piece.files.capacity() > 0 && spare_.size() < spareLimit) spare_.push_back(std::move(piece.files));
    for (std::unique_ptr<WalkDirectory>& below : piece.subdirectories) {
        below->indexInParent = directory.subdirectories.size();
        directory.subdirectories.push_back(std::move(below));
    }
    piece.subdirectories.clear();
    moveSome(piece.spareDirectories, spareDirectories_, piece.spareDirectories.size());
    if (piece.listing != OpenDirectory::Listing::More) {
        directory.listingEnded = true;
        directory.listedWhole = piece.listing == OpenDirectory::Listing::End;
    }
    directory.busy = false;
    working_.erase(std::find(working_.begin(), working_.end(), &directory));
    if (walkWaits_) walkWait_.notify_one();
    // What it found may be work for another helper.
    wakeHelper();
}

// ---- the helpers ----

void ReadAhead::help() {
    std::vector<std::unique_ptr<WalkDirectory>> renewing;
    DirectoryReader::PieceRead piece;
    std::unique_lock<SpinMutex> lock(mutex_);
    for (;;) {
        if (!retired_.empty()) renewRetired(renewing, lock);
        WalkDirectory* work = nullptr;
        if (!stopping_ && !(work = nextWork())) {
            ++idle_;
            helpersWait_.wait(
                lock, [&] { return stopping_ || retired_.size() >= retiredBatch || (work = nextWork()) != nullptr; });
            --idle_;
        }
        if (stopping_) return;
        if (work) read(*work, piece, lock, true);
    }
}

void ReadAhead::wakeHelper() {
    // A helper asleep sleeps on until half of the window is free and there is something to read:
    // waking it for every directory the walk takes would cost more than the reading it saves
    // (the walk reads what it needs meanwhile).
    if (idle_ > 0 && ahead_ <= window / 2 && nextWork()) helpersWait_.notify_one();
}

bool ReadAhead::needsPiece(const WalkDirectory& directory, size_t limit) const {
    return directory.started && !directory.busy && !directory.listingEnded && directory.directory &&
           (directory.wholeListing || directory.pieces.size() < limit);
}

// The first directory in the walk's order that wants reading: the rest of the listing the walk
// is in, then the subdirectories it will take, depth first, then those of the levels above.
WalkDirectory* ReadAhead::nextWork() {
    if (path_.empty() || !reader_) return nullptr;
    WalkDirectory& top = *path_.back();
    if (needsPiece(top, piecesCurrent)) return &top;
    if (ahead_ >= window) return nullptr;
    size_t held = 0;
    if (WalkDirectory* found = searchBelow(top, held, reservedFor(top))) return found;
    for (auto level = pending_.rbegin(); level != pending_.rend() && held < window; ++level) {
        WalkDirectory& directory = *path_[*level];
        // Let go of: so is every level above it.
        if (!directory.directory) break;
        if (WalkDirectory* found = searchBelow(directory, held)) return found;
    }
    return nullptr;
}

// The subdirectory the walk takes next is its own to read when nobody has begun it: a helper
// that took it would only make the walk wait for it (a chain of single directories would cost
// a handover per directory); the helpers read the ones after it.
const WalkDirectory* ReadAhead::reservedFor(const WalkDirectory& top) const {
    for (size_t i = top.next; i < top.subdirectories.size(); ++i) {
        const WalkDirectory* below = top.subdirectories[i].get();
        if (below && below->kind == WalkDirectory::Kind::Enter && !below->cancelled)
            return below->started ? nullptr : below;
    }
    return nullptr;
}

WalkDirectory* ReadAhead::searchBelow(WalkDirectory& directory, size_t& held, const WalkDirectory* reserved) {
    for (size_t i = directory.next; i < directory.subdirectories.size() && held < window; ++i) {
        WalkDirectory* below = directory.subdirectories[i].get();
        if (!below || below == reserved) continue;
        if (WalkDirectory* found = search(*below, held)) return found;
    }
    return nullptr;
}

WalkDirectory* ReadAhead::search(WalkDirectory& directory, size_t& held) {
    if (directory.kind != WalkDirectory::Kind::Enter || directory.cancelled) return nullptr;
    if (!directory.started) return directory.parent->directory ? &directory : nullptr;
    ++held;
    if (directory.busy || !directory.directory) return nullptr;
    if (needsPiece(directory, piecesAhead)) return &directory;
    return searchBelow(directory, held);
}

}  // namespace Quilna
