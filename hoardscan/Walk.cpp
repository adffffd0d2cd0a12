#include "hoardscan/Walk.h"

#include "common/FileOps.h"
#include "hoardscan/AttributeNames.h"
#include "hoardscan/DriveCheck.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/MessageNumbers.h"
#include "hoardscan/Owners.h"
#include "hoardscan/ResultFiles.h"
#include "hoardscan/RuleDecisions.h"
#include "hoardscan/ScanIdentity.h"
#include "hoardscan/Tallies.h"
#include "hoardscan/Temperatures.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

// Directories kept open at once, at most; a deeper walk lets go of the ones farthest up.
constexpr size_t kOpenLevels = 256;

std::pair<uint64_t, uint64_t> identityKey(const FileIdentity& identity) { return {identity.volume, identity.index}; }

bool isDotEntry(const std::string& name) { return name == "." || name == ".."; }

}  // namespace

Walk::Walk(LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity, ScanEngine engine)
    : logger_(logger), settings_(settings), identity_(identity), engine_(engine) {}

void Walk::walk(const std::string& root, const std::string& fileSystem) {
    root_ = root;
    fileSystem_ = fileSystem;
    levels_.clear();
    directory_.clear();
    openLevels_ = 0;
    onPath_.clear();
    lost_ = false;
    stopped_ = false;
    if (engine_.decisions.isExcludedTree(std::string(), root, fileSystem)) {
        if (LoggerUnit::isDebugOn(3))
            logger_.debug(3, "This directory and all it's subdirectories are excluded: \"%s\".", ParamStream() << root);
        return;
    }
    SystemError error;
    std::unique_ptr<OpenDirectory> top = platform().openDirectory(root, error);
    if (!top) {
        unreadable("access", root);
        return;
    }
    openLevel(std::move(top), 0);
    while (!levels_.empty() && !lost_ && !stopped_) {
        Level& level = levels_.back();
        if (level.next < level.subdirectories.size()) {
            const std::string name = std::move(level.subdirectories[level.next++]);
            enterSubdirectory(name);
        } else {
            leaveLevel();
        }
    }
    levels_.clear();
}

void Walk::enterSubdirectory(const std::string& name) {
    if (engine_.decisions.isExcludedTree(directory_, name, fileSystem_)) {
        if (LoggerUnit::isDebugOn(3))
            logger_.debug(3, "This directory and all it's subdirectories are excluded: \"%s\".", ParamStream() << name);
        return;
    }
    // Every mount is walked once, as a drive of its own.
    if (platform().isMountPoint(directory_ + name)) {
        if (LoggerUnit::isDebugOn(3))
            logger_.debug(3, "Mount point \"%s\" is walked as a file system of its own.",
                          ParamStream() << directory_ + name);
        return;
    }
    // What the listing called a directory may have gone or become a link meanwhile: the
    // directory is opened only as a directory and never through a link.
    SystemError error;
    std::unique_ptr<OpenDirectory> below = levels_.back().directory->openSubdirectory(name, error);
    if (!below) {
        unreadable("access", directory_ + name);
        return;
    }
    openLevel(std::move(below), directory_.size());
}

void Walk::openLevel(std::unique_ptr<OpenDirectory> directory, size_t parentLength) {
    Level level;
    level.hasIdentity = directory->identity(level.identity);
    if (level.hasIdentity && isOnPath(level.identity)) {
        if (LoggerUnit::isDebugOn(1))
            logger_.debug(1, "Directory \"%s\" leads back into its own path and is not entered.",
                          ParamStream() << directory->path().substr(0, directory->path().size() - 1));
        return;
    }
    if (!engine_.decisions.isAccountedDirectory(directory->path())) return;
    level.parentLength = parentLength;
    directory_ = directory->path();
    level.directory = std::move(directory);
    if (LoggerUnit::isDebugOn(3)) logger_.debug(3, "Processing \"%s\"...", ParamStream() << directory_);
    if (level.hasIdentity) engine_.driveCheck.enterDirectory(level.identity.volume);
    else engine_.driveCheck.enterDirectory();
    listEntries(level);
    if (level.hasIdentity) onPath_.insert(identityKey(level.identity));
    levels_.push_back(std::move(level));
    ++openLevels_;
    letGoOfDistantLevels();
}

void Walk::listEntries(Level& level) {
    OpenDirectory& directory = *level.directory;
    auto visit = [&](const DirEntry& entry) {
        if (stopRequested()) return false;
        if (isDotEntry(entry.name)) return true;
        if (!entry.isFile) level.subdirectories.push_back(entry.name);
        else processFile(directory, entry.name);
        return true;
    };
    if (LoggerUnit::isDebugOn(5)) {
        // The number of entries comes before the files: only here is the listing held whole.
        std::vector<DirEntry> entries;
        const bool listed = directory.visitEntries([&](const DirEntry& entry) {
            entries.push_back(entry);
            return true;
        });
        if (!listed) unreadable("list", directory_);
        logger_.debug(5, "   Found %i file(s) in \"%s\"...",
                      ParamStream() << static_cast<unsigned long long>(entries.size()) << directory_);
        for (const DirEntry& entry : entries)
            if (!visit(entry)) return;
        return;
    }
    // One entry at a time: a directory of a million files costs no more memory than a small one.
    if (!directory.visitEntries(visit) && !stopped_) unreadable("list", directory_);
}

