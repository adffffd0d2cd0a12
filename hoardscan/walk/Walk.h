#pragma once
// The directory walk: depth first through one file system, all files of a directory before
// its subdirectories, each file that the rules account folded into the tallies. The walk holds
// each directory on its path open and asks through it (OpenDirectory), never through the
// process's current directory, so neither the depth nor the length of a path limits it; the
// rules decide a directory from its parent's state and its name (PathRules), so a directory
// costs the same at any depth. Helper threads may read directories ahead (ReadAhead); every
// decision, line of the log and record is made on the walk's thread, in the same order. Each
// file goes on to the facts stage (FactFinder), the first stage after the walk.
//
// Directories far up the path are let go and opened again on the way back (through "..", else
// by their names from the root, their identity checked); one that cannot be found again (moved
// or removed meanwhile) costs the subdirectories of it the walk had not taken yet, not the rest
// of the file system.
//
// It never leaves its tree: a subdirectory that is a mount point is walked as a drive of its
// own, symbolic links are listed as files and never followed, a directory replaced by a link
// between listing and entering is not entered, and a subdirectory whose identity is already on
// the walk's path is not entered.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "hoardscan/rules/PathRules.h"
#include "hoardscan/walk/WalkDirectory.h"
#include "hoardscan/walk/RunRoots.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"

namespace Quilna {

class FactFinder;
class LoggerUnit;
class ReadAhead;
class RuleDecisions;

class Walk {
public:
    // The rules decide which directories are entered; every file listed goes to the facts.
    Walk(FileSystem& files, Drives& drives, LoggerUnit& logger, RuleDecisions& decisions, FactFinder& facts,
         const RunRoots& roots);
    ~Walk();

    // Threads that read directories ahead of the walk (0, the start: the walk reads each itself).
    void readAheadWith(unsigned helpers);

    // Walks the tree below a root under a file-system name. Failures are logged; the walk goes on.
    void walk(const std::string& root, const std::string& fileSystem);
    // The walk stops at the next file once the request is set (a StopRequest other than None).
    void stopWhen(const std::atomic<int>& request) { stopRequest_ = &request; }
    // Directories that could not be entered or listed, over every walk.
    uint64_t unreadableDirectories() const { return unreadable_; }
    // Directories whose remaining subdirectories could not be walked (the walk could not return
    // to them), over every walk.
    uint64_t unfinishedDirectories() const { return unfinished_; }

private:
    void enterSubdirectory(WalkDirectory& below);
    // Opened: lists the directory, folds its files in and puts it on the path.
    void openLevel(WalkDirectory& directory, size_t parentLength);
    // Each file of the listing folded in; subdirectories are kept for later.
    void listEntries(WalkDirectory& directory);
    void leaveLevel();
    void letGoOfDistantLevels();
    // The directory of a level far up, open again and the same directory as before.
    bool reopenLevel(size_t level);
    std::shared_ptr<OpenDirectory> descendTo(size_t level);
    static bool isSame(const std::shared_ptr<OpenDirectory>& candidate, const WalkDirectory& directory);
    bool isOnPath(const FileIdentity& identity) const;
    bool stopRequested();
    // Logs "Unable to access" or "Unable to list" (the verb) for a directory and counts it.
    void unreadable(const char* verb, const std::string& directory);
    void discard(WalkDirectory& directory);

    FileSystem& files_;
    Drives& drives_;
    const PathSyntax& syntax_;
    LoggerUnit& logger_;
    RuleDecisions& decisions_;
    FactFinder& facts_;
    const RunRoots& roots_;
    std::unique_ptr<ReadAhead> readAhead_;

    std::string root_;
    std::string fileSystem_;
    std::unique_ptr<PathRules> rules_;
    std::unique_ptr<WalkDirectory> rootDirectory_;
    std::vector<WalkDirectory*> levels_;
    std::string directory_;  // the path of the top level's directory, ending in a separator
    size_t openLevels_ = 0;
    size_t unreachableFrom_ = SIZE_MAX;  // levels from here down cannot be opened again
    std::unordered_set<FileIdentity, FileIdentityHash> onPath_;
    const std::atomic<int>* stopRequest_ = nullptr;
    bool stopped_ = false;
    uint64_t unreadable_ = 0;
    uint64_t unfinished_ = 0;

    WalkDirectory::Piece piece_;  // reused, so that a piece costs no allocation once the walk is warm
};

}  // namespace Quilna
