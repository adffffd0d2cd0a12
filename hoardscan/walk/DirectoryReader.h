#pragma once
// What reading a directory of the walk takes, done by whichever thread reads it (a helper ahead
// of the walk, or the walk itself): opening it through its parent, its identity and whether the
// accounts file has an interest in it; then its listing in pieces of a bounded number of entries,
// each file that the walk will count with its one status call (and, where the status has no
// owner id, its owner), each subdirectory decided on (an excluded tree, a mount point, or one to
// enter, with the rules' state of its path). Nothing here logs: the walk does, in its order.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "hoardscan/rules/PathRules.h"
#include "hoardscan/walk/WalkDirectory.h"
#include "platform/Drives.h"
#include "platform/PathSyntax.h"

namespace Quilna {

class DirectoryReader {
public:
    DirectoryReader(Drives& drives, const PathSyntax& syntax, const PathRules& rules, size_t pieceSize)
        : drives_(drives), syntax_(syntax), rules_(rules), pieceSize_(pieceSize) {}

    // What one piece of a listing brought.
    struct PieceRead {
        WalkDirectory::Piece files;
        std::vector<std::unique_ptr<WalkDirectory>> subdirectories;
        // Renewed directories, taken before new ones are made.
        std::vector<std::unique_ptr<WalkDirectory>> spareDirectories;
        uint64_t entries = 0;  // "." and ".." included
        OpenDirectory::Listing listing = OpenDirectory::Listing::More;
        SystemError listingError;  // why the listing failed
    };

    // Opens the directory through its parent's handle and fills opened, directory, identity, accounted.
    void open(WalkDirectory& directory, const std::shared_ptr<OpenDirectory>& parent) const;
    // The facts of a directory already open (a root).
    void opened(WalkDirectory& directory, std::unique_ptr<OpenDirectory> open) const;
    // The next piece of the directory's listing, read through open (its handle).
    void readPiece(WalkDirectory& directory, OpenDirectory& open, PieceRead& read) const;
    // One file of the directory as its listing takes it: the rules' decisions and, for a file
    // the walk counts, its one status call (probe is room to work in).
    void readFile(const WalkDirectory& directory, OpenDirectory& open, const std::string& name, PathRules::Probe& probe,
                  WalkDirectory::File& file) const;
    // The rules' decisions on a file of the directory (every field but found and info); true when
    // the walk counts it, so that its status is to be taken.
    bool decideFile(const WalkDirectory& directory, const std::string& name, PathRules::Probe& probe,
                    WalkDirectory::File& file) const;
    // The rules' decision on a subdirectory made for the directory: an excluded tree, a mount
    // point, or one to enter with the state of its path.
    void decideSubdirectory(const WalkDirectory& directory, PathRules::Probe& probe, WalkDirectory& below) const;

private:
    struct Reading;
    // One entry of the listing, a file or a subdirectory; false once the piece is full.
    bool take(Reading& at, const DirEntry& entry) const;
    std::unique_ptr<WalkDirectory> subdirectory(WalkDirectory& directory, const std::string& name,
                                                PathRules::Probe& probe, PieceRead& read) const;

    Drives& drives_;
    const PathSyntax& syntax_;
    const PathRules& rules_;
    size_t pieceSize_;
};

}  // namespace Quilna
