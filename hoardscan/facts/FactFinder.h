#pragma once
// The second stage of the scan, between the walk and the tallies: for each file the walk hands
// over, whether it is counted and under which account and site (RuleDecisions), then its file
// system and type (FileTypes), owner and groups (Owners), temperatures (Temperatures), sizes
// (DriveCheck) and status word (AttributeNames), all from the one status read with its
// directory. A counted file's facts go on to the tallies (Tallying).

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "hoardscan/facts/AttributeNames.h"
#include "hoardscan/facts/FileFacts.h"
#include "hoardscan/facts/HardLinks.h"
#include "hoardscan/walk/WalkDirectory.h"

namespace Quilna {

class DriveCheck;
class FileTypes;
class LoggerUnit;
class Owners;
class PathRules;
class RuleDecisions;
class Tallying;
class Temperatures;

class FactFinder {
public:
    FactFinder(LoggerUnit& logger, RuleDecisions& decisions, FileTypes& fileTypes, Owners& owners,
               Temperatures& temperatures, DriveCheck& driveCheck, Tallying& tallying);

    // A walk below root begins, under the rules compiled for its file system.
    void beginWalk(const std::string& root, const PathRules& rules);
    // The walk enters a directory: what holds for all its files is asked here, once.
    void enterDirectory(const WalkDirectory& directory);
    // A file of that directory (path: its text, ending in a separator).
    void fileFound(const WalkDirectory& directory, const std::string& path, WalkDirectory::File& file);
    // The walk leaves the directory at path, after everything below it.
    void leaveDirectory(const std::string& path);
    // --explain: the facts fileFound would hand on for the file, nothing tallied; null when the
    // file is not counted (excluded, or charged to no account).
    FileFacts* explainFile(const WalkDirectory& directory, const std::string& path, WalkDirectory::File& file);

private:
    bool isCounted(const WalkDirectory& directory, const std::string& path, const WalkDirectory::File& file);
    void findFacts(const std::string& path, WalkDirectory::File& file);
    void findOwner();

    LoggerUnit& logger_;
    RuleDecisions& decisions_;
    FileTypes& fileTypes_;
    Owners& owners_;
    Temperatures& temperatures_;
    DriveCheck& driveCheck_;
    Tallying& tallying_;
    const AttributeNames attributeNames_;

    std::string root_;
    const PathRules* rules_ = nullptr;
    HardLinks hardLinks_;              // for the whole run: a link may be met on another walk
    FileFacts facts_;                  // reused per file
    std::vector<std::string> groups_;  // reused per file
    struct OwnerText {
        std::string user;
        std::string group;
    };
    std::unordered_map<uint32_t, OwnerText> keptOwners_;  // answers Owners keeps for the run, joined
};

}  // namespace Quilna
