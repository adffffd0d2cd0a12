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

std::pair<uint64_t, uint64_t> identityKey(const FileIdentity& identity) { return {identity.volume, identity.index}; }

bool isDotEntry(const std::string& name) { return name == "." || name == ".."; }

std::string parentText() { return std::string("..") + platform().pathSyntax().separator; }

}  // namespace

Walk::Walk(LoggerUnit& logger, const ScanSettings& settings, const ScanIdentity& identity, ScanEngine engine)
    : logger_(logger), settings_(settings), identity_(identity), engine_(engine) {}

void Walk::walk(const std::string& root, const std::string& fileSystem) {
    root_ = root;
    fileSystem_ = fileSystem;
    levels_.clear();
    directory_.clear();
    onPath_.clear();
    lost_ = false;
    stopped_ = false;
    if (engine_.decisions.isExcludedTree(std::string(), root, fileSystem)) {
        if (LoggerUnit::isDebugOn(3))
            logger_.debug(3, "This directory and all it's subdirectories are excluded: \"%s\".", ParamStream() << root);
        return;
    }
    if (!FileOps::setCurrentDirectory(root)) {
        unreadable("access", root);
        return;
    }
    FileIdentity identity;
    const bool hasIdentity = platform().directoryIdentity(".", identity);
    openLevel(hasIdentity, identity);
    while (!levels_.empty() && !lost_ && !stopped_) {
        Level& top = levels_.back();
        if (top.next < top.subdirectories.size()) {
            const std::string name = std::move(top.subdirectories[top.next++]);
            enterSubdirectory(name);
        } else {
            leaveLevel();
        }
    }
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
    // What the listing called a directory may have gone or become a link meanwhile.
    FileInfo listed;
    if (!platform().fileInfo(name, listed) || !(listed.attributes & FileAttribute::Directory) ||
        (listed.attributes & FileAttribute::Link)) {
        unreadable("access", directory_ + name);
        return;
    }
    FileIdentity identity = listed.identity;
    const bool hasIdentity = listed.hasIdentity || platform().directoryIdentity(name, identity);
    if (hasIdentity && isOnPath(identity)) {
        if (LoggerUnit::isDebugOn(1))
            logger_.debug(1, "Directory \"%s\" leads back into its own path and is not entered.",
                          ParamStream() << directory_ + name);
        return;
    }
    if (!FileOps::setCurrentDirectory(name)) {
        unreadable("access", directory_ + name);
        return;
    }
    FileIdentity entered;
    const bool hasEntered = platform().directoryIdentity(".", entered);
    if (hasIdentity && !(hasEntered && entered == identity)) {
        if (LoggerUnit::isDebugOn(1))
            logger_.debug(1, "Directory \"%s\" changed while it was entered and is not walked.",
                          ParamStream() << directory_ + name);
        returnToTop();
        return;
    }
    // The directory listed under this name is the one entered: its path is the parent's and
    // the name, without asking the system to search it out again.
    if (hasIdentity && !directory_.empty()) platform().confirmCurrentDirectory(directory_ + name);
    openLevel(hasEntered, entered);
}

void Walk::openLevel(bool hasIdentity, const FileIdentity& identity) {
    std::string text = FileOps::currentDirectory();
    if (!engine_.decisions.isAccountedDirectory(text)) {
        if (levels_.empty()) FileOps::setCurrentDirectory(parentText());
        else returnToTop();
        return;
    }
    Level level;
    level.hasIdentity = hasIdentity;
    level.identity = identity;
    if (text.compare(0, directory_.size(), directory_) == 0) {
        level.parentLength = directory_.size();
    } else {
        level.parentIsPrefix = false;
        level.parentText = std::move(directory_);
    }
    directory_ = std::move(text);
    if (LoggerUnit::isDebugOn(3)) logger_.debug(3, "Processing \"%s\"...", ParamStream() << directory_);
    if (hasIdentity) engine_.driveCheck.enterDirectory(identity.volume);
    else engine_.driveCheck.enterDirectory();
    listEntries(level);
    if (hasIdentity) onPath_.insert(identityKey(identity));
    levels_.push_back(std::move(level));
}

void Walk::listEntries(Level& level) {
    size_t listed = 0;
    auto visit = [&](const DirEntry& entry) {
        ++listed;
        if (stopRequested()) return false;
        if (isDotEntry(entry.name)) return true;
        if (!entry.isFile) level.subdirectories.push_back(entry.name);
        else processFile(directory_, entry.name);
        return true;
    };
    // Every listing holds "." and "..": an empty one could not be read.
    if (LoggerUnit::isDebugOn(5)) {
        // The number of entries comes before the files: only here is the listing held whole.
        const std::vector<DirEntry> entries = FileOps::listDirectory(std::string(), "*");
        if (entries.empty()) unreadable("list", directory_);
        logger_.debug(5, "   Found %i file(s) in \"%s\"...",
                      ParamStream() << static_cast<unsigned long long>(entries.size()) << directory_);
        for (const DirEntry& entry : entries)
            if (!visit(entry)) return;
        return;
    }
    // One entry at a time: a directory of a million files costs no more memory than a small one.
    platform().visitDirectory(std::string(), "*", visit);
    if (listed == 0) unreadable("list", directory_);
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
    if (top.parentIsPrefix) directory_.resize(top.parentLength);
    else directory_ = std::move(top.parentText);
    levels_.pop_back();
    if (levels_.empty()) FileOps::setCurrentDirectory(parentText());
    else returnToTop();
}

bool Walk::returnToTop() {
    const Level& level = levels_.back();
    auto arrived = [&] {
        FileIdentity here;
        return !level.hasIdentity || (platform().directoryIdentity(".", here) && here == level.identity);
    };
    if (FileOps::setCurrentDirectory(parentText()) && arrived()) return true;
    // The way up is not the way down (the directory moved, or was entered through a link).
    if (FileOps::setCurrentDirectory(directory_) && arrived()) return true;
    logger_.error(Message::WalkLostItsWay, ParamStream() << directory_);
    lost_ = true;
    return false;
}

bool Walk::isOnPath(const FileIdentity& identity) const { return onPath_.count(identityKey(identity)) > 0; }

void Walk::processFile(const std::string& directory, const std::string& name) {
    RuleDecisions& decisions = engine_.decisions;
    if (!decisions.isIncludedFile(directory, name, fileSystem_)) {
        logger_.debug(5, "      Excluded.");
        return;
    }
    if (!decisions.accountOf(directory, name, account_, site_)) return;
    if (LoggerUnit::isDebugOn(4)) logger_.debug(4, "   Processing file \"%s\"...", ParamStream() << name);
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Account=\"%s\", Site=\"%s\".", ParamStream() << account_ << site_);

    // The one status call of the file; every later step reads it.
    FileOps::fileStatus(name, status_);

    std::string root = DriveCheck::pathRoot(directory, name);
    // Without a drive letter (POSIX paths, network paths) the file system is the walk's root.
    if (root.empty()) root = root_;
    engine_.fileTypes.fileFacts(directory, name, root, status_, fileSystemField_, fileType_);

    user_ = "UNDEF";
    engine_.owners.ownerOf(directory, name, status_, user_, groups_);
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
    engine_.driveCheck.sizesOf(directory, name, logical, physical, status_);

    fileStatus_ = engine_.attributeNames.statusOf(status_.attributes);
    if (LoggerUnit::isDebugOn(5)) logger_.debug(5, "      Filestatus=\"%s\".", ParamStream() << fileStatus_);

    foldIntoTallies(directory, name, logical, physical);
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
