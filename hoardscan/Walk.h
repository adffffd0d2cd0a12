#pragma once
// The directory walk: depth first through one file system, all files of a directory before
// its subdirectories, each file that the rules account folded into the tallies. The walk holds
// each directory on its path open and asks through it (OpenDirectory), never through the
// process's current directory, so neither the depth nor the length of a path limits it.
//
// It never leaves its tree: a subdirectory that is a mount point is walked as a drive of its
// own, symbolic links are listed as files and never followed, a directory replaced by a link
// between listing and entering is not entered, and a subdirectory whose identity is already on
// the walk's path is not entered.

#include <atomic>
#include <cstdint>
#include <memory>
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
    // One directory on the walk's path. Only the levels nearest the walk's position keep their
    // directory open, so that a deep tree does not run out of descriptors; a level whose
    // directory was let go is opened again through ".." of its child on the way back up.
    struct Level {
        std::unique_ptr<OpenDirectory> directory;  // null while let go
        std::vector<std::string> subdirectories;
        size_t next = 0;
        bool hasIdentity = false;
        FileIdentity identity;
        size_t parentLength = 0;  // the parent's path is the start of this one's
    };

    void enterSubdirectory(const std::string& name);
    // Opened: lists the directory, folds its files in and puts it on the path.
    void openLevel(std::unique_ptr<OpenDirectory> directory, size_t parentLength);
    // Each entry of the directory: files folded in, subdirectories kept for later.
    void listEntries(Level& level);
    void leaveLevel();
    void letGoOfDistantLevels();
    // The parent of the top level open again, and the same directory as before.
    bool reopenParent();
    bool isOnPath(const FileIdentity& identity) const;
    bool stopRequested();
    // Logs "Unable to access" or "Unable to list" (the verb) for a directory and counts it.
    void unreadable(const char* verb, const std::string& directory);

    void processFile(OpenDirectory& directory, const std::string& name);
    void foldIntoTallies(const std::string& directory, const std::string& name, int64_t logical, int64_t physical);

    LoggerUnit& logger_;
    const ScanSettings& settings_;
    const ScanIdentity& identity_;
    ScanEngine engine_;

    std::string root_;
    std::string fileSystem_;
    std::vector<Level> levels_;
    std::string directory_;  // the path of the top level's directory, ending in a separator
    size_t openLevels_ = 0;
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
