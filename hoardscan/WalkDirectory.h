#pragma once
// One directory of the walk: on its path, or ahead of it, read by a helper thread before the
// walk comes to it. The parent's listing makes it (name, kind, the rules' state of its path);
// a reader opens it, takes its identity and reads its listing in pieces. Everything a reader
// writes is handed over under the read-ahead's lock (ReadAhead); the walk reads it there, or
// once the reader is done with the directory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hoardscan/PathRules.h"
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
    bool opened = false;
    // Null when it could not be opened, was let go, or has nothing to enter once listed.
    std::shared_ptr<OpenDirectory> directory;
    bool hasIdentity = false;
    FileIdentity identity;
    bool accounted = false;     // listed only when the accounts file has an interest in it
    bool wholeListing = false;  // the walk wants every piece at once (debug level 5)
    uint64_t entries = 0;       // listed so far, "." and ".." included
    std::vector<Piece> pieces;  // in listing order; a few at most
    bool listingEnded = false;
    bool listedWhole = false;                                    // read to its end without failure
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
