#pragma once
// One directory of the walk: on its path, or ahead of it, read by a helper thread before the
// walk comes to it. The parent's listing makes it (name, kind, the rules' state of its path);
// a reader opens it, takes its identity and reads its listing in pieces.
//
// Who may touch what. "The lock" is the read-ahead's (ReadAhead); a reader is a helper thread,
// or the walk's thread reading for itself; a directory is busy from the moment a reader takes
// it under the lock until it hands its piece back under the lock.
// - Fixed: written by the reader of the parent before it hands the directory over under the
//   lock; read by any thread after that, without the lock.
// - The read: only under the lock, but for what the busy reader writes (below). The walk reads
//   the listing's results (entries, listedWhole) without the lock once the listing has ended.
// - Opening (opened, hasIdentity, identity, accounted): written once by the reader that opens
//   it, while busy; read by any thread after that reader has handed over.
// - The handle (directory) belongs to the directory: it is closed where the directory lets go
//   of it, and a reader holds a second reference only while it reads or opens through it.
//   Written by the busy reader (opening; closing once the listing has ended with no
//   subdirectory to enter), then only by the walk, under the lock, while the directory is on
//   the path (let go far up, given back). Helpers read it under the lock: a directory's own
//   while it is not busy, a parent's to open a subdirectory to enter (which keeps the parent's
//   reader from closing it). The walk reads it without the lock once the listing has ended.
// - subdirectories: the busy reader appends under the lock; once the listing has ended, the
//   walk takes them out under the lock (left, dropped) and reads the list without it.
// - The walk's place: written by the walk, next and onPath under the lock (helpers search by
//   them), parentLength without; the walk reads them without the lock.
// A directory left by the walk or dropped is out of the tree: the thread that took it out (or a
// helper it was handed to, in a batch) closes and renews it alone.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hoardscan/rules/PathRules.h"
#include "platform/FileIdentity.h"
#include "platform/FileInfo.h"
#include "platform/OpenDirectory.h"

namespace Quilna {

struct WalkDirectory {
    enum class Kind { Enter, ExcludedTree, MountPoint };

    // A file of the listing, with what the walk will ask about it decided ahead.
    struct File {
        std::string name;
        const FileSystemRule* rule = nullptr;   // the first file systems rule matching it
        const AccountEntry* account = nullptr;  // the entry charging it
        bool counted = false;                   // included and charged: its status was taken
        bool found = false;                     // the status call found it
        FileInfo info;
    };
    using Piece = std::vector<File>;

    // Fixed when the parent's listing makes it.
    WalkDirectory* parent = nullptr;
    size_t indexInParent = 0;  // in the parent's subdirectories
    std::string name;
    Kind kind = Kind::Enter;
    const FileSystemRule* excludingRule = nullptr;  // ExcludedTree
    size_t pathLength = 0;                          // of its path, ending in the separator
    std::string path;                               // the path itself, kept only while a mount point could lie below it
    PathRules::State state;                         // of its path, ending in the separator

    // The read.
    bool started = false;    // a reader has begun it (or the walk has)
    bool readAhead = false;  // begun by a helper, and the walk has not reached it yet
    bool busy = false;       // a reader works on it now
    bool cancelled = false;
    bool wholeListing = false;  // the walk wants every piece at once (debug level 5)
    uint64_t entries = 0;       // listed so far, "." and ".." included
    std::vector<Piece> pieces;  // in listing order; a few at most
    bool listingEnded = false;
    bool listedWhole = false;  // read to its end without failure

    // Opening.
    bool opened = false;
    bool hasIdentity = false;
    FileIdentity identity;
    bool accounted = false;  // listed only when the accounts file has an interest in it

    // The handle. Null when it could not be opened, was let go, or has nothing to enter once listed.
    std::shared_ptr<OpenDirectory> directory;

    std::vector<std::unique_ptr<WalkDirectory>> subdirectories;  // in listing order

    // The walk's place in it.
    bool onPath = false;      // entered and not yet left
    size_t next = 0;          // the subdirectory the walk takes next
    size_t parentLength = 0;  // the parent's path is the start of this one's

    // Made new for another directory, but for the room of its strings and lists; the directories
    // still below it are handed to spare the same way.
    void renew(std::vector<std::unique_ptr<WalkDirectory>>& spare) {
        std::string keptName = std::move(name), keptPath = std::move(path);
        std::vector<Piece> keptPieces = std::move(pieces);
        std::vector<std::unique_ptr<WalkDirectory>> below = std::move(subdirectories);
        for (std::unique_ptr<WalkDirectory>& directory : below)
            if (directory) directory->renew(spare), spare.push_back(std::move(directory));
        below.clear();
        *this = WalkDirectory{};
        keptName.clear();
        keptPath.clear();
        keptPieces.clear();
        name = std::move(keptName);
        path = std::move(keptPath);
        pieces = std::move(keptPieces);
        subdirectories = std::move(below);
    }
};

}  // namespace Quilna