bool Walk::stopRequested() {
    if (stopRequest_ && stopRequest_->load(std::memory_order_relaxed) != StopRequest::None) stopped_ = true;
    return stopped_;
}

void Walk::unreadable(const char* verb, const std::string& directory) {
    ++unreadable_;
    if (!LoggerUnit::isDebugOn(1)) return;
    const std::string format = std::string("Unable to ") + verb + " \"%s\".";
    logger_.debug(1, format.c_str(), ParamStream() << directory);
}

void Walk::leaveLevel() {
    Level& top = levels_.back();
    if (top.hasIdentity) onPath_.erase(identityKey(top.identity));
    if (levels_.size() > 1 && !levels_[levels_.size() - 2].directory && !reopenParent()) {
        logger_.error(Message::WalkLostItsWay, ParamStream() << directory_);
        lost_ = true;
        return;
    }
    if (top.directory) --openLevels_;
    directory_.resize(top.parentLength);
    levels_.pop_back();
}

void Walk::letGoOfDistantLevels() {
    for (size_t i = levels_.size() - openLevels_; openLevels_ > kOpenLevels; ++i) {
        levels_[i].directory.reset();
        --openLevels_;
    }
}

bool Walk::reopenParent() {
    const Level& child = levels_.back();
    Level& parent = levels_[levels_.size() - 2];
    auto isParent = [&](const std::unique_ptr<OpenDirectory>& candidate) {
        FileIdentity found;
        return candidate && (!parent.hasIdentity || (candidate->identity(found) && found == parent.identity));
    };
    SystemError error;
    std::unique_ptr<OpenDirectory> up = child.directory->openParent(error);
    // The way up is not the way down when the directory moved meanwhile: then by its path.
    if (!isParent(up)) up = platform().openDirectory(directory_.substr(0, child.parentLength), error);
    if (!isParent(up)) return false;
    parent.directory = std::move(up);
    ++openLevels_;
    return true;
}

bool Walk::isOnPath(const FileIdentity& identity) const { return onPath_.count(identityKey(identity)) > 0; }

void Walk::processFile(OpenDirectory& directory, const std::string& name) {
    RuleDecisions& decisions = engine_.decisions;
    if (!decisions.isIncludedFile(directory_, name, fileSystem_)) {
        logger_.debug(5, "      Excluded.");
        return;
    }
    if (!decisions.accountOf(directory_, name, account_, site_)) return;
    if (LoggerUnit::isDebugOn(4)) logger_.debug(4, "   Processing file \"%s\"...", ParamStream() << name);
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Account=\"%s\", Site=\"%s\".", ParamStream() << account_ << site_);

    // The one status call of the file; every later step reads it.
    FileOps::entryStatus(directory, name, status_);

    const std::string& path = directory_;
    std::string root = DriveCheck::pathRoot(path, name);
    // Without a drive letter (POSIX paths, network paths) the file system is the walk's root.
    if (root.empty()) root = root_;
    engine_.fileTypes.fileFacts(path, name, root, status_, fileSystemField_, fileType_);

    user_ = "UNDEF";
    engine_.owners.ownerOf(path, name, status_, user_, groups_);
    group_.clear();
    for (const std::string& group : groups_) {
        if (!group_.empty()) group_.push_back(',');
        group_ += group;
    }
    if (group_.empty()) group_ = "UNDEF";
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      User=\"%s\", Group=\"%s\".", ParamStream() << user_ << group_);

    access_ = "UNKNOWN";
    modify_ = "UNKNOWN";
    engine_.temperatures.temperaturesOf(name, access_, modify_, status_);

    int64_t logical = 0;
    int64_t physical = 0;
    engine_.driveCheck.sizesOf(path, name, logical, physical, status_);

    fileStatus_ = engine_.attributeNames.statusOf(status_.attributes);
    if (LoggerUnit::isDebugOn(5)) logger_.debug(5, "      Filestatus=\"%s\".", ParamStream() << fileStatus_);

    foldIntoTallies(path, name, logical, physical);
}

void Walk::foldIntoTallies(const std::string& directory, const std::string& name, int64_t logical,
                           int64_t physical) {
    Tallies& tallies = engine_.tallies;
    ResultFiles& results = engine_.resultFiles;
    // ":" separates the key's fields; control bytes would break its line.
    Tallies::sanitizeField(access_);
    Tallies::sanitizeField(modify_);
    Tallies::buildKey(RecordFields{site_, identity_.hostName, fileSystemField_, account_, user_, group_, fileType_,
                                   fileStatus_, access_, modify_},
                      key_);
    if (tallies.addAccountRecord(key_, logical, physical)) results.flushAccountRecords(tallies);

    if (settings_.temperatureLog && access_ == settings_.monitoredBand) {
        if (tallies.addTemperatureRow(directory, physical)) results.flushTemperatureRows(tallies);
    }
    if (settings_.inactiveLog && (access_ == "cold" || access_ == "frozen")) {
        const std::string lastAccess = status_.accessed.formatLocal(false, false);
        if (tallies.addInactiveRow(name, directory, physical, lastAccess, access_))
            results.flushInactiveRows(tallies);
    }
}

}  // namespace Quilna
