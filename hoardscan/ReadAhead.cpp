#include "hoardscan/ReadAhead.h"

#include <algorithm>

namespace Quilna {

ReadAhead::ReadAhead(unsigned helpers) {
    for (unsigned i = 0; i < helpers; ++i) helpers_.emplace_back([this] { help(); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
}

void ReadAhead::begin(const PathRules& rules) {
    std::lock_guard<std::mutex> lock(mutex_);
    reader_ = std::make_unique<DirectoryReader>(rules, pieceSize);
}

void ReadAhead::end() {
    std::unique_lock<std::mutex> lock(mutex_);
    path_.clear();
    pending_.clear();
    changed_.wait(lock, [this] { return working_.empty(); });
    reader_.reset();
}

void ReadAhead::rootOpened(WalkDirectory& root, std::unique_ptr<OpenDirectory> open) {
    std::lock_guard<std::mutex> lock(mutex_);
    root.started = true;
    reader_->opened(root, std::move(open));
}

// ---- the walk's path ----

void ReadAhead::enter(WalkDirectory& directory) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!path_.empty() && path_.back()->next < path_.back()->subdirectories.size())
            pending_.push_back(path_.size() - 1);
        directory.onPath = true;
        path_.push_back(&directory);
    }
    changed_.notify_all();
}

void ReadAhead::leave() {
    std::unique_ptr<WalkDirectory> left;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        WalkDirectory& top = *path_.back();
        top.onPath = false;
        path_.pop_back();
        if (!pending_.empty() && pending_.back() + 1 == path_.size()) pending_.pop_back();
        if (top.parent) left = std::move(top.parent->subdirectories[top.indexInParent]);
    }
    changed_.notify_all();
}

WalkDirectory& ReadAhead::takeSubdirectory() {
    std::lock_guard<std::mutex> lock(mutex_);
    WalkDirectory& top = *path_.back();
    return *top.subdirectories[top.next++];
}

void ReadAhead::discard(WalkDirectory& directory) {
    std::unique_ptr<WalkDirectory> dropped;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        directory.cancelled = true;
        changed_.wait(lock, [&] { return !isWorkedInside(directory); });
        dropped = std::move(directory.parent->subdirectories[directory.indexInParent]);
    }
}

void ReadAhead::dropRest(WalkDirectory& directory) {
    for (;;) {
        WalkDirectory* below = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            while (directory.next < directory.subdirectories.size() && !below)
                below = directory.subdirectories[directory.next++].get();
        }
        if (!below) break;
        discard(*below);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [&](size_t level) { return path_[level] == &directory; }),
                   pending_.end());
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

void ReadAhead::awaitOpened(WalkDirectory& directory) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !directory.busy; });
    if (!directory.started) read(directory, lock);
}

bool ReadAhead::nextPiece(WalkDirectory& directory, WalkDirectory::Piece& piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!directory.pieces.empty()) {
            piece = std::move(directory.pieces.front());
            directory.pieces.pop_front();
            lock.unlock();
            changed_.notify_all();
            return true;
        }
        if (directory.listingEnded) return false;
        if (directory.busy)
            changed_.wait(lock);
        else
            read(directory, lock);
    }
}

void ReadAhead::wantWholeListing(WalkDirectory& directory) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        directory.wholeListing = true;
    }
    changed_.notify_all();
}

std::shared_ptr<OpenDirectory> ReadAhead::handleOf(WalkDirectory& directory) {
    std::lock_guard<std::mutex> lock(mutex_);
    return directory.directory;
}

void ReadAhead::letGo(WalkDirectory& directory) {
    std::shared_ptr<OpenDirectory> closed;
    std::lock_guard<std::mutex> lock(mutex_);
    closed = std::move(directory.directory);
}

void ReadAhead::reopened(WalkDirectory& directory, std::shared_ptr<OpenDirectory> open) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        directory.directory = std::move(open);
    }
    changed_.notify_all();
}

void ReadAhead::read(WalkDirectory& directory, std::unique_lock<std::mutex>& lock) {
    const bool opening = !directory.started;
    directory.started = true;
    directory.busy = true;
    std::shared_ptr<OpenDirectory> handle = opening ? directory.parent->directory : directory.directory;
    const DirectoryReader& reader = *reader_;
    working_.push_back(&directory);
    lock.unlock();

    DirectoryReader::PieceRead piece;
    if (opening) {
        reader.open(directory, handle);
        handle = directory.directory;
    }
    if (handle) reader.readPiece(directory, *handle, piece);
    else piece.listing = OpenDirectory::Listing::End;

    lock.lock();
    directory.entries += piece.entries;
    if (!piece.files.empty()) directory.pieces.push_back(std::move(piece.files));
    for (std::unique_ptr<WalkDirectory>& below : piece.subdirectories) {
        below->indexInParent = directory.subdirectories.size();
        directory.subdirectories.push_back(std::move(below));
    }
    if (piece.listing != OpenDirectory::Listing::More) {
        directory.listingEnded = true;
        directory.listedWhole = piece.listing == OpenDirectory::Listing::End;
    }
    directory.busy = false;
    working_.erase(std::find(working_.begin(), working_.end(), &directory));
    changed_.notify_all();
}

// ---- the helpers ----

void ReadAhead::help() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        WalkDirectory* work = nullptr;
        changed_.wait(lock, [&] { return stopping_ || (work = nextWork()) != nullptr; });
        if (stopping_) return;
        read(*work, lock);
    }
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
    size_t held = 0;
    if (WalkDirectory* found = searchBelow(top, held)) return found;
    for (auto level = pending_.rbegin(); level != pending_.rend() && held < window; ++level) {
        WalkDirectory& directory = *path_[*level];
        // Let go of: so is every level above it.
        if (!directory.directory) break;
        if (WalkDirectory* found = searchBelow(directory, held)) return found;
    }
    return nullptr;
}

WalkDirectory* ReadAhead::searchBelow(WalkDirectory& directory, size_t& held) {
    for (size_t i = directory.next; i < directory.subdirectories.size() && held < window; ++i) {
        WalkDirectory* below = directory.subdirectories[i].get();
        if (!below) continue;
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
