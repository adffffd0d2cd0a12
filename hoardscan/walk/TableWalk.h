#pragma once
// The other way through a file system: an NTFS volume read whole from its master file table
// (library/ntfs), its tree rebuilt in memory and handed to the facts stage as the walk hands it:
// the same calls in the same order (a directory's files in its index's order, then its
// subdirectories, depth first), the rules deciding each subtree before it is gone through (an
// excluded one costs nothing), links and the file system's own files never entered or listed,
// a mount point below the root left to its own file system, and each file's status made from
// its table entry (TableStatus) so that everything downstream counts it as the walk would.
//
// The table is read and checked whole before the first file is handed on: a volume the reader
// refuses, a table with damaged records or owners it cannot read, is left to the walk, which then
// counts everything once.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "hoardscan/rules/PathRules.h"
#include "hoardscan/walk/TableStatus.h"
#include "hoardscan/walk/WalkDirectory.h"
#include "hoardscan/walk/RunRoots.h"
#include "platform/Platform.h"

namespace Quilna {

namespace Ntfs {
class MftTable;
class MftTree;
}  // namespace Ntfs

class DirectoryReader;
class FactFinder;
class LoggerUnit;
class RuleDecisions;

class TableWalk {
public:
    TableWalk(Platform& system, LoggerUnit& logger, RuleDecisions& decisions, FactFinder& facts, const RunRoots& roots);
    ~TableWalk();

    // Reading stops at the next file once the request is set (a StopRequest other than None).
    void stopWhen(const std::atomic<int>& request) { stopRequest_ = &request; }

    // Reads the file system below root from its volume's table and hands its files on; false with
    // the reason in why when it cannot be read so, and then nothing was handed on.
    bool read(const std::string& root, const std::string& fileSystem, std::string& why);

private:
    struct Level;
    // The table of the root's volume, checked; null with the reason when there is none to use.
    std::unique_ptr<Ntfs::MftTable> readTable(const std::string& root, std::string& why) const;
    void goThrough(const std::string& root, const std::string& fileSystem, const std::string& resolved,
                   const FileIdentity& rootIdentity);
    // Enters a directory: its files handed on, then it is put on the path.
    void enter(Level& level, size_t parentLength);
    void handOnFile(const WalkDirectory& directory, uint32_t name);
    void findOwner(const Ntfs::MftEntry& entry, FileInfo& info);
    // Whether the name is one a listing could show (logged when not).
    bool isPlain(uint32_t name) const;
    // The next subdirectory of the top level to enter, made ready as a level; null when none is left.
    Level* nextSubdirectory();
    void leave();
    Level& levelAt(size_t depth);
    bool stopRequested();

    Platform& system_;
    const PathSyntax& syntax_;
    LoggerUnit& logger_;
    RuleDecisions& decisions_;
    FactFinder& facts_;
    const RunRoots& roots_;
    const std::atomic<int>* stopRequest_ = nullptr;

    // While a file system is read.
    std::unique_ptr<Ntfs::MftTable> table_;
    std::unique_ptr<Ntfs::MftTree> tree_;
    std::unique_ptr<PathRules> rules_;
    std::unique_ptr<DirectoryReader> reader_;
    std::optional<TableStatus> status_;
    std::string root_;
    std::string directory_;                       // the path of the top level's directory, ending in a separator
    std::vector<std::unique_ptr<Level>> levels_;  // by depth, kept for the next directory at that depth
    size_t depth_ = 0;                            // levels on the path
    std::unordered_set<uint32_t> onPath_;         // directories' records
    std::unordered_map<std::string, std::optional<std::string>> owners_;  // by the SID's bytes, for the run
    PathRules::Probe probe_;
    WalkDirectory::File file_;  // reused
    bool stopped_ = false;
};

}  // namespace Quilna
