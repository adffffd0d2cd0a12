#include "hoardscan/facts/FactFinder.h"

#include "files/FileOps.h"
#include "hoardscan/facts/DriveCheck.h"
#include "hoardscan/facts/FileTypes.h"
#include "hoardscan/facts/Owners.h"
#include "hoardscan/rules/RuleDecisions.h"
#include "hoardscan/tallies/Tallying.h"
#include "hoardscan/facts/Temperatures.h"
#include "logger/LoggerUnit.h"

namespace Quilna {

FactFinder::FactFinder(LoggerUnit& logger, RuleDecisions& decisions, FileTypes& fileTypes, Owners& owners,
                       Temperatures& temperatures, DriveCheck& driveCheck, Tallying& tallying)
    : logger_(logger),
      decisions_(decisions),
      fileTypes_(fileTypes),
      owners_(owners),
      temperatures_(temperatures),
      driveCheck_(driveCheck),
      tallying_(tallying) {}

void FactFinder::beginWalk(const std::string& root, const PathRules& rules) {
    root_ = root;
    rules_ = &rules;
    tallying_.beginWalk();
}

void FactFinder::enterDirectory(const WalkDirectory& directory) {
    ++facts_.directoryVisit;
    if (directory.hasIdentity) driveCheck_.enterDirectory(directory.identity.volume);
    else driveCheck_.enterDirectory();
    tallying_.enterDirectory();
}

void FactFinder::leaveDirectory(const std::string& path) { tallying_.leaveDirectory(path); }

void FactFinder::fileFound(const WalkDirectory& directory, const std::string& path, WalkDirectory::File& file) {
    if (!isCounted(directory, path, file)) return;
    // A further link of a file already charged gets nothing: no account record, no temperature
    // or inactive row. The first link counted is the one charged, wherever the others lie.
    if (file.found && !hardLinks_.isFirstLink(file.info)) {
        logger_.debug(5, "      Another link of a file already counted.");
        return;
    }
    findFacts(path, file);
    tallying_.add(facts_);
}

FileFacts* FactFinder::explainFile(const WalkDirectory& directory, const std::string& path, WalkDirectory::File& file) {
    if (!isCounted(directory, path, file)) return nullptr;
    findFacts(path, file);
    return &facts_;
}

void FactFinder::findFacts(const std::string& path, WalkDirectory::File& file) {
    const std::string& name = file.name;
    facts_.directory = &path;
    facts_.name = &name;
    FileOps::statusOf(file.found, file.info, facts_.status);

    const std::string driveRoot = driveCheck_.pathRoot(path, name);
    // Without a drive letter (POSIX paths, network paths) the file system is the walk's root.
    const std::string& root = driveRoot.empty() ? root_ : driveRoot;
    fileTypes_.fileFacts(path, name, root, facts_.status, facts_.fileSystem, facts_.fileType);

    findOwner();

    facts_.accessTemperature = "UNKNOWN";
    facts_.modifyTemperature = "UNKNOWN";
    temperatures_.temperaturesOf(name, facts_.accessTemperature, facts_.modifyTemperature, facts_.status);

    facts_.logicalSize = 0;
    facts_.physicalSize = 0;
    driveCheck_.sizesOf(path, name, facts_.logicalSize, facts_.physicalSize, facts_.status);

    facts_.statusWord = &attributeNames_.statusOf(facts_.status.attributes);
    if (LoggerUnit::isDebugOn(5)) logger_.debug(5, "      Filestatus=\"%s\".", ParamStream() << *facts_.statusWord);
}

// Included by the file systems rules, and charged to an account by the accounts file.
bool FactFinder::isCounted(const WalkDirectory& directory, const std::string& path, const WalkDirectory::File& file) {
    if (!decisions_.isIncludedFile(file.rule, path, file.name)) {
        logger_.debug(5, "      Excluded.");
        return false;
    }
    if (!decisions_.accountOf(*rules_, *directory.state, file.account, path, file.name, facts_.account, facts_.site))
        return false;
    if (LoggerUnit::isDebugOn(4)) logger_.debug(4, "   Processing file \"%s\"...", ParamStream() << file.name);
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Account=\"%s\", Site=\"%s\".", ParamStream() << facts_.account << facts_.site);
    return true;
}

void FactFinder::findOwner() {
    const FileStatus& status = facts_.status;
    // The files of a run have few owners: an answer kept for the run is joined once.
    const auto kept = status.hasOwnerId ? keptOwners_.find(status.ownerId) : keptOwners_.end();
    if (kept != keptOwners_.end()) {
        facts_.user = kept->second.user;
        facts_.group = kept->second.group;
    } else {
        facts_.user = "UNDEF";
        const bool keep = owners_.ownerOf(*facts_.directory, *facts_.name, status, facts_.user, groups_);
        facts_.group.clear();
        for (const std::string& group : groups_) {
            if (!facts_.group.empty()) facts_.group.push_back(',');
            facts_.group += group;
        }
        if (facts_.group.empty()) facts_.group = "UNDEF";
        if (keep) keptOwners_.emplace(status.ownerId, OwnerText{facts_.user, facts_.group});
    }
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      User=\"%s\", Group=\"%s\".", ParamStream() << facts_.user << facts_.group);
}

}  // namespace Quilna
