#pragma once
// Helper threads that read the walk's directories before the walk comes to them, in the walk's
// own order: opening, listing and the status of the files it will count, which is where a scan
// waits on the system. The walk keeps every decision that shows (logging, rules, tallies, result
// files) on its one thread, in the order a walk without helpers takes: it only finds the system's
// answers ready. Without helpers the walk reads each directory itself, as it comes to it.
//
// Bounded: the helpers stay at most `window` directories ahead of the walk, read a directory
// ahead of the walk no further than its first piece, and the one the walk is in at most
// `piecesCurrent` pieces ahead of it (every piece at once only when the walk wants the whole
// listing); a piece holds at most pieceSize entries.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "hoardscan/walk/DirectoryReader.h"
#include "hoardscan/walk/SpinMutex.h"
#include "hoardscan/walk/WalkDirectory.h"

namespace Quilna {

class ReadAhead {
public:
    static constexpr size_t pieceSize = 512;
    static constexpr size_t window = 64;
    static constexpr size_t piecesAhead = 1;
    static constexpr size_t piecesCurrent = 4;
    static constexpr size_t retiredBatch = 16;
    // Spent pieces kept for the readers: a few, and small ones only (a huge listing's stay bounded).
    static constexpr size_t spareLimit = 8;
    static constexpr size_t spareCapacity = 64;
    // Directories left by the walk, renewed for the readers: a thread that frees what the other
    // allocated waits on the allocator's lock.
    static constexpr size_t spareDirectoryLimit = 256;
    static constexpr size_t sparesPerRead = 16;

    // The drives tell mount points, which are not entered.
    ReadAhead(Drives& drives, const PathSyntax& syntax, unsigned helpers);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // A walk of one file system, with its rules; end() waits until no helper works for it.
    void begin(const PathRules& rules);
    void end();
    // The facts of the walk's root, opened by the walk.
    void rootOpened(WalkDirectory& root, std::unique_ptr<OpenDirectory> open);

    // The walk's path: a directory entered (on top), the top one left (and freed with what is
    // below it), the top one's next subdirectory taken (and awaited until opened, when it is one
    // to enter: each call is a hand-over between the threads, so one call does both).
    void enter(WalkDirectory& directory);
    void leave();
    WalkDirectory& takeSubdirectory();
    // A subdirectory the walk does not enter after all: readers are kept out of it, and it is
    // freed once none works inside it.
    void discard(WalkDirectory& directory);
    // The subdirectories of a directory on the path that the walk has not taken yet, dropped.
    void dropRest(WalkDirectory& directory);

    // The next piece of a directory's listing; false when it has ended. last: none follows it.
    bool nextPiece(WalkDirectory& directory, WalkDirectory::Piece& piece, bool& last);
    void wantWholeListing(WalkDirectory& directory);

    // The handle of a directory far up the path, let go and given back.
    void letGo(WalkDirectory& directory);
    void reopened(WalkDirectory& directory, std::shared_ptr<OpenDirectory> open);

private:
    void help();
    // Reads the directory's next step (opening and first piece, or the next piece) into the
    // reading thread's own piece; the lock is let go meanwhile. Ahead: not for the walk's need now.
    void read(WalkDirectory& directory, DirectoryReader::PieceRead& piece, std::unique_lock<SpinMutex>& lock,
              bool ahead = false);
    // Waits until the directory is opened (by a helper, or here when none has begun it).
    void awaitOpened(WalkDirectory& directory, std::unique_lock<SpinMutex>& lock);
    void wakeHelper();
    // A directory the walk is done with, closed and renewed by a helper when there are helpers.
    std::unique_ptr<WalkDirectory> retire(std::unique_ptr<WalkDirectory> directory);
    void renewRetired(std::vector<std::unique_ptr<WalkDirectory>>& renewing, std::unique_lock<SpinMutex>& lock);
    void awaitReader(WalkDirectory& directory, std::unique_lock<SpinMutex>& lock);
    template <typename Condition>
    void waitForWalk(std::unique_lock<SpinMutex>& lock, Condition condition) {
        walkWaits_ = true;
        walkWait_.wait(lock, condition);
        walkWaits_ = false;
    }
    // The directories of a subtree read ahead, uncounted.
    static size_t startedAhead(WalkDirectory& directory);
    WalkDirectory* nextWork();
    WalkDirectory* searchBelow(WalkDirectory& directory, size_t& held, const WalkDirectory* reserved = nullptr);
    const WalkDirectory* reservedFor(const WalkDirectory& top) const;
    WalkDirectory* search(WalkDirectory& directory, size_t& held);
    bool needsPiece(const WalkDirectory& directory, size_t limit) const;
    bool isWorkedInside(const WalkDirectory& directory) const;

    Drives& drives_;
    const PathSyntax& syntax_;
    SpinMutex mutex_;
    std::condition_variable_any helpersWait_;
    std::condition_variable_any walkWait_;
    size_t idle_ = 0;  // helpers asleep
    bool walkWaits_ = false;
    size_t ahead_ = 0;  // directories begun by helpers that the walk has not reached
    std::unique_ptr<DirectoryReader> reader_;
    // Each reading thread keeps its piece's lists, so that they keep their room from one read to
    // the next: the walk's here, a helper's in its loop. Not thread-local: MinGW destroys such
    // objects at a thread's exit after their storage was freed.
    DirectoryReader::PieceRead walkRead_;
    std::vector<WalkDirectory*> path_;
    std::vector<size_t> pending_;                          // levels below the top with subdirectories not yet taken
    std::vector<WalkDirectory*> working_;                  // what each reader works on now
    std::vector<std::unique_ptr<WalkDirectory>> retired_;  // left by the walk, to be freed
    size_t renewing_ = 0;                                  // helpers closing retired directories outside the lock
    std::vector<WalkDirectory::Piece> spare_;              // spent pieces, written over by the next reads
    std::vector<std::unique_ptr<WalkDirectory>> spareDirectories_;
    bool stopping_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace Quilna
