#pragma once
// The directory walk: depth first through one file system, all files of a directory before
// its subdirectories, each file that the rules account folded into the tallies. The walk keeps
// its position as the process's current directory.
//
// It never leaves its tree: a subdirectory that is a mount point is walked as a drive of its
// own, symbolic links are listed as files and never followed, a subdirectory whose identity is
// already on the walk's path is not entered, and a directory that is replaced (by a link, say)
// between listing and entering is noticed by its identity and left at once.

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/FileStatus.h"
#include "hoardscan/ScanSettings.h"

namespace Quilna {

class AttributeNames;
class DriveCheck;
class FileTypes;
class LoggerUnit;
class Owners;
class ResultFiles;
class RuleDecisions;
class Tallies;
class Temperatures;
struct ScanIdentity;

// What the walk consults and fills, owned by the application object.
struct ScanEngine {
    RuleDecisions& decisions;
    FileTypes& fileTypes;
    Owners& owners;
    Temperatures& temperatures;
    DriveCheck& driveCheck;
    const AttributeNames& attributeNames;
    Tallies& tallies;
    ResultFiles& resultFiles;
};

class Walk {
public:
    Walk(LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity, ScanEngine engine);

    // Walks the tree below a root under a file-system name. Failures are logged; the walk goes on.
    void walk(const std::string& root, const std::string& fileSystem);
    // The walk stops at the next file once the request is set (a StopRequest other than None).
    void stopWhen(const std::atomic<int>& request) { stopRequest_ = &request; }
    // Directories that could not be entered or listed, over every walk.
    uint64_t unreadableDirectories() const { return unreadable_; }

private:
    // One directory on the walk's path. Its text is not kept: the walk holds the text of the
    // directory it is in, and a level keeps what gives back its parent's text, usually only a
    // length (the child's text begins with the parent's), so a deep tree costs memory in
    // proportion to its depth, not to its depth times its path length.
    struct Level {
        std::vector<std::string> subdirectories;
        size_t next = 0;
        bool hasIdentity = false;
        FileIdentity identity;
        bool parentIsPrefix = true;
        size_t parentLength = 0;
        std::string parentText;  // only when the parent's text is not a prefix of this one
    };

    void enterSubdirectory(const std::string& name);
    // Entered: lists the directory, folds its files in and puts it on the path.
    void openLevel(bool hasIdentity, const FileIdentity& identity);
    // Each entry of the current directory: files folded in, subdirectories kept for later.
    void listEntries(Level& level);
    void leaveLevel();
    // Back to the directory of the top level (whose text is directory_), by ".." or else by
    // its full path.
    bool returnToTop();
    bool isOnPath(const FileIdentity& identity) const;
    bool stopRequested();
    // Logs "Unable to access" or "Unable to list" (the verb) for a directory and counts it.
    void unreadable(const char* verb, const std::string& directory);

    void processFile(const std::string& directory, const std::string& name);
    void foldIntoTallies(const std::string& directory, const std::string& name, int64_t logical, int64_t physical);

    LoggerUnit& logger_;
    const ScanSettings& settings_;
    const ScanIdentity& identity_;
    ScanEngine engine_;

    std::string root_;
    std::string fileSystem_;
    std::vector<Level> levels_;
    std::string directory_;  // the text of the top level's directory, ending in a separator
    std::set<std::pair<uint64_t, uint64_t>> onPath_;
    bool lost_ = false;
    const std::atomic<int>* stopRequest_ = nullptr;
    bool stopped_ = false;
    uint64_t unreadable_ = 0;

    // Per file, reused so that a file costs no allocation once the walk is warm.
    FileStatus status_;
    std::string account_, site_, fileSystemField_, fileType_, user_, group_, access_, modify_, fileStatus_, key_;
    std::vector<std::string> groups_;
};

}  // namespace Quilna
